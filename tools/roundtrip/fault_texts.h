// The faults for which vantrel refuses an SMF, each with a short English name
// for reports and the code page 932 text that vantrel writes after its
// common prefix. The SMF side predicts the refusal of a file from these, so
// that a refused conversion can be checked as well as a finished one.
#pragma once

#include <string_view>

namespace vantrel::roundtrip::faults {

struct Fault {
  const char* label;
  const char* text;
};

// SMFファイルのデータが不正です。 (and a line feed), before every text below.
inline constexpr std::string_view kPrefix =
    "SMF\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x66\x81\x5B\x83\x5E\x82\xAA\x95\x73\x90\xB3"
    "\x82\xC5\x82\xB7\x81\x42\n";

// MThdチャンクがありません。
inline constexpr Fault kNoMThd{
    "no MThd chunk",
    "MThd\x83\x60\x83\x83\x83\x93\x83\x4E\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
// Format 2には対応しておりません。
inline constexpr Fault kFormat2{
    "format 2 is not supported",
    "Format 2\x82\xC9\x82\xCD\x91\xCE\x89\x9E\x82\xB5\x82\xC4\x82\xA8\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
// 未知のフォーマットです。
inline constexpr Fault kUnknownFormat{
    "unknown format",
    "\x96\xA2\x92\x6D\x82\xCC\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67\x82\xC5\x82\xB7\x81\x42\n"};
// トラック数が0です。
inline constexpr Fault kNoTracks{
    "the track count is 0",
    "\x83\x67\x83\x89\x83\x62\x83\x4E\x90\x94\x82\xAA" "0\x82\xC5\x82\xB7\x81\x42\n"};
// Format 0なのに、複数のトラックがあります。
inline constexpr Fault kFormat0Tracks{
    "format 0 with several tracks",
    "Format 0\x82\xC8\x82\xCC\x82\xC9\x81\x41\x95\xA1\x90\x94\x82\xCC\x83\x67\x83\x89\x83\x62\x83\x4E\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81\x42\n"};
// timebaseが0tickです。
inline constexpr Fault kZeroDivision{
    "division 0",
    "timebase\x82\xAA" "0tick\x82\xC5\x82\xB7\x81\x42\n"};
// 秒指定の時間単位には対応しておりません。
inline constexpr Fault kSmpteDivision{
    "SMPTE time base",
    "\x95\x62\x8E\x77\x92\xE8\x82\xCC\x8E\x9E\x8A\xD4\x92\x50\x88\xCA\x82\xC9\x82\xCD\x91\xCE\x89\x9E\x82\xB5\x82\xC4\x82\xA8\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
// MTrkチャンクがありません。
inline constexpr Fault kNoMTrk{
    "no MTrk chunk where a track should start",
    "MTrk\x83\x60\x83\x83\x83\x93\x83\x4E\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n"};
// トラックの途中でファイルが終わっています。
inline constexpr Fault kTrackCutShort{
    "the file ends inside a track",
    "\x83\x67\x83\x89\x83\x62\x83\x4E\x82\xCC\x93\x72\x92\x86\x82\xC5\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8F\x49\x82\xED\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42\n"};
// 無効なMIDIイベントを検出しました。
inline constexpr Fault kInvalidMidiEvent{
    "undefined system status byte",
    "\x96\xB3\x8C\xF8\x82\xC8MIDI\x83\x43\x83\x78\x83\x93\x83\x67\x82\xF0\x8C\x9F\x8F\x6F\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\n"};
// 無効なシーケンス番号。
inline constexpr Fault kBadSequenceNumber{
    "sequence number of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x56\x81\x5B\x83\x50\x83\x93\x83\x58\x94\xD4\x8D\x86\x81\x42\n"};
// 無効なチャンネルプリフィックス。
inline constexpr Fault kBadChannelPrefix{
    "channel prefix of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x83\x76\x83\x8A\x83\x74\x83\x42\x83\x62\x83\x4E\x83\x58\x81\x42\n"};
// 無効なポート番号。
inline constexpr Fault kBadPort{
    "port of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x7C\x81\x5B\x83\x67\x94\xD4\x8D\x86\x81\x42\n"};
// 無効なEnd of Track。
inline constexpr Fault kBadEndOfTrack{
    "end of track of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8" "End of Track\x81\x42\n"};
// 無効なTempo。
inline constexpr Fault kBadTempo{
    "tempo of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8Tempo\x81\x42\n"};
// 無効なSMPTEオフセット。
inline constexpr Fault kBadSmpteOffset{
    "SMPTE offset of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8SMPTE\x83\x49\x83\x74\x83\x5A\x83\x62\x83\x67\x81\x42\n"};
// 無効な拍子。
inline constexpr Fault kBadTimeSignature{
    "time signature of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8\x94\x8F\x8E\x71\x81\x42\n"};
// 無効な調号。
inline constexpr Fault kBadKeySignature{
    "key signature of wrong length",
    "\x96\xB3\x8C\xF8\x82\xC8\x92\xB2\x8D\x86\x81\x42\n"};
// 無効なMeta Event
inline constexpr Fault kBadMetaEvent{
    "meta event of a type that has no form",
    "\x96\xB3\x8C\xF8\x82\xC8Meta Event\n"};

// オプションが不正です。： (then the option as given), before the text below.
inline constexpr std::string_view kOptionPrefix =
    "\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7\x81\x42\x81\x46";
//  クオンタイズの音価は、全音符のtick数を割り切る正の整数かautoです。 (and a line feed)
// A grid value of 0 or no number, or one whose step is no whole number of
// ticks at the file's time base: the message is kOptionPrefix, the option,
// this text.
inline constexpr Fault kBadGrid{
    "a grid value that gives no whole number of ticks",
    " \x83\x4E\x83\x49\x83\x93\x83\x5E\x83\x43\x83\x59\x82\xCC\x89\xB9\x89\xBF\x82\xCD\x81\x41\x91\x53\x89\xB9\x95\x84\x82\xCCtick\x90\x94\x82\xF0\x8A\x84\x82\xE8\x90\xD8\x82\xE9\x90\xB3\x82\xCC\x90\xAE\x90\x94\x82\xA9" "auto\x82\xC5\x82\xB7\x81\x42\n"};

// All of them, to name a message met in a report.
inline constexpr Fault kAll[] = {
    kNoMThd, kFormat2, kUnknownFormat, kNoTracks, kFormat0Tracks, kZeroDivision, kSmpteDivision,
    kNoMTrk, kTrackCutShort, kInvalidMidiEvent, kBadSequenceNumber, kBadChannelPrefix, kBadPort,
    kBadEndOfTrack, kBadTempo, kBadSmpteOffset, kBadTimeSignature, kBadKeySignature,
    kBadMetaEvent};

}  // namespace vantrel::roundtrip::faults

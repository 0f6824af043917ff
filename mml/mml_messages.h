// The messages of faults in the SMF data that the conversion itself finds (an
// event that no file may hold, a meta event of the wrong length), as the code
// page 932 bytes the program writes. Each ends in its own line feed and
// follows kDataFaultPrefix; tools/cp932_literal.py makes the escapes.
#pragma once

namespace vantrel::messages {
// 無効なMIDIイベントを検出しました。\n
inline constexpr char kInvalidMidiEvent[] =
    "\x96\xB3\x8C\xF8\x82\xC8MIDI\x83\x43\x83\x78\x83\x93\x83\x67\x82\xF0\x8C\x9F\x8F\x6F\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\n";
// 無効なシーケンス番号。\n
inline constexpr char kBadSequenceNumber[] =
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x56\x81\x5B\x83\x50\x83\x93\x83\x58\x94\xD4\x8D\x86\x81\x42\n";
// 無効なチャンネルプリフィックス。\n
inline constexpr char kBadChannelPrefix[] =
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x83\x76\x83\x8A\x83\x74\x83\x42\x83\x62\x83\x4E\x83\x58\x81\x42\n";
// 無効なポート番号。\n
inline constexpr char kBadPort[] =
    "\x96\xB3\x8C\xF8\x82\xC8\x83\x7C\x81\x5B\x83\x67\x94\xD4\x8D\x86\x81\x42\n";
// 無効なEnd of Track。\n
inline constexpr char kBadEndOfTrack[] =
    "\x96\xB3\x8C\xF8\x82\xC8" "End of Track\x81\x42\n";
// 無効なTempo。\n
inline constexpr char kBadTempo[] =
    "\x96\xB3\x8C\xF8\x82\xC8Tempo\x81\x42\n";
// 無効なSMPTEオフセット。\n
inline constexpr char kBadSmpteOffset[] =
    "\x96\xB3\x8C\xF8\x82\xC8SMPTE\x83\x49\x83\x74\x83\x5A\x83\x62\x83\x67\x81\x42\n";
// 無効な拍子。\n
inline constexpr char kBadTimeSignature[] =
    "\x96\xB3\x8C\xF8\x82\xC8\x94\x8F\x8E\x71\x81\x42\n";
// 無効な調号。\n
inline constexpr char kBadKeySignature[] =
    "\x96\xB3\x8C\xF8\x82\xC8\x92\xB2\x8D\x86\x81\x42\n";
// 無効なMeta Event\n
inline constexpr char kBadMetaEvent[] =
    "\x96\xB3\x8C\xF8\x82\xC8Meta Event\n";
}  // namespace vantrel::messages

// The exact bytes the program writes: messages as code page 932, and the
// output file's header comment. They are spelled out in the tests, on
// purpose, rather than taken from the program's own tables, so that a wrong
// byte there shows up as a failing test. The messages of the SMF data, the
// option-fault prefix and the refusal of a grid value are the round-trip
// checker's table (tools/roundtrip/fault_texts.h), which is spelled out apart
// from the program too.
#pragma once

#include <cstdint>
#include <string>

#include "tools/roundtrip/fault_texts.h"

namespace vantrel::test::expected {

namespace faults = roundtrip::faults;

// オプションが不正です。：, before the option as given.
inline constexpr const char* kOptionFault = faults::kOptionPrefix.data();
// The text after a refused grid value: the step it gives is no whole number
// of ticks.
inline constexpr const char* kBadGrid = faults::kBadGrid.text;
// SMFファイルが2回以上指定されました。
inline constexpr char kSecondSmf[] = "SMF\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA" "2\x89\xF1\x88\xC8\x8F\xE3\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81\x42";
// /F ファイル名が書いてありません。
inline constexpr char kNoOutputName[] = "/F \x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xAA\x8F\x91\x82\xA2\x82\xC4\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";
// /F MMLファイルが2回以上指定されました。
inline constexpr char kSecondOutput[] = "/F MML\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA" "2\x89\xF1\x88\xC8\x8F\xE3\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81\x42";
// SMFファイルと同じファイルには出力できません。
inline constexpr char kSameFile[] = "SMF\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC6\x93\xAF\x82\xB6\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x82\xCD\x8F\x6F\x97\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42";

// SMFファイルのデータが不正です。\n, before every message of the SMF data.
inline constexpr const char* kDataFault = faults::kPrefix.data();
inline constexpr const char* kNoMThd = faults::kNoMThd.text;
inline constexpr const char* kFormat2 = faults::kFormat2.text;
inline constexpr const char* kUnknownFormat = faults::kUnknownFormat.text;
inline constexpr const char* kNoTracks = faults::kNoTracks.text;
inline constexpr const char* kFormat0Tracks = faults::kFormat0Tracks.text;
inline constexpr const char* kZeroDivision = faults::kZeroDivision.text;
inline constexpr const char* kSmpte = faults::kSmpteDivision.text;
inline constexpr const char* kNoMTrk = faults::kNoMTrk.text;
inline constexpr const char* kCutShort = faults::kTrackCutShort.text;
inline constexpr const char* kInvalidEvent = faults::kInvalidMidiEvent.text;

// The whole message of a fault of the SMF data, as the program reports it.
inline std::string dataFault(const char* text) {
  std::string message = kDataFault;
  message.append(text);
  return message;
}
inline std::string dataFault(const faults::Fault& fault) { return dataFault(fault.text); }

// The header comment that opens every output file; when the SMF data fails
// before the first track is converted, the file holds exactly this.
inline std::string headerComment(std::uint32_t size, int format, int tracks, int division) {
  return "//--------------------------------------\r\n"
         "//\t\tVANTREL\r\n"
         "//--------------------------------------\r\n"
         "//MThd Infomation :\r\n"
         "//\tSize = " + std::to_string(size) + "\r\n"
         "//\tFormat = " + std::to_string(format) + "\r\n"
         "//\tTrack = " + std::to_string(tracks) + "\r\n"
         "//\r\n"
         "System.ControllerShift = 0;\r\n"
         "System.TimeBase = " + std::to_string(division) + ";\r\n"
         "\r\n"
         "Include(stdmsg.h);\r\n"
         "\r\n\r\n\r\n";
}

}  // namespace vantrel::test::expected

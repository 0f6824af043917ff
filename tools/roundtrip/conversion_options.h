// The options of a conversion that change what the MML text must hold: the
// dialect, the bar layout, the event filter and the pickup. Read from the
// same arguments that vantrel's command line takes, so that a check is
// started with exactly the options the conversion had.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::roundtrip {

// Bits of filterMask: a set bit leaves that kind of event out.
inline constexpr std::int32_t kLeaveOutKeyPressure = 0x0004;
inline constexpr std::int32_t kLeaveOutControlChange = 0x0008;
inline constexpr std::int32_t kLeaveOutProgramChange = 0x0010;
inline constexpr std::int32_t kLeaveOutChannelPressure = 0x0020;
inline constexpr std::int32_t kLeaveOutPitchBend = 0x0040;
inline constexpr std::int32_t kLeaveOutSysEx = 0x0100;
inline constexpr std::int32_t kLeaveOutSysExEscape = 0x0200;
inline constexpr std::int32_t kLeaveOutMeta = 0x0400;

struct ConversionOptions {
  bool kana = false;             // /J
  bool barLines = true;          // /B+ /B-
  std::int32_t lineBars = 4;     // /C
  std::int32_t filterMask = 0;   // /M...
  std::int32_t pickupTicks = 0;  // /A
};

// Reads options such as {"/J", "/C0", "/Mc"} ('-' may stand for '/'); the
// output name (/Fm...) is accepted and has no effect here. Returns false with
// a reason for anything vantrel would refuse or that is not an option.
bool parseOptions(const std::vector<std::string>& arguments, ConversionOptions& options,
                  std::string& reason);

}  // namespace vantrel::roundtrip

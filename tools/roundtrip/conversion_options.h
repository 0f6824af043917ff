// The options of a conversion that change what the MML text must hold: the
// dialect, the bar layout, the event filter, the pickup, the grid, the
// voices and the velocity step. Read from the
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

// The grid of /Q, /Qa and --quantize(=auto): the program chooses it.
inline constexpr std::uint32_t kAutoGridNote = 0xFFFFFFFF;

struct ConversionOptions {
  bool kana = false;             // /J
  bool barLines = true;          // /B+ /B-
  std::int32_t lineBars = 4;     // /C
  std::int32_t filterMask = 0;   // /M...
  std::int32_t pickupTicks = 0;  // /A
  // /Q<n> or --quantize=<n>: the note value n of the grid's step, or
  // kAutoGridNote; 0 for no grid.
  std::uint32_t gridNote = 0;
  // The last grid option as given, for its refusal message; and whether its
  // value is refused whatever the file (0, or not a number).
  std::string gridArgument;
  bool gridValueRefused = false;
  bool voices = false;              // --voices: a channel's notes in sections of voices
  std::uint32_t velocityStep = 1;   // --velocity-step=N: velocities within N - 1
};

// Reads options such as {"/J", "/C0", "/Mc", "--quantize=12"} ('-' may stand
// for '/'); the output name (/Fm...) is accepted and has no effect here.
// Returns false with a reason for anything vantrel would refuse or that is
// not an option, except a grid value that vantrel refuses: the check then
// expects the refusal (gridValueRefused).
bool parseOptions(const std::vector<std::string>& arguments, ConversionOptions& options,
                  std::string& reason);

}  // namespace vantrel::roundtrip

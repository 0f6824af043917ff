// FuzzInput: how one fuzz input is split into command-line options and an SMF.
//
// The first four bytes choose the options, the rest is the file. The options
// are turned into command-line arguments and parsed like the program parses
// them, so a finding replays exactly with `vantrel` and the same arguments.
// The fuzz target and the regression tests share this one decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "mml/schedule.h"
#include "mml/settings.h"
#include "util/sink.h"

namespace vantrel::fuzz {

inline constexpr std::size_t kOptionBytes = 4;

struct FuzzInput {
  std::vector<std::string> arguments;  // e.g. "/J", "/B-", "/C0", "/A480", "/Mc"
  std::span<const std::uint8_t> smf;
  // Inputs whose length is a multiple of four are converted on three threads
  // in batches of a few events, so that the threaded walk and conversion are
  // fuzzed too (the text is the same either way).
  int threads = 1;
};

// Byte 0: bit 0 /J, bit 1 /B-, bits 2-4 the /C value, bits 5-7 the /A value
// (or, for two of the values without a pickup, --voices, and --voices with a
// velocity step of N).
// Byte 1: one bit for each /M sub-letter (A, a, b, c, m, p, x); with bit 7,
// none, and bits 0-2 choose the grid: none, /Q (the program's choice), /Q16,
// /Q12, /Q8, /Q24, /Q4, /Q32; bit 3 --voices; bits 4-6 a velocity step.
// Bytes 2-3: a 16-bit number N that the /C and /A choices may use.
// An input shorter than four bytes is all SMF, with no options.
inline FuzzInput decodeFuzzInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input;
  if (size < kOptionBytes) {
    input.smf = {data, size};
    return input;
  }
  const std::uint8_t flags = data[0];
  const std::uint8_t filters = data[1];
  const std::int64_t n = (std::int64_t{data[2]} << 8) | data[3];
  input.smf = {data + kOptionBytes, size - kOptionBytes};
  if (size % 4 == 0) input.threads = 3;

  auto add = [&](std::string argument) { input.arguments.push_back(std::move(argument)); };
  if (flags & 0x01) add("/J");
  if (flags & 0x02) add("/B-");

  // Bars per line: the default, the special values 0 and -1, small counts,
  // and the extremes of a 32-bit value, whose products with a bar length wrap.
  static constexpr const char* kLineBars[8] = {nullptr, "0", "-1", "1", "N", "-N",
                                               "2147483647", "-2147483648"};
  if (const char* c = kLineBars[(flags >> 2) & 7]) {
    std::string value = c;
    if (value == "N") value = std::to_string(n);
    if (value == "-N") value = std::to_string(-n);
    add("/C" + value);
  }

  // Pickup: none, small and large values, longer than any bar, and the
  // largest the option takes.
  switch ((flags >> 5) & 7) {
    case 0: break;
    case 1: add("--voices"); break;
    case 2:
      add("--voices");
      add("--velocity-step=" + std::to_string(n % 127 + 1));
      break;
    case 3: add("/A" + std::to_string(n)); break;
    case 4: add("/A" + std::to_string(n & 0xFF)); break;
    case 5: add("/A1"); break;
    case 6: add("/A2147483647"); break;
    case 7: add("/A" + std::to_string(n << 8)); break;
  }

  static constexpr const char* kFilters[7] = {"/MA", "/Ma", "/Mb", "/Mc", "/Mm", "/Mp", "/Mx"};
  static constexpr const char* kGrids[8] = {nullptr, "/Q", "/Q16", "/Q12", "/Q8", "/Q24", "/Q4", "/Q32"};
  if (!(filters & 0x80)) {
    for (int bit = 0; bit < 7; ++bit) {
      if (filters & (1 << bit)) add(kFilters[bit]);
    }
  } else {
    if (const char* grid = kGrids[filters & 7]) add(grid);
    if (filters & 0x08) add("--voices");
    static constexpr int kSteps[8] = {0, 2, 4, 8, 16, 32, 64, 127};
    if (const int step = kSteps[(filters >> 4) & 7]) add("--velocity-step=" + std::to_string(step));
  }
  return input;
}

// The settings that the decoded arguments give when parsed as the command
// line parses them. The decoder makes only valid options: a refusal is a
// fault of the parser.
inline Settings settingsOf(const FuzzInput& input) {
  std::vector<std::string> arguments = input.arguments;
  arguments.push_back("fuzz.mid");
  const CommandLine line = parseCommandLine(arguments);
  if (line.action != CommandLine::Action::kConvert) std::abort();
  return line.options.settings;
}

// The schedule the input is converted on: for the threaded ones, batches of
// a few events, so that small files are shared out.
inline Schedule scheduleOf(const FuzzInput& input) {
  Schedule schedule;
  if (input.threads > 1) {
    schedule.threads = input.threads;
    schedule.batchEvents = 8;
  }
  return schedule;
}

// The grid argument of the input, or "": a grid whose step is no whole number
// of ticks at the file's time base is refused with it in the message.
inline std::string gridArgument(const FuzzInput& input) {
  for (const std::string& argument : input.arguments) {
    if (argument.rfind("/Q", 0) == 0) return argument;
  }
  return "";
}

}  // namespace vantrel::fuzz

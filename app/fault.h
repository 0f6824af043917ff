// optionError and dataError: the two reporters that end a run at its first fault.
//
// A fault writes one message on standard error and ends the process with status 1.
// Before it ends, the hook set with setFaultFlush runs, so that every byte of MML
// written before the fault reaches the output file. A fuzz or test build can make
// a fault throw FaultStop instead of ending the process (setFaultThrows).
#pragma once

#include <functional>
#include <string_view>

namespace vantrel {

// Thrown instead of ending the process when setFaultThrows(true) is in effect.
struct FaultStop {
  int status;
};

// "オプションが不正です。：" + text + line feed on standard error; status 1.
[[noreturn]] void optionError(std::string_view text);

// "SMFファイルのデータが不正です。\n" + text on standard error; status 1.
// Every text given here ends in its own line feed.
[[noreturn]] void dataError(std::string_view text);

// Writes text on standard error as it is, then ends the run with `status`.
[[noreturn]] void failWith(std::string_view text, int status = 1);

// `name` + ": " + the system's description of errno + line feed, as perror
// writes it; status 1.
[[noreturn]] void systemError(const char* name);

// Runs once before the process ends at a fault: the output file's flush.
void setFaultFlush(std::function<void()> flush);

// When on, a fault writes its message and throws FaultStop instead of ending
// the process. Off by default.
void setFaultThrows(bool on);

// Ends the run with `status` (flush hook first), or throws when faults throw.
[[noreturn]] void endRun(int status);

}  // namespace vantrel

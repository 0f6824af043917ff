#include "app/fault.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/messages.h"

namespace vantrel {
namespace {

std::function<void()>& flushHook() {
  static std::function<void()> hook;
  return hook;
}

bool& faultsThrow() {
  static bool on = false;
  return on;
}

void writeStderr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void setFaultFlush(std::function<void()> flush) { flushHook() = std::move(flush); }

void setFaultThrows(bool on) { faultsThrow() = on; }

void endRun(int status) {
  // The hook is taken out first: a flush that fails itself ends up here again.
  std::function<void()> hook = std::move(flushHook());
  flushHook() = nullptr;
  if (hook) hook();
  if (faultsThrow()) throw FaultStop{status};
  std::fflush(stdout);
  std::exit(status);
}

void failWith(std::string_view text, int status) {
  writeStderr(text);
  endRun(status);
}

void optionError(std::string_view text) {
  std::string message = messages::kOptionErrorPrefix;
  message += text;
  message += '\n';
  failWith(message);
}

void dataError(std::string_view text) {
  std::string message = messages::kDataErrorPrefix;
  message += text;
  failWith(message);
}

void systemError(const char* name) {
  std::string message = name;
  message += ": ";
  message += std::strerror(errno);
  message += '\n';
  failWith(message);
}

}  // namespace vantrel

// vantrel: converts a Standard MIDI File into MML source text.

#include <cstdio>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/program.h"

int main(int argc, char** argv) {
  using namespace vantrel;
  setBinaryConsole();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  StreamConsole out(stdout);
  StreamConsole err(stderr);
  return runProgram(arguments, out, err);
}

// vantrel: converts a Standard MIDI File into MML source text.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/disk_file_system.h"
#include "app/program.h"

int main(int argc, char** argv) {
  using namespace vantrel;
  prepareProcess();
  setBinaryConsole();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const std::unique_ptr<Console> out = openConsole(stdout);
  const std::unique_ptr<Console> err = openConsole(stderr);
  DiskFileSystem disk;
  return runProgram(arguments, disk, *out, *err, scheduleFromEnvironment());
}

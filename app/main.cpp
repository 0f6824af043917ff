// vantrel: converts a Standard MIDI File into MML source text.

#include <iostream>

#include "app/console.h"
#include "app/fault.h"
#include "app/options.h"
#include "mml/converter.h"
#include "mml/text_writer.h"

int main(int argc, char** argv) {
  using namespace vantrel;
  setBinaryConsole();
  Options options(argc, argv);

  TextWriter output(options.output.rdbuf(), options.output.name);
  // A fault ends the process at once; what was converted before it stays.
  setFaultFlush([&output] { output.flush(); });

  Converter converter(options, options.input.bytes, output, std::cout);
  converter.run();

  setFaultFlush(nullptr);
  output.flush();
  options.output.close();
  if (options.output.fail()) systemError(options.output.name.c_str());
  return 0;
}

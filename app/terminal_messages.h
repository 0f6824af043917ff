// The faults' messages as a person at a terminal reads them: a refused
// argument is named with what was expected in its place, in the reader's
// language; in English every fault has its English text. A file or a pipe
// never gets these: it gets the program's own messages, byte for byte.
#pragma once

#include "app/command_line.h"
#include "app/console.h"
#include "util/fault.h"

namespace vantrel {

// Writes the message of `fault` on `err`, a terminal's console, and returns
// true; false for a fault whose words there are the program's own (the
// faults of the data and of files, in Japanese). `refusal` is where the
// command line was refused, for its faults; a grid refused with the file's
// time base has only the fault's subject.
bool reportToPerson(Console& err, const Fault& fault, const Refusal& refusal);

// Every text of these messages in one language (Japanese as code page 932),
// for a check that each can be shown.
std::string terminalTexts(Reader reader);

// After the usage on a terminal: a word where the help was asked for by what
// looks like a file's name ("/home/me/song.mid" is /h).
void noteAfterUsage(Console& out, const CommandLine& line);

}  // namespace vantrel

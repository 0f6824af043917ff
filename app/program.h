// runProgram: the whole command-line program as a function.
//
// It parses the arguments, prints the usage text or the two file names,
// reads the input, writes the output file and reports every fault, exactly
// as the program does, but works on the files of `files` (the disk, or
// files in memory), writes its standard output and standard error to two
// consoles and returns the exit status instead of ending the process.
// `main` and the web page's module both run the program through it.
#pragma once

#include <span>
#include <string>

#include "app/command_line.h"
#include "app/console.h"
#include "app/file_system.h"
#include "mml/preview.h"
#include "mml/schedule.h"

namespace vantrel {

// `arguments` are those after the program's name. The exit status is 0 when
// everything asked for was written, else 1.
int runProgram(std::span<const std::string> arguments, FileSystem& files, Console& out,
               Console& err, const Schedule& schedule = {});

// The conversion of one file as the command line makes it for `options`
// (what runProgram does once the arguments are parsed): the two names on
// `out`, the file read and converted, every fault reported on `err`. With
// a `preview`, what the conversion wrote (mml/preview.h) goes there too;
// with `reported`, the first fault reported on `err` (kNone when none was),
// for a front end that says it in words of its own.
int runConversion(const Options& options, FileSystem& files, Console& out, Console& err,
                  const Schedule& schedule = {}, Preview* preview = nullptr,
                  Fault* reported = nullptr);

// The threads a conversion may use: VANTREL_THREADS when it holds a number
// from 1 up, else as many as the cores the program may run on, at most 16.
Schedule scheduleFromEnvironment();

}  // namespace vantrel

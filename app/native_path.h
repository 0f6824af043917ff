// nativePath: a file name from the command line as the system's file calls
// read it.
//
// The program opens files by their narrow names, which Windows reads in its
// ANSI code page (code page 932 on Japanese systems); std::filesystem must be
// given the same reading, or a name it decodes differently would not be
// recognised as the same file.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel {

std::filesystem::path nativePath(const std::string& name);

}  // namespace vantrel

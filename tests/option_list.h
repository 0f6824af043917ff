// Options from a list of arguments kept in a test table (smf_builder's
// parseInto takes only a braced list).
#pragma once

#include <vector>

#include "app/options.h"

namespace vantrel::test {

// Parses `arguments` as they would follow the program name; no output name is
// derived and nothing is opened.
inline void parseList(Options& options, const std::vector<const char*>& arguments) {
  std::vector<char*> argv{const_cast<char*>("vantrel")};
  for (const char* a : arguments) argv.push_back(const_cast<char*>(a));
  options.parseArguments(static_cast<int>(argv.size()), argv.data());
}

}  // namespace vantrel::test

// What the tests share, one helper of each kind: SMF bytes (from the shared
// writer), a conversion in-process as the program makes it, the texts read
// out of its result, the files of the source tree, a sink that refuses, and
// the naming of parameterised cases.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "mml/schedule.h"
#include "mml/settings.h"
#include "util/sink.h"
#include "tools/smf_writer/smf_writer.h"
#include "util/fault.h"

namespace vantrel::test {

using smf_writer::Bytes;
using smf_writer::makeSmf;
using smf_writer::Track;

// The bytes of `a`, then those of `b`: pieces of a file put together.
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An end-of-track event right after the event before it.
inline const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

// What a conversion gave: the MML bytes (CR LF line ends), the listing on
// the console, the fault, and the message and exit status the program gives
// for it.
struct Conversion {
  std::string mml;
  std::string listing;
  Fault fault;
  std::string error;  // the data-fault prefix and the fault's text, or nothing
  int status = 0;

  bool operator==(const Conversion&) const = default;
};

// The settings that the command line's options give, e.g. {"/J", "/C0"};
// options that the command line refuses fail the test.
Settings settingsFor(const std::vector<std::string>& options);

// Converts `smf` in-process with the settings of `options`, on one thread.
Conversion convertBytes(const Bytes& smf, const std::vector<std::string>& options = {});

// The conversion with `settings` and `schedule` as they are.
Conversion convertWith(const Bytes& smf, const Settings& settings, const Schedule& schedule = {});

// The MML text between the track's block head and its closing line ends is
// often all a test needs: the text of the pass of `channel` (0: system pass)
// in the first track, from the character after the pass header, with CR LF
// shown as "\n". Works for both dialects.
std::string passText(const std::string& mml, int channel);

// CR LF to LF, for comparing with texts written with "\n".
std::string unixLines(const std::string& text);

// A file of the source tree, by its path from the top ("examples/demo.mml");
// a file that cannot be read fails the test.
std::string sourceFile(const std::filesystem::path& path);
Bytes sourceBytes(const std::filesystem::path& path);
// examples/demo.mid, the piece whose MML files are kept beside it.
Bytes demoSmf();

// A sink that takes whole writes while they fit in `room` bytes and refuses
// the first that does not (errno ENOSPC) and every write after it, as a full
// disk does.
class RefusingSink : public Sink {
 public:
  explicit RefusingSink(std::size_t room) : room_(room) {}

  std::string text;
  bool refused = false;

  Fault write(const char* bytes, std::size_t size) override;

 private:
  std::size_t room_;
};

// Parameterised cases derive from NamedCase: a failure names the case, and
// CaseName() names each instance after it.
struct NamedCase {
  const char* name;
};
inline std::ostream& operator<<(std::ostream& out, const NamedCase& c) { return out << c.name; }

struct CaseName {
  template <typename Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

}  // namespace vantrel::test

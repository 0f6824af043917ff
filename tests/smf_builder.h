// Builds SMF bytes from readable event lists, and converts them in-process.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "mml/settings.h"

namespace vantrel::test {

using Bytes = std::vector<std::uint8_t>;

// The events of one track chunk. Every call adds one event after `delta`
// ticks; channels are 1 to 16 as musicians count them.
class Track {
 public:
  Track& on(std::uint32_t delta, int channel, int key, int velocity = 100);
  Track& off(std::uint32_t delta, int channel, int key, int velocity = 64);
  Track& cc(std::uint32_t delta, int channel, int controller, int value);
  Track& program(std::uint32_t delta, int channel, int number);
  Track& bend(std::uint32_t delta, int channel, int lsb, int msb);
  // A channel message or data bytes exactly as given (running status too).
  Track& raw(std::uint32_t delta, std::initializer_list<int> bytes);
  Track& meta(std::uint32_t delta, int type, const Bytes& data);
  Track& text(std::uint32_t delta, int type, const std::string& text);
  Track& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter);
  Track& timeSignature(std::uint32_t delta, int numerator, int exponent);
  Track& keySignature(std::uint32_t delta, int sharps, int minor);
  Track& sysex(std::uint32_t delta, int status, const Bytes& data);
  Track& end(std::uint32_t delta = 0);
  // Bytes appended with no delta time before them.
  Track& bytes(const Bytes& data);

  const Bytes& data() const { return data_; }

 private:
  Track& delta(std::uint32_t ticks);
  Bytes data_;
};

Bytes varLen(std::uint32_t value);

// A whole file: the header chunk, then one MTrk chunk per track.
Bytes makeSmf(int format, int division, const std::vector<Track>& tracks);

// What a conversion gave: the MML bytes (CR LF line ends), the listing on
// standard output, the message on standard error and the exit status.
struct Conversion {
  std::string mml;
  std::string listing;
  std::string error;
  int status = 0;
};

// The settings that the command line's options give, e.g. {"/J", "/C0"};
// options that the command line refuses fail the test.
Settings settingsFor(const std::vector<std::string>& options);

// Converts `smf` in-process with the settings of `options`, as the program
// does: a data fault comes back as status 1 with the program's message.
Conversion convert(const Bytes& smf, const std::vector<std::string>& options = {});

// The conversion with `settings` as they are (one thread unless they say).
Conversion convertWith(const Bytes& smf, const Settings& settings);

bool operator==(const Conversion& a, const Conversion& b);

// The MML text between the track's block head and its closing line ends is
// often all a test needs: the text of the pass of `channel` (0: system pass)
// in the first track, from the character after the pass header, with CR LF
// shown as "\n". Works for both dialects.
std::string passText(const std::string& mml, int channel);

// CR LF to LF, for comparing with texts written with "\n".
std::string unixLines(const std::string& text);

}  // namespace vantrel::test

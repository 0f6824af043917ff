#include "tests/smf_builder.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "mml/convert.h"

namespace vantrel::test {

Bytes varLen(std::uint32_t value) {
  Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
  while (value >>= 7) out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
  return out;
}

Track& Track::delta(std::uint32_t ticks) {
  Bytes v = varLen(ticks);
  data_.insert(data_.end(), v.begin(), v.end());
  return *this;
}

Track& Track::raw(std::uint32_t d, std::initializer_list<int> bytes) {
  delta(d);
  for (int b : bytes) data_.push_back(static_cast<std::uint8_t>(b));
  return *this;
}

Track& Track::on(std::uint32_t d, int channel, int key, int velocity) {
  return raw(d, {0x90 | (channel - 1), key, velocity});
}

Track& Track::off(std::uint32_t d, int channel, int key, int velocity) {
  return raw(d, {0x80 | (channel - 1), key, velocity});
}

Track& Track::cc(std::uint32_t d, int channel, int controller, int value) {
  return raw(d, {0xB0 | (channel - 1), controller, value});
}

Track& Track::program(std::uint32_t d, int channel, int number) {
  return raw(d, {0xC0 | (channel - 1), number});
}

Track& Track::bend(std::uint32_t d, int channel, int lsb, int msb) {
  return raw(d, {0xE0 | (channel - 1), lsb, msb});
}

Track& Track::meta(std::uint32_t d, int type, const Bytes& payload) {
  raw(d, {0xFF, type});
  Bytes n = varLen(static_cast<std::uint32_t>(payload.size()));
  data_.insert(data_.end(), n.begin(), n.end());
  data_.insert(data_.end(), payload.begin(), payload.end());
  return *this;
}

Track& Track::text(std::uint32_t d, int type, const std::string& s) {
  return meta(d, type, Bytes(s.begin(), s.end()));
}

Track& Track::tempo(std::uint32_t d, std::uint32_t micros) {
  return meta(d, 0x51, {static_cast<std::uint8_t>(micros >> 16),
                        static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)});
}

Track& Track::timeSignature(std::uint32_t d, int numerator, int exponent) {
  return meta(d, 0x58, {static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(exponent),
                        24, 8});
}

Track& Track::keySignature(std::uint32_t d, int sharps, int minor) {
  return meta(d, 0x59, {static_cast<std::uint8_t>(sharps), static_cast<std::uint8_t>(minor)});
}

Track& Track::sysex(std::uint32_t d, int status, const Bytes& payload) {
  raw(d, {status});
  Bytes n = varLen(static_cast<std::uint32_t>(payload.size()));
  data_.insert(data_.end(), n.begin(), n.end());
  data_.insert(data_.end(), payload.begin(), payload.end());
  return *this;
}

Track& Track::end(std::uint32_t d) { return meta(d, 0x2F, {}); }

Track& Track::bytes(const Bytes& more) {
  data_.insert(data_.end(), more.begin(), more.end());
  return *this;
}

namespace {
void put32(Bytes& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}
void put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
}  // namespace

Bytes makeSmf(int format, int division, const std::vector<Track>& tracks) {
  Bytes out{'M', 'T', 'h', 'd'};
  put32(out, 6);
  put16(out, static_cast<std::uint32_t>(format));
  put16(out, static_cast<std::uint32_t>(tracks.size()));
  put16(out, static_cast<std::uint32_t>(division));
  for (const Track& t : tracks) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put32(out, static_cast<std::uint32_t>(t.data().size()));
    out.insert(out.end(), t.data().begin(), t.data().end());
  }
  return out;
}

Settings settingsFor(const std::vector<std::string>& options) {
  std::vector<std::string> arguments = options;
  arguments.push_back("song");
  const CommandLine line = parseCommandLine(arguments);
  EXPECT_EQ(line.action, CommandLine::Action::kConvert) << "the options were refused";
  return line.options.settings;
}

Conversion convertWith(const Bytes& smf, const Settings& settings) {
  StringSink mml, console;
  const Fault fault = vantrel::convert(smf, settings, mml, console);
  Conversion result;
  result.mml = mml.text;
  result.listing = console.text;
  if (fault) result.error = std::string(dataFaultPrefix()) + std::string(faultText(fault.kind));
  result.status = fault ? 1 : 0;
  return result;
}

bool operator==(const Conversion& a, const Conversion& b) {
  return a.mml == b.mml && a.listing == b.listing && a.error == b.error && a.status == b.status;
}

Conversion convert(const Bytes& smf, const std::vector<std::string>& options) {
  return convertWith(smf, settingsFor(options));
}

std::string unixLines(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string passText(const std::string& mml, int channel) {
  std::string text = unixLines(mml);
  // 時間（１：１：０）; the time word of the kana dialect.
  const std::string kanaTime =
      "\x8E\x9E\x8A\xD4\x81\x69\x82\x50\x81\x46\x82\x50\x81\x46\x82\x4F\x81\x6A;";
  const bool kana = text.find("\nTime(1:1:0);") == std::string::npos &&
                    text.find(kanaTime) != std::string::npos;
  const std::string time = kana ? kanaTime : "Time(1:1:0);";
  std::string::size_type start;
  if (channel == 0) {
    // The system pass is the first section and has no channel word.
    start = text.find(time + "\n\t");
    if (start == std::string::npos) return "<no system pass>";
    start += time.size() + 2;
  } else {
    // チャンネル(n);\tゲート100\th-1 in the kana dialect.
    const std::string number = std::to_string(channel);
    std::string head =
        kana ? "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B(" + number +
                   ");\t\x83\x51\x81\x5B\x83\x67" "100\th-1\n\t"
             : "CH(" + number + ");\tq100 h-1\n\t";
    start = text.find(head);
    if (start == std::string::npos) return "<no pass for channel " + std::to_string(channel) + ">";
    start += head.size();
  }
  // The section ends where the next one begins or the track block closes.
  std::string::size_type stop = text.find("\n" + time, start);
  std::string::size_type close = text.find("\n\n", start);
  if (close < stop) stop = close;
  return text.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
}

}  // namespace vantrel::test

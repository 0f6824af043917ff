#include "tests/conversion.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "mml/convert.h"

namespace vantrel::test {

Settings settingsFor(const std::vector<std::string>& options) {
  std::vector<std::string> arguments = options;
  arguments.push_back("song");
  const CommandLine line = parseCommandLine(arguments);
  EXPECT_EQ(line.action, CommandLine::Action::kConvert)
      << "the options were refused: " << line.fault.subject;
  return line.options.settings;
}

Conversion convertWith(const Bytes& smf, const Settings& settings, const Schedule& schedule) {
  StringSink mml, console;
  Conversion result;
  result.fault = convert(smf, settings, mml, console, schedule);
  result.mml = std::move(mml.text);
  result.listing = std::move(console.text);
  if (result.fault) {
    result.error = dataFaultMessage(result.fault.kind);
    result.status = 1;
  }
  return result;
}

Conversion convertBytes(const Bytes& smf, const std::vector<std::string>& options) {
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

std::string sourceFile(const std::filesystem::path& path) {
  std::ifstream in(std::filesystem::path(VANTREL_SOURCE_DIR) / path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes sourceBytes(const std::filesystem::path& path) {
  const std::string text = sourceFile(path);
  return Bytes(text.begin(), text.end());
}

Bytes demoSmf() { return sourceBytes("examples/demo.mid"); }

Fault RefusingSink::write(const char* bytes, std::size_t size) {
  if (refused || text.size() + size > room_) {
    refused = true;
    return Fault(FaultKind::kFileError, ENOSPC);
  }
  text.append(bytes, size);
  return {};
}

}  // namespace vantrel::test

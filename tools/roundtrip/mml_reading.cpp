#include "tools/roundtrip/mml_reading.h"

#include <optional>
#include <string>

#include "tools/roundtrip/dialect_words.h"
#include "tools/roundtrip/text_forms.h"

namespace vantrel::roundtrip {
namespace {

constexpr std::string_view kRule = "//--------------------------------------\n";
constexpr int kPitchOfStep[7] = {0, 2, 4, 5, 7, 9, 11};

// A parse of the whole text; the section being read keeps the line state.
class MmlParser {
 public:
  MmlParser(std::string text, const DialectWords& words, bool subTies)
      : text_(std::move(text)), words_(words), subTies_(subTies) {}

  Reading read() {
    if (readFileHeader()) {
      for (int index = 0; pos_ < text_.size(); ++index) {
        if (!readTrack(index)) break;
      }
    }
    return std::move(reading_);
  }

 private:
  // Line state of the section being read.
  struct Line {
    Section* section = nullptr;
    int track = -1;
    std::uint64_t tick = 0;
    int velocity = -1;  // none written yet in this section
    int octave = -1;
    enum class Item { kNone, kRest, kNote } item = Item::kNone;
    std::size_t noteIndex = 0;  // of the main-line note that ties continue
  };

  bool peek(std::string_view word) const {
    return !word.empty() && std::string_view(text_).substr(pos_).starts_with(word);
  }
  bool take(std::string_view word) {
    if (!peek(word)) return false;
    pos_ += word.size();
    return true;
  }
  bool digitHere() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }
  // A decimal number as the program writes them: no sign, no leading zero.
  bool number(std::uint64_t& value) {
    if (!digitHere()) return false;
    if (text_[pos_] == '0' && pos_ + 1 < text_.size() && text_[pos_ + 1] >= '0' &&
        text_[pos_ + 1] <= '9') {
      return false;
    }
    value = 0;
    for (int digits = 0; digitHere(); ++digits) {
      if (digits == 19) return false;  // no count of this program is that long
      value = value * 10 + static_cast<std::uint64_t>(text_[pos_++] - '0');
    }
    return true;
  }

  void problem(std::string what, std::string expected) {
    Difference d;
    d.track = line_.track;
    d.channel = line_.section ? line_.section->channel : -1;
    d.tick = line_.tick;
    d.what = std::move(what);
    d.expected = std::move(expected);
    d.found =
        joined("\"", printable(std::string_view(text_).substr(pos_), 40), "\" at byte ", pos_);
    reading_.problems.push_back(std::move(d));
  }

  bool expectWord(std::string_view word, const char* what) {
    if (take(word)) return true;
    problem(what, joined("\"", printable(word), "\""));
    return false;
  }
  bool expectNumber(std::uint64_t& value, const char* what) {
    if (number(value)) return true;
    problem(what, "a number");
    return false;
  }

  bool readFileHeader() {
    std::uint64_t size, format, tracks, division;
    Model& model = reading_.model;
    const char* what = "file header";
    if (!expectWord(kRule, what) || !expectWord("//\t\tVANTREL\n", what) ||
        !expectWord(kRule, what) || !expectWord("//MThd Infomation :\n//\tSize = ", what) ||
        !expectNumber(size, what) || !expectWord("\n//\tFormat = ", what) ||
        !expectNumber(format, what) || !expectWord("\n//\tTrack = ", what) ||
        !expectNumber(tracks, what) ||
        !expectWord("\n//\nSystem.ControllerShift = 0;\nSystem.TimeBase = ", what) ||
        !expectNumber(division, what) || !expectWord(";\n\nInclude(stdmsg.h);\n\n\n\n", what)) {
      return false;
    }
    model.headerSize = static_cast<std::uint32_t>(size);
    model.format = static_cast<int>(format);
    model.trackCount = static_cast<int>(tracks);
    model.division = static_cast<int>(division);
    return true;
  }

  bool readTrack(int index) {
    line_ = Line{};
    line_.track = index;
    std::uint64_t size, number_;
    const char* what = "track block head";
    if (!expectWord(kRule, what) || !expectWord("//MTrk Infomation :\n//\tSize = ", what) ||
        !expectNumber(size, what) || !expectWord("\n\n", what) || !expectWord(words_.track, what) ||
        !expectWord("(", what) || !expectNumber(number_, what) || !expectWord(");\n", what)) {
      return false;
    }
    if (number_ != static_cast<std::uint64_t>(index)) {
      problem("track number", std::to_string(index));
    }
    Track& track = reading_.model.tracks.emplace_back();
    track.size = static_cast<std::uint32_t>(size);
    while (peek(words_.time)) {
      if (!readSection(track)) return false;
    }
    return expectWord("\n\n", "end of the track block");
  }

  bool readSection(Track& track) {
    take(words_.time);
    Section section;
    line_.section = nullptr;
    line_.tick = 0;
    std::uint64_t channel = 0;
    const char* what = "pass header";
    if (take(words_.track)) {
      std::uint64_t trackNumber;
      if (!expectWord("(", what) || !expectNumber(trackNumber, what) || !expectWord(");\t", what) ||
          !expectWord(words_.channel, what) || !expectNumber(channel, what) ||
          !expectWord(words_.channelTail, what)) {
        return false;
      }
      if (trackNumber != channel || reading_.model.format != 0) {
        problem("pass header", "the track word only in format 0, with the channel's number");
      }
    } else if (take(words_.channel)) {
      if (!expectNumber(channel, what) || !expectWord(words_.channelTail, what)) return false;
      if (reading_.model.format == 0) problem("pass header", "the track word in format 0");
    }
    if (channel > 16 || (channel == 0 && peek(words_.channel))) {
      problem("pass header", "a channel from 1 to 16");
      return false;
    }
    // A voice of a channel: "//voice 2" or "//voice 2: Acoustic Snare".
    if (channel > 0 && take("//voice ")) {
      std::uint64_t voice = 0;
      if (!expectNumber(voice, "voice comment") || voice == 0 || voice > 256) {
        problem("voice comment", "a voice from 1 to 256");
        return false;
      }
      const std::size_t lineEnd = text_.find("\n\t", pos_);
      if (lineEnd == std::string::npos) {
        problem("voice comment", "its line end");
        return false;
      }
      section.voice = static_cast<int>(voice);
      section.voiceNote = text_.substr(pos_, lineEnd - pos_);
      pos_ = lineEnd + 2;
    }
    if (!track.sections.empty()) {
      const Section& before = track.sections.back();
      const bool nextVoice = static_cast<int>(channel) == before.channel && before.voice > 0 &&
                             section.voice == before.voice + 1;
      if (!nextVoice && (static_cast<int>(channel) <= before.channel || section.voice > 1)) {
        problem("section order", "sections in pass order, each once, a channel's voices in order");
      }
    } else if (section.voice > 1) {
      problem("section order", "a channel's voices in order, from 1");
    }
    section.channel = static_cast<int>(channel);
    track.sections.push_back(std::move(section));
    Line fresh;
    fresh.track = line_.track;
    fresh.section = &track.sections.back();
    line_ = fresh;
    barBefore_ = false;
    readBody();
    line_.section->endTick = line_.tick;
    return true;
  }

  // The section's line, token by token, up to the line end that closes it.
  void readBody() {
    Section& section = *line_.section;
    const std::size_t start = pos_;
    std::uint64_t breaks = 0;
    while (true) {
      // Whether the last token was a length: a tie right after it goes on
      // with the same written length.
      const bool joined = afterLength_;
      afterLength_ = false;
      if (pos_ >= text_.size()) {
        problem("section", "the line ends that close the track block");
        return;
      }
      if (take("\n\t//Rhythm = ")) {
        std::uint64_t numerator, denominator;
        if (!expectNumber(numerator, "rhythm comment") || !expectWord("/", "rhythm comment") ||
            !expectNumber(denominator, "rhythm comment") || !expectWord("\n\t", "rhythm comment")) {
          return skipSection();
        }
        section.rhythmMarks.push_back(
            {line_.tick, std::to_string(numerator) + "/" + std::to_string(denominator)});
        breaks += 2;
        barBefore_ = true;
      } else if (take("\n\t")) {
        section.lineBreaks.push_back(line_.tick);
        ++breaks;
      } else if (peek("\n")) {
        section.textLines = breaks + 1;
        section.textBytes = pos_ - start - 2 * breaks;
        return;
      } else if (take("\t|\t")) {
        section.barLines.push_back(line_.tick);
        barBefore_ = true;
      } else if (take(" Sub{")) {
        ++group_;
        // A rest in a sub-block holds no note; the comparison tells what is missing.
        if (take(words_.rest)) {
          if (!readSubLength() || !expectWord("}", "end of the sub-block")) return skipSection();
          continue;
        }
        std::optional<int> key = readHead();
        std::optional<std::uint64_t> length = key ? readSubLength() : std::nullopt;
        if (!length || !expectWord("}", "end of the sub-block")) return skipSection();
        section.notes.push_back({line_.tick, *key, line_.velocity, *length});
        ++section.subNotes;
      } else if (take(words_.rest)) {
        ++group_;
        barBefore_ = false;
        std::optional<std::uint64_t> length = readLength(line_.tick);
        if (!length) return skipSection();
        line_.item = Line::Item::kRest;
        line_.tick += *length;
        afterLength_ = true;
      } else if (peek(words_.tie)) {
        // On a grid a rest that goes on past a bar line is written again.
        if (subTies_ && barBefore_ && line_.item == Line::Item::kRest) {
          problem("rest over a bar line", "the rest written again after the bar line");
        }
        take(words_.tie);
        barBefore_ = false;
        if (!joined) ++group_;
        std::optional<std::uint64_t> length = readLength(line_.tick);
        if (!length) return skipSection();
        if (line_.item == Line::Item::kNone) problem("tie", "a note or rest before it");
        if (line_.item == Line::Item::kNote) section.notes[line_.noteIndex].duration += *length;
        line_.tick += *length;
        afterLength_ = true;
      } else if (headStartsHere()) {
        ++group_;
        barBefore_ = false;
        std::optional<int> key = readHead();
        std::optional<std::uint64_t> length = key ? readLength(line_.tick) : std::nullopt;
        if (!length) return skipSection();
        afterLength_ = true;
        section.notes.push_back({line_.tick, *key, line_.velocity, *length});
        line_.item = Line::Item::kNote;
        line_.noteIndex = section.notes.size() - 1;
        line_.tick += *length;
      } else if (!readCommand()) {
        return skipSection();
      }
    }
  }

  // Past text that cannot be read: on at the next section or track end.
  void skipSection() {
    while (pos_ < text_.size()) {
      std::size_t next = text_.find('\n', pos_ + 1);
      if (next == std::string::npos) {
        pos_ = text_.size();
        return;
      }
      pos_ = next;
      if (peek(words_.time) || peek("\n\n")) return;
    }
  }

  bool headStartsHere() const {
    if (peek(words_.velocity) || peek(words_.octave)) return true;
    for (std::string_view mark : words_.marks) {
      if (peek(mark)) return true;
    }
    for (std::string_view name : words_.noteNames) {
      if (peek(name)) return true;
    }
    return false;
  }

  // Velocity, octave and name of a note; its key.
  std::optional<int> readHead() {
    std::uint64_t value;
    if (take(words_.velocity)) {
      if (!expectNumber(value, "velocity")) return std::nullopt;
      line_.velocity = static_cast<int>(value);
      ++line_.section->velocityWords;
    }
    if (take(words_.octave)) {
      if (!expectNumber(value, "octave")) return std::nullopt;
      line_.octave = static_cast<int>(value);
    } else {
      // The longer marks first: "<<" before "<".
      static const int kOrder[4] = {0, 1, 4, 3};
      for (int index : kOrder) {
        if (take(words_.marks[index])) {
          if (line_.octave < 0) problem("octave mark", "an absolute octave before it");
          line_.octave += index - 2;
          break;
        }
      }
    }
    int pitch = -1;
    for (int step = 0; step < 7 && pitch < 0; ++step) {
      if (take(words_.noteNames[step])) pitch = kPitchOfStep[step];
    }
    if (pitch < 0) {
      problem("note", "a note name");
      return std::nullopt;
    }
    if (take(words_.sharp)) ++pitch;
    if (line_.velocity < 0) problem("note", "a velocity written before the first note");
    if (line_.octave < 0) problem("note", "an octave written before the first note");
    return line_.octave * 12 + pitch;
  }

  // The whole length of a sub-block's note or rest, which the line's time
  // does not move by: one length, or on a grid tied values.
  std::optional<std::uint64_t> readSubLength() {
    std::optional<std::uint64_t> total = readLength(line_.tick, true);
    while (total && subTies_ && take(words_.tie)) {
      const std::optional<std::uint64_t> more = readLength(line_.tick + *total, true);
      if (!more) return std::nullopt;
      *total += *more;
    }
    return total;
  }

  // One length that starts at `tick`: a note value with dots, or "%" and
  // ticks. It is kept in the section's lengths.
  std::optional<std::uint64_t> readLength(std::uint64_t tick, bool inSub = false) {
    std::optional<std::uint64_t> ticks = lengthValue();
    if (ticks) {
      line_.section->lengths.push_back(
          {tick, *ticks, lastValue_, lastDots_, group_, inSub});
    }
    return ticks;
  }

  std::optional<std::uint64_t> lengthValue() {
    std::uint64_t value;
    lastValue_ = 0;
    lastDots_ = 0;
    if (take("%")) {
      if (!number(value) || value == 0) {
        problem("length", "a positive number of ticks after %");
        return std::nullopt;
      }
      return value;
    }
    if (!number(value) || value == 0) {
      problem("length", "a note value");
      return std::nullopt;
    }
    int dots = 0;
    while (take(".")) ++dots;
    lastValue_ = value;
    lastDots_ = dots;
    // A value L with n dots lasts whole / L * (2^(n+1) - 1) / 2^n ticks.
    const std::uint64_t whole = 4 * static_cast<std::uint64_t>(reading_.model.division);
    if (dots > 20 || value > whole) {
      problem("length", "a note value that lasts a whole number of ticks");
      return std::nullopt;
    }
    const std::uint64_t numerator = whole * ((std::uint64_t{2} << dots) - 1);
    const std::uint64_t denominator = value << dots;
    if (numerator % denominator != 0) {
      problem("length", "a note value that lasts a whole number of ticks");
      return std::nullopt;
    }
    return numerator / denominator;
  }

  // A command, kept with its separator in the MML dialect's words.
  bool readCommand() {
    for (const DialectWords::CommandWord& word : words_.texts) {
      if (!take(std::string(word.written) + "{\"")) continue;
      const std::string_view terminator = textTerminator(word.mml);
      const std::size_t end = text_.find(terminator, pos_);
      if (end == std::string::npos) {
        problem("text command", joined("its closing \"", printable(terminator), "\""));
        return false;
      }
      std::string command = std::string(word.mml) + "{\"" + text_.substr(pos_, end - pos_);
      command += terminator;
      pos_ = end + terminator.size();
      addCommand(std::move(command));
      return true;
    }
    std::string command;
    for (const DialectWords::CommandWord& word : words_.commands) {
      if (take(word.written)) {
        command = word.mml;
        break;
      }
    }
    if (command.empty()) {
      if (!(peek("y") && pos_ + 1 < text_.size() && text_[pos_ + 1] >= '0' &&
            text_[pos_ + 1] <= '9')) {
        problem("command or note", "a note, rest, tie, bar line or command");
        return false;
      }
      command = "y";
      ++pos_;
    }
    const std::size_t semicolon = text_.find(';', pos_);
    const std::size_t lineEnd = text_.find('\n', pos_);
    if (semicolon == std::string::npos || lineEnd < semicolon) {
      problem("command", "\";\" closing the command on its line");
      return false;
    }
    command += text_.substr(pos_, semicolon - pos_);
    pos_ = semicolon;
    if (take("; ")) {
      command += "; ";
    } else if (take(";\n\t")) {
      command += ";\n\t";
    } else {
      problem("command", "\"; \" or \";\\n\\t\" after the command");
      return false;
    }
    addCommand(std::move(command));
    return true;
  }

  void addCommand(std::string text) {
    line_.section->commands.push_back({line_.tick, std::move(text)});
  }

  std::string text_;
  const DialectWords& words_;
  const bool subTies_;
  std::size_t pos_ = 0;
  // The written length being read: its group, note value and dots.
  std::uint32_t group_ = 0;
  bool afterLength_ = false;
  bool barBefore_ = false;  // a bar line or rhythm comment since the main line's last length
  std::uint64_t lastValue_ = 0;
  int lastDots_ = 0;
  Reading reading_;
  Line line_;
};

}  // namespace

Reading readMml(std::string_view text, bool kana, bool subTies) {
  Reading reading = MmlParser(withUnixLines(text), dialectWords(kana), subTies).read();
  // Every line feed of the file is stored as CR LF, those of texts included.
  std::size_t bare = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) continue;
    if (++bare <= 3) {
      reading.problems.push_back(
          {-1, -1, 0, "line end", "CR LF", "a line feed alone at byte " + std::to_string(i)});
    }
  }
  if (bare > 3) {
    reading.problems.push_back(
        {-1, -1, 0, "line end", "CR LF", std::to_string(bare - 3) + " more line feeds alone"});
  }
  return reading;
}

}  // namespace vantrel::roundtrip

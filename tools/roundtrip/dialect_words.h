// The words by which the MML reader recognises notes, lengths and section
// headers in each dialect, and the command words of the kana dialect with the
// MML word that each stands for. The reader gives every command in the MML
// dialect's words, so that both dialects compare with one expectation.
#pragma once

#include <string_view>
#include <vector>

namespace vantrel::roundtrip {

struct DialectWords {
  std::string_view tie, rest, sharp, velocity, octave;
  std::string_view marks[5];      // octave differences -2, -1, 0 (empty), +1, +2
  std::string_view noteNames[7];  // c d e f g a b
  std::string_view time, channel, channelTail, track;

  // A command start as the dialect writes it, and as the MML dialect does.
  struct CommandWord {
    std::string_view written;
    std::string_view mml;
  };
  std::vector<CommandWord> commands;  // every command with parentheses or "SysEx = "
  std::vector<CommandWord> texts;     // the quoted-text commands, up to the "{"
};

const DialectWords& dialectWords(bool kana);

// The text that closes a quoted text command: "\"};\n\t" or "\"}; ".
std::string_view textTerminator(std::string_view mmlWord);

}  // namespace vantrel::roundtrip

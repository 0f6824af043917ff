// Reads the MML text that vantrel writes, in either dialect, back into notes
// and commands: per track and per section, the line's time is rebuilt from
// the lengths of its notes, ties and rests (dotted, "%" in ticks), each of
// which is kept with its form as written; a
// " Sub{...}" block holds a note without moving the line's time; bar lines,
// line breaks and rhythm comments take no time. Whatever the reader cannot
// make sense of is reported as a difference at the place where it stands.
#pragma once

#include <string_view>
#include <vector>

#include "tools/roundtrip/model.h"

namespace vantrel::roundtrip {

struct Reading {
  Model model;
  std::vector<Difference> problems;
};

// `text` is the file as written, with CR LF line ends. On a grid
// (`subTies`) a sub-block's length may be tied values ("Sub{c4^16}"), and a
// rest that goes on past a bar line must be written again after it
// ("r1\t|\tr1", not "r1\t|\t^1").
Reading readMml(std::string_view text, bool kana, bool subTies = false);

}  // namespace vantrel::roundtrip

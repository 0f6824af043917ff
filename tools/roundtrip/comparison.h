// Lays what the MML text holds over what the SMF says it must hold, and lists
// every difference with its track, channel and tick: a note missing, extra,
// or with another key, velocity or length; a command missing, extra or
// different; a section missing or extra; a rhythm comment where no time
// signature changes; a bar line or counted line break off the bars. On a
// grid also every written length that is no note value of the grid, and the
// grid that the program said it used when it is not the one asked for (or,
// for /Q without a value, the one the check chooses).
//
// Everything is worked out from the check's own reading of the SMF, and
// held to exactly: how Note Ons and Note Offs pair into notes (a key struck
// again included); without a grid every note and command at its tick; the
// grid line, for /Q without a value the pair of grids and each track's
// offset as the check chooses them; on a grid every command at the nearest
// point of its section's grid once its track's offset is taken off, in the
// file's order, of the values of one controller only the last at each point
// and none equal to the value in effect; every note where grid_notes.h
// places it, the stretches put on a finer grid and how fine included; a
// rest over a bar line written again after it. Bounds remain where the text
// may spell one length several ways: on a grid a length is note values,
// never "%", of fewer ticks than a step only in a bar that is no whole
// number of steps or beside a note placed off the grid.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/roundtrip/conversion_options.h"
#include "tools/roundtrip/mml_reading.h"
#include "tools/roundtrip/model.h"
#include "tools/roundtrip/smf_expectation.h"

namespace vantrel::roundtrip {

// On a grid `finer` counts the notes found placed on a finer grid.
std::vector<Difference> compareModels(const Expectation& expected, const Model& found,
                                      const ConversionOptions& options, std::uint64_t* finer = nullptr);

// The outcome of checking one conversion.
struct CheckResult {
  std::vector<Difference> differences;
  std::uint64_t notes = 0;     // notes that the SMF holds and the text was searched for
  std::uint64_t commands = 0;  // commands likewise
  std::uint64_t lengths = 0;   // written lengths read (held to the grid's values on a grid)
  std::uint64_t lengthsInTicks = 0;  // of them, written as "%" and ticks
  std::uint64_t lengthsDotted = 0;   // of them, with two dots or more
  std::uint32_t gridNote = 0;  // the grid the events were placed on, 0 none
  // How the channels' text reads: notes found there, of them in sub-blocks,
  // velocity words, and the characters and lines of the text.
  std::uint64_t channelNotes = 0, subNotes = 0, velocityWords = 0;
  std::uint64_t channelBytes = 0, channelLines = 0;
  std::uint32_t tripletNote = 0;  // the triplet grid beside it, 0 none
  bool offsets = false;           // some track was moved back by an offset
  std::uint64_t finerNotes = 0;   // notes placed on a finer grid than their cell's
  bool refused = false;        // the conversion stopped at a fault
  std::string refusal;         // that fault's name
};

// Checks one conversion of `smf` with `options`: the MML text it wrote, its
// exit status and its message on standard error, and when given what it
// printed on standard output (the bar listing, and on a grid the line
// "Grid:1/16\tStep:120"). A refused conversion is right when the SMF has the
// fault whose message it gave. /Q without a value needs `console`: the
// events are placed on the grid it names, and that grid must be the one the
// check chooses.
CheckResult checkConversion(std::span<const std::uint8_t> smf, const ConversionOptions& options,
                            std::string_view mml, int status, std::string_view error,
                            std::optional<std::string_view> console = std::nullopt);

// "track 1, channel 3, tick 480: note length: expected ..., found ...".
std::string describe(const Difference& difference);
std::string describe(const Note& note);

}  // namespace vantrel::roundtrip

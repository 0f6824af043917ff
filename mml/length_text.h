// The MML text of a length in ticks: a note value with dots where one fits
// exactly ("4", "2.", "16.."), otherwise "%" and the ticks ("%100"); or on a
// grid, note values tied together. A conversion chooses one LengthWriter
// once, and the writer of every pass spells its lengths with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mml/text_writer.h"

namespace vantrel {

// How the lengths of a conversion are spelt.
class LengthWriter {
 public:
  virtual ~LengthWriter() = default;

  // Writes the text of a length of `ticks` (more than 0).
  virtual void write(TextWriter& output, std::uint64_t ticks) = 0;

  // Whether every length is a note value a musician reads (a grid's): then a
  // note of the main line is written whole rather than cut where a note of a
  // sub-block ends, and a pickup longer than a bar is one length.
  virtual bool noteValues() const = 0;
};

// The length of `ticks` (more than 0) at `division` ticks per quarter note.
// Of the forms that fit, the one with the fewest dots wins.
ShortText lengthText(std::uint64_t ticks, std::uint16_t division);

// Exact lengths, with the texts of recent lengths kept: music repeats its
// lengths, and the search for dots is the dearest part of writing one.
class LengthCache final : public LengthWriter {
 public:
  explicit LengthCache(std::uint16_t division) : division_(division) {}

  void write(TextWriter& output, std::uint64_t ticks) override { output.writeShort(text(ticks)); }
  bool noteValues() const override { return false; }

  const ShortText& text(std::uint64_t ticks) {
    Entry& entry = entries_[ticks % kSize];
    if (entry.ticks != ticks) {
      entry.ticks = ticks;
      entry.text = lengthText(ticks, division_);
    }
    return entry.text;
  }

 private:
  struct Entry {
    std::uint64_t ticks = 0;  // 0: empty (no length is 0 ticks)
    ShortText text;
  };
  static constexpr std::size_t kSize = 256;
  std::uint16_t division_;
  Entry entries_[kSize];
};

// The text of a length of `ticks` (more than 0) when the conversion is on the
// grid of note value `note` (its step: 4 × division / note ticks), written
// as note values a musician reads: one value, dotted where one fits, or
// tied values (joined by `tie`), longest first ("4^16"). The values are
// those the grid's step makes whole (for sixteenths 1, 2, 4, 8, 16 and
// their dotted forms that are whole steps); a length that is no whole
// number of steps (a bar whose length is not, a stretch of the grid made
// finer) ends in the values of the grid of `fineNote` (a multiple of
// `note`), then in the largest values that divide the whole note. Never "%".
std::string gridLengthText(std::uint64_t ticks, std::uint16_t division, std::uint32_t note,
                           std::uint32_t fineNote, std::string_view tie);

// Lengths on the grid of note value `note`, and of `tripletNote` beside it
// where one is (0: none), with the texts of recent ones kept as LengthCache
// keeps them. A length that is no whole number of the grids' common step (on
// a stretch of the grid halved, say) ends in the values of the step halved as
// often as it can be.
class GridLengthCache final : public LengthWriter {
 public:
  GridLengthCache(std::uint16_t division, std::uint32_t note, std::uint32_t tripletNote,
                  std::string_view tie);

  bool noteValues() const override { return true; }

  // Writes the text of `ticks`: the whole notes that a long length begins
  // with one by one, so that no text of one length grows with it.
  void write(TextWriter& output, std::uint64_t ticks) override {
    const std::uint64_t whole = 4 * std::uint64_t{division_};
    if (ticks > 2 * whole) {
      const std::string& one = text(whole);
      for (; ticks > whole; ticks -= whole) {
        output.writePlain(one);
        output.writePlain(tie_);
      }
    }
    output.writePlain(text(ticks));
  }

  const std::string& text(std::uint64_t ticks) {
    Entry& entry = entries_[ticks % kSize];
    if (entry.ticks != ticks) {
      entry.ticks = ticks;
      entry.text = gridLengthText(ticks, division_, note_, fineNote_, tie_);
    }
    return entry.text;
  }

 private:
  struct Entry {
    std::uint64_t ticks = 0;
    std::string text;
  };
  static constexpr std::size_t kSize = 256;
  std::uint16_t division_;
  std::uint32_t note_;      // of the common step
  std::uint64_t step_;
  std::uint32_t fineNote_;  // of the common step halved as often as it can be
  std::string tie_;
  std::vector<Entry> entries_;
};

}  // namespace vantrel

#include "grid/quantize.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace vantrel {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint64_t kNoTick = ~std::uint64_t{0};

// The slot of a controller value that a later one at its grid point
// overrides (see Quantizer), or -1 for an event that always stays.
int valueSlot(const DecodedEvent& e) {
  switch (e.status & 0xF0) {
    case 0xB0: {
      const int c = e.data1;
      if (c == 0 || c == 6 || c == 32 || c == 38 || (c >= 96 && c <= 101) || c >= 120) return -1;
      return c & 0x7F;
    }
    case 0xE0: return 128;
    case 0xD0: return 129;
    case 0xA0: return 130 + (e.data1 & 0x7F);
    default: return -1;
  }
}
constexpr std::size_t kValueSlots = 258;

int valueOf(const DecodedEvent& e) {
  switch (e.status & 0xF0) {
    case 0xE0: return e.data1 | e.data2 << 8;
    case 0xD0: return e.data1;
    default: return e.data2;
  }
}

}  // namespace

Quantizer::Quantizer(const RhythmTable& rhythm, std::int32_t pickupTicks, std::uint16_t division,
                     const GridPlan& plan)
    : division_(division),
      straight_(gridStep(plan.note, division)),
      triplet_(plan.tripletNote != 0 ? gridStep(plan.tripletNote, division) : 0),
      plan_(plan),
      starts_(rhythm, pickupTicks),
      ends_(rhythm, pickupTicks) {
  assert(straight_ > 0);
}

void Quantizer::reserve(std::size_t events, std::size_t systemEvents) {
  // The most a track can become: a Note Off for each note.
  out_.reserve(2 * events, systemEvents);
  outSpans_.reserve(2 * events);
}

std::uint64_t Quantizer::shifted(std::uint64_t tick) const {
  if (offset_ >= 0) return tick >= std::uint64_t(offset_) ? tick - std::uint64_t(offset_) : 0;
  return tick + std::uint64_t(-std::int64_t{offset_});
}

Quantizer::Cell Quantizer::cellAt(Bars& bars, std::uint64_t tick) {
  if (triplet_ == 0) return {bars.at(tick), straight_};
  const Bars::Bar beat = bars.beatAt(tick, division_);
  const bool triplet = std::binary_search(tripletBeats_.begin(), tripletBeats_.end(), beat.start);
  return {beat, triplet ? triplet_ : straight_};
}

std::uint64_t Quantizer::nearest(std::uint64_t tick, const Bars::Bar& bar, std::uint32_t step) {
  std::uint64_t before, next;
  Grid::around(tick, bar, step, before, next);
  // Halfway between two, the later.
  return tick - before < next - tick ? before : next;
}

std::uint64_t Quantizer::after(std::uint64_t tick, const Bars::Bar& bar, std::uint32_t step) {
  std::uint64_t before, next;
  Grid::around(tick, bar, step, before, next);
  return next;
}

void Quantizer::chooseBeats() {
  tripletBeats_.resizeForWriting(triplet_ == 0 ? 0 : notes_.size());
  if (triplet_ == 0 || notes_.size() == 0) return;
  std::uint64_t beatStart = kNoTick, straightSum = 0, tripletSum = 0;
  std::size_t chosen = 0;
  auto close = [&] {
    if (beatStart != kNoTick && tripletSum < straightSum) tripletBeats_[chosen++] = beatStart;
  };
  for (const Note& note : notes_) {
    const Bars::Bar beat = starts_.beatAt(note.tick, division_);
    if (beat.start != beatStart) {
      close();
      beatStart = beat.start;
      straightSum = tripletSum = 0;
    }
    const auto distance = [&](std::uint32_t step) {
      const std::uint64_t point = nearest(note.tick, beat, step);
      return point > note.tick ? point - note.tick : note.tick - point;
    };
    straightSum += distance(straight_);
    tripletSum += distance(triplet_);
  }
  close();
  tripletBeats_.setSize(chosen);
}

void Quantizer::placeStretch(std::uint32_t from, std::uint32_t to, std::uint64_t before, bool any) {
  const std::uint32_t* const order = keyOrder_.data();
  // Halved until each starts after the one before.
  for (std::uint32_t halvings = 1; halvings < 32; ++halvings) {
    bool whole = true, fits = true;
    std::uint64_t last = before, lastTick = kNoTick;
    bool placedOne = any;
    for (std::uint32_t k = from; k < to && whole; ++k) {
      const Note& note = notes_[order[k]];
      if (note.step % (std::uint32_t{1} << halvings) != 0) {
        whole = false;
        break;
      }
      const std::uint64_t start =
          nearest(note.tick, cellAt(starts_, note.tick).bar, note.step >> halvings);
      // Notes of a key played at one tick stay at one point.
      if (placedOne && start <= last && note.tick != lastTick) fits = false;
      last = start;
      lastTick = note.tick;
      placedOne = true;
    }
    if (!whole) break;
    if (!fits) continue;
    for (std::uint32_t k = from; k < to; ++k) {
      Note& note = notes_[order[k]];
      note.step >>= halvings;
      note.start = nearest(note.tick, cellAt(starts_, note.tick).bar, note.step);
    }
    return;
  }
  // At their own ticks.
  for (std::uint32_t k = from; k < to; ++k) {
    Note& note = notes_[order[k]];
    note.step = 1;
    note.start = note.tick;
  }
}

void Quantizer::placeKeys() {
  // The notes by key, each key's in their order (a counting sort).
  std::array<std::uint32_t, 257> firstOfKey{};
  for (const Note& note : notes_) ++firstOfKey[note.key + 1u];
  for (std::size_t k = 1; k < firstOfKey.size(); ++k) firstOfKey[k] += firstOfKey[k - 1];
  keyOrder_.resizeForWriting(notes_.size());
  std::array<std::uint32_t, 256> next;
  std::copy_n(firstOfKey.begin(), 256, next.begin());
  for (std::uint32_t n = 0; n < notes_.size(); ++n) keyOrder_[next[notes_[n].key]++] = n;

  for (std::size_t key = 0; key < 256; ++key) {
    const std::uint32_t begin = firstOfKey[key], end = firstOfKey[key + 1];
    std::uint64_t before = 0;
    bool any = false;
    // Stretches of notes of the key that come less than a step apart.
    for (std::uint32_t from = begin; from < end;) {
      std::uint32_t to = from + 1;
      bool inOrder = !any || notes_[keyOrder_[from]].start > before;
      while (to < end) {
        const Note& earlier = notes_[keyOrder_[to - 1]];
        const Note& later = notes_[keyOrder_[to]];
        if (later.tick - earlier.tick >= later.step) break;
        if (later.start <= earlier.start && later.tick != earlier.tick) inOrder = false;
        ++to;
      }
      if (!inOrder) placeStretch(from, to, before, any);
      before = notes_[keyOrder_[to - 1]].start;
      any = true;
      from = to;
    }
  }
}

void Quantizer::dropRedundant(std::uint32_t count, bool inOrder) {
  dropped_.resizeForWriting(count);
  std::fill(dropped_.begin(), dropped_.end(), 0);
  auto at = [&](std::uint32_t k) { return inOrder ? k : byTick_[k]; };
  // Of the values of one slot at one tick, the last.
  std::array<std::uint64_t, kValueSlots> laterAt;
  laterAt.fill(kNoTick);
  for (std::uint32_t k = count; k-- > 0;) {
    const DecodedEvent& e = moved_[at(k)];
    const int slot = valueSlot(e);
    if (slot < 0) continue;
    if (laterAt[slot] == e.tick) dropped_[at(k)] = 1;
    laterAt[slot] = e.tick;
  }
  // A value equal to the one in effect changes nothing.
  std::array<int, kValueSlots> inEffect;
  inEffect.fill(-1);
  for (std::uint32_t k = 0; k < count; ++k) {
    if (dropped_[at(k)]) continue;
    const DecodedEvent& e = moved_[at(k)];
    const int slot = valueSlot(e);
    if (slot < 0) continue;
    if (inEffect[slot] == valueOf(e)) dropped_[at(k)] = 1;
    inEffect[slot] = valueOf(e);
  }
}

std::uint32_t Quantizer::quantizePass(TrackView view, int pass, std::uint32_t to) {
  const DecodedTrack& in = *view.track;
  const std::uint32_t begin = in.passBegin[pass];
  const std::uint32_t end = in.passBegin[pass + 1];
  if (begin == end) return to;
  // At most every event of the pass is moved, and a Note Off made for each.
  moved_.resizeForWriting(end - begin);
  notes_.resizeForWriting(end - begin);
  DecodedEvent* moved = moved_.data();
  Note* notes = notes_.data();
  for (std::uint32_t index = begin; index < end; ++index) {
    DecodedEvent event = in.events[index];
    const std::uint8_t kind = event.status & 0xF0;
    event.tick = shifted(event.tick);
    if (pass > 0 && isNoteStart(event)) {
      *notes++ = {event.tick, shifted(view.spans->endTick(in, index)), 0, 0,
                  static_cast<std::uint32_t>(moved - moved_.data()), event.data1};
    } else if (pass > 0 && (kind == 0x80 || kind == 0x90)) {
      continue;  // the file's Note Offs give way to those made for each note
    }
    *moved++ = event;
  }
  moved_.setSize(static_cast<std::size_t>(moved - moved_.data()));
  notes_.setSize(static_cast<std::size_t>(notes - notes_.data()));
  chooseBeats();
  // Every event at the nearest point, the notes placed apart after.
  for (DecodedEvent& event : moved_) {
    const Cell cell = cellAt(starts_, event.tick);
    event.tick = nearest(event.tick, cell.bar, cell.step);
  }
  for (Note& note : notes_) {
    note.start = moved_[note.moved].tick;
    note.step = cellAt(starts_, note.tick).step;
  }
  placeKeys();
  // The ends, in the order of the notes: at the point nearest to each, a
  // step of the note's own after its start at least, and where the next of
  // its key starts at the latest.
  offs_.resizeForWriting(notes_.size());
  std::array<std::uint64_t, 256> nextStart, laterStart;  // of the key: the next, the next after this one's
  nextStart.fill(kNoTick);
  laterStart.fill(kNoTick);
  for (std::uint32_t n = static_cast<std::uint32_t>(notes_.size()); n-- > 0;) {
    Note& note = notes_[n];
    const Cell endCell = cellAt(ends_, note.end);
    std::uint64_t ends = nearest(note.end, endCell.bar, endCell.step);
    const std::uint64_t least = after(note.start, cellAt(starts_, note.start).bar, note.step);
    if (ends < least) ends = least;
    // A note starting at the same point (played at the same tick) sounds
    // beside it; the next that starts later ends it.
    if (nextStart[note.key] != note.start) laterStart[note.key] = nextStart[note.key];
    ends = std::min(ends, laterStart[note.key]);
    nextStart[note.key] = note.start;
    DecodedEvent& start = moved_[note.moved];
    start.tick = note.start;
    offs_[n] = {{ends, kMadeOrder, static_cast<std::uint8_t>(0x80 | (start.status & 0x0F)), note.key, 0},
                note.moved};
  }
  // The nearest grid point never comes before that of an earlier tick: the
  // events are in order but for notes placed apart, and the Note Offs but
  // for notes that end after later ones.
  const bool inOrder = std::is_sorted(moved_.begin(), moved_.end(),
                                      [](const DecodedEvent& a, const DecodedEvent& b) { return a.tick < b.tick; });
  if (!inOrder) {
    byTick_.resizeForWriting(moved_.size());
    for (std::uint32_t i = 0; i < byTick_.size(); ++i) byTick_[i] = i;
    std::stable_sort(byTick_.begin(), byTick_.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return moved_[a].tick < moved_[b].tick; });
  }
  const auto offByTick = [](const Off& a, const Off& b) { return a.event.tick < b.event.tick; };
  if (!std::is_sorted(offs_.begin(), offs_.end(), offByTick)) {
    std::stable_sort(offs_.begin(), offs_.end(), offByTick);
  }
  const auto count = static_cast<std::uint32_t>(moved_.size());
  if (pass > 0) {
    dropRedundant(count, inOrder);
  } else {
    dropped_.resizeForWriting(count);
    std::fill(dropped_.begin(), dropped_.end(), 0);
  }
  // At one tick, the notes that end there come first. A note overlaps when
  // anything but a Note Off is written between it and its Note Off.
  placedAt_.resizeForWriting(moved_.size());
  startsBefore_.resizeForWriting(moved_.size());
  std::uint32_t starts = 0;  // events but Note Offs written so far
  auto off = offs_.begin();
  auto writeOff = [&] {
    const std::uint32_t note = off->note;
    outSpans_.set(placedAt_[note], {to, starts > startsBefore_[note] ? 1u : 0u});
    out_.events[to++] = off->event;
    ++off;
  };
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t i = inOrder ? k : byTick_[k];
    if (dropped_[i]) continue;
    while (off != offs_.end() && off->event.tick <= moved_[i].tick) writeOff();
    placedAt_[i] = to;
    out_.events[to++] = moved_[i];
    startsBefore_[i] = ++starts;
  }
  while (off != offs_.end()) writeOff();
  return to;
}

TrackView Quantizer::apply(TrackView view) {
  const DecodedTrack& in = *view.track;
  DecodedTrack& out = out_;
  offset_ = plan_.offset(view.index);
  // Room for the most a track can become: a Note Off for each note.
  out.events.resizeForWriting(2 * in.events.size());
  out.dataAt.resizeForWriting(in.dataAt.size());
  std::copy(in.dataAt.begin(), in.dataAt.end(), out.dataAt.begin());
  out.passBegin[0] = 0;
  out.passBegin[1] = quantizePass(view, 0, 0);
  outSpans_.prepare(out.passBegin[1], out.events.size() - out.passBegin[1]);
  for (int pass = 1; pass < kPassCount; ++pass) {
    out.passBegin[pass + 1] = quantizePass(view, pass, out.passBegin[pass]);
  }
  out.events.resizeForWriting(out.passBegin[kPassCount]);

  // The end of the track follows every event; it stays the last of its pass.
  const Cell endCell = cellAt(ends_, shifted(in.endTick));
  std::uint64_t last = nearest(shifted(in.endTick), endCell.bar, endCell.step);
  for (int pass = 0; pass < kPassCount; ++pass) {
    if (out.passBegin[pass + 1] > out.passBegin[pass]) {
      last = std::max(last, out.events[out.passBegin[pass + 1] - 1].tick);
    }
  }
  out.endTick = last;
  out.endOrder = in.endOrder;
  if (out.passBegin[1] > 0) {
    DecodedEvent& lastSystem = out.events[out.passBegin[1] - 1];
    if (lastSystem.order == in.endOrder) lastSystem.tick = last;
  }
  return {&out_, &outSpans_, view.index};
}

}  // namespace vantrel

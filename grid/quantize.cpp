#include "grid/quantize.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace vantrel {
namespace {

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

void Quantizer::chooseBeats() {
  tripletBeats_.resizeForWriting(triplet_ == 0 ? 0 : notes_.size());
  if (triplet_ == 0 || notes_.size() == 0) return;
  std::uint64_t beatStart = kNoTick, straightSum = 0, tripletSum = 0;
  std::size_t chosen = 0;
  auto close = [&] {
    if (beatStart != kNoTick && 2 * tripletSum < straightSum) tripletBeats_[chosen++] = beatStart;
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
      note.cellEnd = 0;
    }
    return;
  }
  // At their own ticks.
  for (std::uint32_t k = from; k < to; ++k) {
    Note& note = notes_[order[k]];
    note.step = 1;
    note.start = note.tick;
    note.cellEnd = 0;
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
  if (valued_.size() < 2) return;  // one value alone is always written
  // The events with a value in the order of their ticks: those listed, when
  // the events are in order; else all, by tick.
  const std::uint32_t listed = inOrder ? static_cast<std::uint32_t>(valued_.size()) : count;
  auto at = [&](std::uint32_t k) { return inOrder ? valued_[k] : byTick_[k]; };
  // Of the values of one slot at one tick, the last.
  std::array<std::uint64_t, kValueSlots> laterAt;
  laterAt.fill(kNoTick);
  for (std::uint32_t k = listed; k-- > 0;) {
    const DecodedEvent& e = moved_[at(k)];
    const int slot = valueSlot(e);
    if (slot < 0) continue;
    if (laterAt[slot] == e.tick) dropped_[at(k)] = 1;
    laterAt[slot] = e.tick;
  }
  // A value equal to the one in effect changes nothing.
  std::array<int, kValueSlots> inEffect;
  inEffect.fill(-1);
  for (std::uint32_t k = 0; k < listed; ++k) {
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
  notes_.resizeForWriting(pass > 0 ? end - begin : 0);
  valued_.resizeForWriting(pass > 0 ? end - begin : 0);
  DecodedEvent* moved = moved_.data();
  Note* notes = notes_.data();
  std::uint32_t* valued = valued_.data();
  for (std::uint32_t index = begin; index < end; ++index) {
    DecodedEvent event = in.events[index];
    const std::uint8_t kind = event.status & 0xF0;
    if (offset_ != 0) event.tick = shifted(event.tick);
    if (pass > 0) {
      if (isNoteStart(event)) {
        const std::uint64_t noteEnd = view.spans->endTick(in, index);
        *notes++ = {event.tick, offset_ != 0 ? shifted(noteEnd) : noteEnd, 0, 0, 0,
                    static_cast<std::uint32_t>(moved - moved_.data()), event.data1};
      } else if (kind == 0x80 || kind == 0x90) {
        continue;  // the file's Note Offs give way to those made for each note
      } else if (valueSlot(event) >= 0) {
        *valued++ = static_cast<std::uint32_t>(moved - moved_.data());
      }
    }
    *moved++ = event;
  }
  moved_.setSize(static_cast<std::size_t>(moved - moved_.data()));
  notes_.setSize(static_cast<std::size_t>(notes - notes_.data()));
  valued_.setSize(static_cast<std::size_t>(valued - valued_.data()));
  chooseBeats();
  // Every event at the nearest point. The notes placed there keep their
  // order unless two of a key meet; then the key's are placed apart.
  std::array<std::uint64_t, 256> lastStart, lastTick;
  lastTick.fill(kNoTick);
  bool meet = false;
  Note* note = notes_.begin();
  for (std::uint32_t k = 0; k < moved_.size(); ++k) {
    DecodedEvent& event = moved_[k];
    const Cell cell = cellAt(starts_, event.tick);
    const std::uint64_t point = nearest(event.tick, cell.bar, cell.step);
    if (note != notes_.end() && note->moved == k) {
      note->start = point;
      note->step = cell.step;
      note->cellEnd = cell.bar.fromEnd ? 0 : cell.bar.end;  // 0: none known
      const std::uint8_t key = note->key;
      meet |= lastTick[key] != kNoTick && point <= lastStart[key] && note->tick != lastTick[key];
      lastStart[key] = point;
      lastTick[key] = note->tick;
      ++note;
    }
    event.tick = point;
  }
  if (meet) placeKeys();
  // The ends, in the order of the notes: at the point nearest to each, a
  // step of the note's own after its start at least, and where the next of
  // its key that starts later starts at the latest (a note starting at the
  // same point, played at the same tick, sounds beside it).
  offs_.resizeForWriting(notes_.size());
  std::array<std::uint64_t, 256> nextStart, laterStart;  // of the key: the next, the next after this one's
  nextStart.fill(kNoTick);
  laterStart.fill(kNoTick);
  for (std::uint32_t n = static_cast<std::uint32_t>(notes_.size()); n-- > 0;) {
    const Note& note = notes_[n];
    const Cell endCell = cellAt(ends_, note.end);
    std::uint64_t ends = nearest(note.end, endCell.bar, endCell.step);
    // The first point of its own step after its start: within the stretch
    // its tick lay in, where it was placed there; else looked for.
    const std::uint64_t least =
        note.start < note.cellEnd ? std::min(note.start + note.step, note.cellEnd)
                                  : after(note.start, cellAt(starts_, note.start).bar, note.step);
    if (ends < least) ends = least;
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
  // The Note Offs by tick, those of one tick in the order of their notes: in
  // order, from a heap of those of the notes begun (notes end in another
  // order than they begin, and few sound at once); else sorted.
  const auto offByTick = [](const Off& a, const Off& b) { return a.event.tick < b.event.tick; };
  const bool offsInOrder = std::is_sorted(offs_.begin(), offs_.end(), offByTick);
  const bool offsFromHeap = !offsInOrder && inOrder;
  if (!offsInOrder && !offsFromHeap) std::stable_sort(offs_.begin(), offs_.end(), offByTick);
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
  auto writeOff = [&](const Off& off) {
    outSpans_.set(placedAt_[off.note], {to, starts > startsBefore_[off.note] ? 1u : 0u});
    out_.events[to++] = off.event;
  };
  if (offsFromHeap) {
    heap_.resizeForWriting(notes_.size());
    Pending* const heap = heap_.data();
    std::size_t pending = 0;
    std::uint32_t begun = 0;  // notes whose Note Offs are on the heap
    auto writeUpTo = [&](std::uint64_t tick) {
      for (; begun < notes_.size() && notes_[begun].start <= tick; ++begun) {
        heap[pending++] = {offs_[begun].event.tick, begun};
        std::push_heap(heap, heap + pending, std::greater<>());
      }
      while (pending > 0 && heap[0].tick <= tick) {
        writeOff(offs_[heap[0].note]);
        std::pop_heap(heap, heap + pending--, std::greater<>());
      }
    };
    for (std::uint32_t i = 0; i < count; ++i) {
      if (dropped_[i]) continue;
      writeUpTo(moved_[i].tick);
      placedAt_[i] = to;
      out_.events[to++] = moved_[i];
      startsBefore_[i] = ++starts;
    }
    writeUpTo(kNoTick);
    return to;
  }
  auto off = offs_.begin();
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t i = inOrder ? k : byTick_[k];
    if (dropped_[i]) continue;
    while (off != offs_.end() && off->event.tick <= moved_[i].tick) writeOff(*off++);
    placedAt_[i] = to;
    out_.events[to++] = moved_[i];
    startsBefore_[i] = ++starts;
  }
  while (off != offs_.end()) writeOff(*off++);
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

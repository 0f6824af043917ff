#include "grid/quantize.h"

#include <algorithm>
#include <array>

namespace vantrel {

void Quantizer::reserve(std::size_t events, std::size_t systemEvents) {
  // The most a track can become: a Note Off for each note.
  out_.reserve(2 * events, systemEvents);
  outSpans_.reserve(2 * events);
}

std::uint32_t Quantizer::quantizePass(TrackView view, int pass, std::uint32_t to) {
  const DecodedTrack& in = *view.track;
  const std::uint32_t begin = in.passBegin[pass];
  const std::uint32_t end = in.passBegin[pass + 1];
  if (begin == end) return to;
  // At most every event of the pass is moved, and a Note Off made for each.
  moved_.resizeForWriting(end - begin);
  offs_.resizeForWriting(end - begin);
  DecodedEvent* moved = moved_.data();
  Off* offs = offs_.data();
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  // The last note of each key: where it starts, and its Note Off in offs_.
  std::array<std::uint64_t, 256> lastStart;
  std::array<std::uint32_t, 256> lastOff;
  if (pass > 0) lastOff.fill(kNone);
  for (std::uint32_t index = begin; index < end; ++index) {
    DecodedEvent event = in.events[index];
    const std::uint8_t kind = event.status & 0xF0;
    if (pass > 0 && isNoteStart(event)) {
      const std::uint8_t key = event.data1;
      const std::uint32_t before = lastOff[key];
      std::uint64_t start = starts_.nearest(event.tick);
      if (before != kNone && start <= lastStart[key]) start = starts_.after(lastStart[key]);
      // A grid point after the start is one step after it at least.
      std::uint64_t ends = ends_.nearest(view.spans->endTick(in, index));
      if (ends <= start) ends = starts_.after(start);
      // The note before of this key ends where this one starts, at the latest.
      if (before != kNone && offs_[before].event.tick > start) offs_[before].event.tick = start;
      event.tick = start;
      lastOff[key] = static_cast<std::uint32_t>(offs - offs_.data());
      lastStart[key] = start;
      *offs++ = {{ends, kMadeOrder, static_cast<std::uint8_t>(0x80 | (event.status & 0x0F)), key, 0},
                 static_cast<std::uint32_t>(moved - moved_.data())};
      *moved++ = event;
      continue;
    }
    // The file's Note Offs give way to those made for each note.
    if (pass > 0 && (kind == 0x80 || kind == 0x90)) continue;
    event.tick = starts_.nearest(event.tick);
    *moved++ = event;
  }
  moved_.resizeForWriting(static_cast<std::size_t>(moved - moved_.data()));
  offs_.resizeForWriting(static_cast<std::size_t>(offs - offs_.data()));
  // The nearest grid point never comes before that of an earlier tick: the
  // events are in order but for notes moved on past a note of their key,
  // and the Note Offs but for notes that end after later ones.
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
  for (std::uint32_t k = 0; k < moved_.size(); ++k) {
    const std::uint32_t i = inOrder ? k : byTick_[k];
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
  std::uint64_t last = ends_.nearest(in.endTick);
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
  return {&out_, &outSpans_};
}

}  // namespace vantrel

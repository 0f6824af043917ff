#include "voices/voice_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace vantrel {
namespace {

constexpr int kOctave = 12;
// Notes that start together are dealt as a chord up to this many.
constexpr std::size_t kMostTogether = 32;

// A stable sort of the few notes that start together, or of the voices,
// that allocates nothing.
template <typename Iterator, typename Less>
void insertionSort(Iterator begin, Iterator end, Less less) {
  for (Iterator i = begin; i != end; ++i) {
    for (Iterator j = i; j != begin && less(*j, *(j - 1)); --j) std::iter_swap(j, j - 1);
  }
}

// A message that neither starts nor ends a note.
bool isOtherMessage(const DecodedEvent& event) {
  const std::uint8_t kind = event.status & 0xF0;
  return kind != 0x80 && kind != 0x90;
}

}  // namespace

void VoiceTable::reserve(std::size_t channelEvents) {
  entries_.makeRoom(channelEvents);
  nextMessage_.makeRoom(channelEvents);
  byVoice_.makeRoom(channelEvents);
}

void VoiceTable::deal(TrackView view) {
  const DecodedTrack& track = *view.track;
  first_ = track.passBegin[1];
  const std::size_t size = track.events.size() - first_;
  entries_.resizeForWriting(size);
  nextMessage_.resizeForWriting(size);
  byVoice_.resizeForWriting(size);
  counts_.fill(1);
  std::uint32_t listed = 0;
  drumVoices_ = 0;
  for (int pass = 1; pass < kPassCount; ++pass) {
    const std::uint32_t begin = track.passBegin[pass];
    const std::uint32_t end = track.passBegin[pass + 1];
    std::uint32_t next = kOpenEnd;
    for (std::uint32_t i = end; i-- > begin;) {
      if (isOtherMessage(track.events[i])) next = i;
      nextMessage_[i - first_] = next;
      at(i) = {0, 0};
    }
    if (begin != end) {
      if (pass == kDrumPass) {
        dealDrums(track, *view.spans);
      } else {
        dealMelodic(track, *view.spans, pass);
      }
      findSubs(track, *view.spans, pass);
    }
    listed = listByVoice(track, pass, listed);
  }
}

std::uint32_t VoiceTable::listByVoice(const DecodedTrack& track, int pass, std::uint32_t from) {
  std::vector<std::uint32_t>& begins = voiceBegin_[static_cast<std::size_t>(pass)];
  const auto voices = static_cast<std::size_t>(counts_[pass]);
  begins.assign(voices + 1, 0);
  const std::uint32_t begin = track.passBegin[pass];
  const std::uint32_t end = track.passBegin[pass + 1];
  // A count of each voice's notes, then each note at its voice's place.
  for (std::uint32_t i = begin; i < end; ++i) {
    if (at(i).flags & kVoiced) ++begins[at(i).voice + 1];
  }
  begins[0] = from;
  for (std::size_t v = 0; v < voices; ++v) begins[v + 1] += begins[v];
  std::array<std::uint32_t, 256> next;
  std::copy(begins.begin(), begins.end() - 1, next.begin());
  for (std::uint32_t i = begin; i < end; ++i) {
    if (at(i).flags & kVoiced) byVoice_[next[at(i).voice]++] = i;
  }
  return begins[voices];
}

void VoiceTable::dealMelodic(const DecodedTrack& track, const NoteSpans& spans, int pass) {
  const std::uint32_t begin = track.passBegin[pass];
  const std::uint32_t end = track.passBegin[pass + 1];
  // Of each voice: whether it holds a note, the index of the event that
  // ends its last note (free for a Note On after it), and that note's key.
  std::array<bool, kVoiceLimit> used{};
  std::array<std::int64_t, kVoiceLimit> busyUntil;
  std::array<int, kVoiceLimit> lastKey{};
  busyUntil.fill(-1);
  int highest = 0;
  // Whether voice `v` may take the note at `index`: free, and for voice 1
  // no message of the channel comes while it sounds.
  auto mayTake = [&](int v, std::uint32_t index) {
    if (busyUntil[v] >= index) return false;
    if (v != 0) return true;
    const std::uint32_t message = index + 1 < end ? nextMessage_[index + 1 - first_] : kOpenEnd;
    return !(message < spans[index].end);
  };
  auto give = [&](std::uint32_t index, int v) {
    used[v] = true;
    busyUntil[v] = std::max<std::int64_t>(busyUntil[v], spans[index].end);
    lastKey[v] = track.events[index].data1;
    highest = std::max(highest, v);
    at(index) = {static_cast<std::uint8_t>(v), kVoiced};
  };
  // The lowest-numbered voice not used yet that may take the note, or -1.
  auto unusedFor = [&](std::uint32_t index) {
    for (int v = 0; v < kVoiceLimit; ++v) {
      if (!used[v] && mayTake(v, index)) return v;
    }
    return -1;
  };
  for (std::uint32_t i = begin; i < end;) {
    const std::uint64_t tick = track.events[i].tick;
    group_.clear();
    for (; i < end && track.events[i].tick == tick; ++i) {
      if (isNoteStart(track.events[i]) && spans.endTick(track, i) != tick) group_.push_back(i);
    }
    if (group_.empty()) continue;
    // The highest first; of one key, in the file's order.
    const auto higher = [&](std::uint32_t a, std::uint32_t b) {
      return track.events[a].data1 > track.events[b].data1;
    };
    if (group_.size() <= kMostTogether) {
      insertionSort(group_.begin(), group_.end(), higher);
    } else {
      std::stable_sort(group_.begin(), group_.end(), higher);
    }
    if (group_.size() == 1 || group_.size() > kMostTogether) {
      // A note that starts alone goes to the nearest free voice; so does each
      // of a crowd, which most voices cannot hold anyway.
      for (std::uint32_t index : group_) {
        const int key = track.events[index].data1;
        int best = -1;
        for (int v = 0; v < kVoiceLimit; ++v) {
          if (!used[v] || !mayTake(v, index)) continue;
          if (best < 0 || std::abs(key - lastKey[v]) < std::abs(key - lastKey[best])) best = v;
        }
        if (best < 0) best = unusedFor(index);
        give(index, best >= 0 ? best : kVoiceLimit - 1);
      }
      continue;
    }
    // Notes that start together, the highest first, onto the free voices in
    // the order of their last keys, so that lines do not cross.
    std::array<int, kVoiceLimit> lines;
    int lineCount = 0, unused = 0;
    for (int v = 0; v < kVoiceLimit; ++v) {
      if (used[v]) {
        lines[lineCount++] = v;
      } else {
        ++unused;
      }
    }
    insertionSort(lines.begin(), lines.begin() + lineCount,
                  [&](int a, int b) { return lastKey[a] > lastKey[b]; });
    const std::size_t notes = group_.size();
    const int m = lineCount;
    // cost[i][j]: the least cost of the first i notes on the first j lines.
    // A note on a line costs its distance from the line's last key, and much
    // more from an octave on; a new voice costs two octaves while one is
    // left; a note that finds no voice, most of all.
    constexpr std::int64_t kFar = 1000, kNone = 1000000, kNever = INT64_MAX / 4;
    const std::int64_t newVoice = unused > 0 ? 24 : kNone;
    const auto width = static_cast<std::size_t>(m + 1);
    auto cell = [&](std::size_t n, int j) -> std::int64_t& {
      return cost_[n * width + static_cast<std::size_t>(j)];
    };
    lineCost_.resize(notes * static_cast<std::size_t>(m));
    for (std::size_t n = 0; n < notes; ++n) {
      const std::uint32_t index = group_[n];
      for (int j = 0; j < m; ++j) {
        const int distance = std::abs(track.events[index].data1 - lastKey[lines[j]]);
        lineCost_[n * static_cast<std::size_t>(m) + static_cast<std::size_t>(j)] =
            !mayTake(lines[j], index) ? kNever : distance < kOctave ? distance : distance + kFar;
      }
    }
    auto onLine = [&](std::size_t n, int j) {
      return lineCost_[n * static_cast<std::size_t>(m) + static_cast<std::size_t>(j)];
    };
    cost_.resize((notes + 1) * width);
    for (int j = 0; j <= m; ++j) cell(0, j) = 0;
    for (std::size_t n = 1; n <= notes; ++n) {
      cell(n, 0) = cell(n - 1, 0) + newVoice;
      for (int j = 1; j <= m; ++j) {
        cell(n, j) = std::min({cell(n - 1, j) + newVoice, cell(n, j - 1),
                               cell(n - 1, j - 1) + onLine(n - 1, j - 1)});
      }
    }
    // Back from the end: what each note was given. Where more notes would
    // open a voice than are left, the lowest find none.
    choice_.assign(notes, -1);  // a voice, or -1 a new one
    int j = m;
    for (std::size_t n = notes; n > 0;) {
      const std::int64_t here = cell(n, j);
      if (j > 0 && here == cell(n - 1, j - 1) + onLine(n - 1, j - 1)) {
        choice_[--n] = lines[--j];
      } else if (j > 0 && here == cell(n, j - 1)) {
        --j;
      } else {
        choice_[--n] = -1;
      }
    }
    for (std::size_t n = 0; n < notes; ++n) {
      const std::uint32_t index = group_[n];
      int v = choice_[n];
      if (v == -1) v = unusedFor(index);
      give(index, v >= 0 ? v : kVoiceLimit - 1);
    }
  }
  counts_[pass] = highest + 1;
}

void VoiceTable::dealDrums(const DecodedTrack& track, const NoteSpans& spans) {
  const std::uint32_t begin = track.passBegin[kDrumPass];
  const std::uint32_t end = track.passBegin[kDrumPass + 1];
  std::array<bool, 256> present{};
  for (std::uint32_t i = begin; i < end; ++i) {
    const DecodedEvent& event = track.events[i];
    if (isNoteStart(event) && spans.endTick(track, i) != event.tick) present[event.data1] = true;
  }
  std::array<std::uint8_t, 256> voiceOfKey{};
  int voices = 0;
  for (int key = 0; key < 256; ++key) {
    if (!present[key]) continue;
    voiceOfKey[key] = static_cast<std::uint8_t>(voices);
    drumKeys_[voices++] = static_cast<std::uint8_t>(key);
  }
  for (std::uint32_t i = begin; i < end; ++i) {
    const DecodedEvent& event = track.events[i];
    if (isNoteStart(event) && spans.endTick(track, i) != event.tick) {
      at(i) = {voiceOfKey[event.data1], kVoiced};
    }
  }
  drumVoices_ = voices;
  counts_[kDrumPass] = std::max(voices, 1);
}

void VoiceTable::findSubs(const DecodedTrack& track, const NoteSpans& spans, int pass) {
  const std::uint32_t begin = track.passBegin[pass];
  const std::uint32_t end = track.passBegin[pass + 1];
  // The next note of each voice, going backwards.
  std::array<std::uint32_t, 256> nextStart;
  nextStart.fill(kOpenEnd);
  for (std::uint32_t i = end; i-- > begin;) {
    Entry& entry = at(i);
    if (!(entry.flags & kVoiced)) continue;
    const std::uint32_t noteEnd = spans[i].end;
    const std::uint32_t message = i + 1 < end ? nextMessage_[i + 1 - first_] : kOpenEnd;
    if (nextStart[entry.voice] < noteEnd || (entry.voice == 0 && message < noteEnd)) {
      entry.flags |= kSub;
    }
    nextStart[entry.voice] = i;
  }
}

}  // namespace vantrel

#include "tools/roundtrip/played_files.h"

#include <algorithm>

#include "tools/roundtrip/random.h"
#include "tools/smf_writer/smf_writer.h"

namespace vantrel::roundtrip {
namespace {

using smf_writer::Bytes;

// At one tick a sequencer stores Note Offs first, then other messages, then
// Note Ons; some store them the other way round.
enum Rank { kNoteOff = 0, kOther = 1, kNoteOn = 2 };

// The events of one track before they are stored, in both of those orders:
// which one a track is stored in is drawn when it is stored.
class TrackEvents {
 public:
  void add(std::uint64_t tick, const Bytes& bytes, Rank rank = kOther) {
    tick = shift_ >= 0 || tick >= static_cast<std::uint64_t>(-shift_)
               ? tick + static_cast<std::uint64_t>(shift_)
               : 0;
    offsFirst_.add(tick, bytes, rank);
    onsFirst_.add(tick, bytes, kNoteOn - rank);
  }
  // Every event added from now on `ticks` later (earlier when negative, not
  // before the start): a track that a sequencer delays.
  void shift(std::int64_t ticks) { shift_ = ticks; }
  void meta(std::uint64_t tick, std::uint8_t type, const Bytes& data) {
    Bytes b{0xFF, type};
    smf_writer::appendVarLen(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    add(tick, b);
  }

  // The chunk: events with running status where `running`, the end of the
  // track `endAfter` ticks after the last event.
  Bytes chunk(bool running, bool onsFirst, std::uint64_t endAfter) {
    smf_writer::TimedTrack& track = onsFirst ? onsFirst_ : offsFirst_;
    return smf_writer::trackChunk(track.events(running, track.lastTick() + endAfter));
  }

 private:
  smf_writer::TimedTrack offsFirst_;
  smf_writer::TimedTrack onsFirst_;
  std::int64_t shift_ = 0;
};

struct Bar {
  std::uint64_t start;
  std::uint64_t length;
  int numerator;
  int denominator;
};

// What a voice plays.
enum class Role { kMelody, kChords, kBass, kDrums };

class Player {
 public:
  explicit Player(std::uint64_t seed) : random_(seed) {}

  PlayedSmf play() {
    PlayedSmf out;
    division_ = random_.pick({480, 480, 480, 96, 120, 192, 240, 360, 384, 960, 100});
    out.division = division_;
    // A division of 100 has no whole triplet, nor a whole step of /Q12.
    out.triplets = division_ % 3 == 0 && random_.chance(35);
    unit_ = out.triplets ? division_ / 3 : division_ / 4;
    tightness_ = random_.range(3, 30);  // how far a start strays, in hundredths of a unit
    layBars(out);

    const bool format0 = random_.chance(20);
    const int voices = random_.range(1, 3);
    std::vector<TrackEvents> tracks(format0 ? 1 : static_cast<std::size_t>(voices) + 1);
    conduct(tracks[0], out);
    std::vector<bool> usedChannels(16, false);
    for (int v = 0; v < voices; ++v) {
      TrackEvents& track = tracks[format0 ? 0 : static_cast<std::size_t>(v) + 1];
      Role role = random_.pick({Role::kMelody, Role::kChords, Role::kBass, Role::kDrums});
      int channel = role == Role::kDrums ? 9 : random_.range(0, 15);
      if (role != Role::kDrums && (channel == 9 || usedChannels[channel])) channel = v;
      usedChannels[channel] = true;
      playVoice(track, role, channel, out);
    }

    Bytes& bytes = out.bytes;
    bytes = smf_writer::headerChunk(format0 ? 0 : 1, static_cast<std::uint32_t>(tracks.size()),
                                    static_cast<std::uint32_t>(division_));
    for (TrackEvents& track : tracks) {
      const Bytes chunk = track.chunk(random_.chance(50), random_.chance(15),
                                      random_.below(static_cast<std::uint64_t>(division_)));
      bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    out.noteCount = noteCount_;
    return out;
  }

 private:
  // Runs of bars of one meter, 7/8 and 6/8 among them; sometimes a pickup
  // of a beat or two before the first whole bar.
  void layBars(PlayedSmf& out) {
    struct Meter {
      int numerator, denominator;
    };
    const Meter meters[] = {{4, 4}, {3, 4}, {2, 4}, {5, 4}, {6, 8}, {7, 8}, {12, 8}, {4, 4}, {7, 8}};
    std::uint64_t tick = 0;
    const int barCount = random_.range(6, 14);
    Meter meter = meters[random_.below(std::size(meters))];
    if (random_.chance(30)) {
      const std::uint64_t bar = barTicks(meter.numerator, meter.denominator);
      const std::uint64_t beat = static_cast<std::uint64_t>(4 * division_ / meter.denominator);
      const std::uint64_t pickup = beat * static_cast<std::uint64_t>(random_.range(1, 2));
      if (pickup < bar) {
        out.pickupTicks = static_cast<std::int32_t>(pickup);
        bars_.push_back({0, pickup, meter.numerator, meter.denominator});
        tick = pickup;
      }
    }
    for (int b = 0; b < barCount; ++b) {
      if (b > 0 && random_.chance(25)) meter = meters[random_.below(std::size(meters))];
      const std::uint64_t length = barTicks(meter.numerator, meter.denominator);
      bars_.push_back({tick, length, meter.numerator, meter.denominator});
      tick += length;
    }
    end_ = tick;
  }

  std::uint64_t barTicks(int numerator, int denominator) const {
    return static_cast<std::uint64_t>(4 * division_ * numerator / denominator);
  }

  // A tick a player hits when aiming at `ideal`: off by up to the file's
  // tightness, and one time in twenty by up to half a unit; a sequenced
  // voice hits it.
  std::uint64_t human(std::uint64_t ideal) {
    if (sequenced_) return ideal;
    const std::uint64_t reach = random_.chance(5) ? unit_ / 2 : unit_ * tightness_ / 100;
    const std::uint64_t offset = random_.below(2 * reach + 1);
    return ideal + offset >= reach ? ideal + offset - reach : 0;
  }

  // The conductor: time signatures at the bar lines where the meter changes
  // (and at the pickup's end), tempo changes and markers off the beat, a
  // SysEx reset at the start.
  void conduct(TrackEvents& track, const PlayedSmf& out) {
    track.meta(0, 0x03, {'p', 'l', 'a', 'y', 'e', 'd'});
    track.add(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    track.meta(0, 0x51, {0x07, 0xA1, 0x20});
    for (std::size_t b = 0; b < bars_.size(); ++b) {
      const Bar& bar = bars_[b];
      const bool pickupEnd = out.pickupTicks > 0 && b == 1;
      if (b == 0 || pickupEnd || bar.numerator != bars_[b - 1].numerator ||
          bar.denominator != bars_[b - 1].denominator) {
        int exponent = 0;
        while ((1 << exponent) < bar.denominator) ++exponent;
        track.meta(bar.start, 0x58, {static_cast<std::uint8_t>(bar.numerator),
                                     static_cast<std::uint8_t>(exponent), 24, 8});
      }
      if (b > 0 && random_.chance(20)) {
        const std::uint32_t micros = static_cast<std::uint32_t>(random_.range(400000, 700000));
        track.meta(human(bar.start + unit_), 0x51,
                   {static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
                    static_cast<std::uint8_t>(micros)});
      }
      if (random_.chance(15)) track.meta(human(bar.start), 0x06, {static_cast<std::uint8_t>('A' + b % 26)});
    }
  }

  void note(TrackEvents& track, int channel, int key, int velocity, std::uint64_t start,
            std::uint64_t end, bool zeroOff) {
    ++noteCount_;
    track.add(start,
              {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
               static_cast<std::uint8_t>(velocity)},
              kNoteOn);
    if (zeroOff) {
      track.add(end, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key), 0},
                kNoteOff);
    } else {
      track.add(end,
                {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key),
                 static_cast<std::uint8_t>(random_.range(0, 64))},
                kNoteOff);
    }
  }

  // How long a note of a `slot` ticks sounds as this voice plays it.
  std::uint64_t sounding(std::uint64_t slot, int articulation) {
    int percent;
    switch (articulation) {
      case 0:  // staccato
        percent = random_.range(20, 55);
        break;
      case 1:  // as written, with a sequencer's gate
        percent = random_.range(75, 96);
        break;
      default:  // legato, into the next note; as often just up to it, where
                // a key struck again has its Note On before the old Off
        percent = random_.chance(35) ? 100 : random_.range(98, 115);
        break;
    }
    return std::max<std::uint64_t>(1, slot * static_cast<std::uint64_t>(percent) / 100);
  }

  void playVoice(TrackEvents& track, Role role, int channel, const PlayedSmf& out) {
    const std::uint8_t status = static_cast<std::uint8_t>(channel);
    const bool zeroOffs = random_.chance(50);
    // A voice entered on the grid, now and then in a track the sequencer
    // plays a few ticks late (or early).
    sequenced_ = random_.chance(20);
    const std::int64_t late = static_cast<std::int64_t>(unit_ / 4);
    track.shift(sequenced_ && late > 0 && random_.chance(60)
                    ? random_.range(1, static_cast<int>(late)) * (random_.chance(30) ? -1 : 1)
                    : 0);
    const int articulation = random_.range(0, 2);
    // The bank, program and volume at the start; a bank select spread over
    // a few ticks, as some sequencers store it, comes together on a grid.
    const std::uint64_t spread = random_.chance(50) ? 0 : random_.below(unit_ / 3 + 1);
    track.add(0, {static_cast<std::uint8_t>(0xB0 | status), 0, static_cast<std::uint8_t>(random_.range(0, 3))});
    track.add(spread, {static_cast<std::uint8_t>(0xB0 | status), 32, 0});
    track.add(2 * spread, {static_cast<std::uint8_t>(0xC0 | status), static_cast<std::uint8_t>(random_.range(0, 127))});
    track.add(human(unit_), {static_cast<std::uint8_t>(0xB0 | status), 7, static_cast<std::uint8_t>(random_.range(60, 127))});

    int key = role == Role::kBass ? random_.range(28, 45) : random_.range(55, 76);
    for (const Bar& bar : bars_) {
      // A pickup's notes fall on the beats before the first whole bar, as in
      // a whole bar that starts before the file does.
      std::uint64_t offset = 0;
      const std::uint64_t barStart = bar.start;
      if (out.pickupTicks > 0 && bar.start == 0) offset = (unit_ - bar.length % unit_) % unit_;
      if (random_.chance(8)) continue;  // a bar of rest: rests over bar lines
      const std::uint64_t beat = static_cast<std::uint64_t>(division_);
      for (std::uint64_t at = barStart + offset; at < barStart + bar.length;) {
        // A beat of triplets among straight sixteenths.
        if (!out.triplets && division_ % 3 == 0 && role != Role::kChords && (at - barStart) % beat == 0 &&
            at + beat <= barStart + bar.length && random_.chance(8)) {
          for (std::uint64_t k = 0; k < 3; ++k) {
            const std::uint64_t start = human(at + k * beat / 3);
            note(track, status, key, random_.range(30, 120), start, start + sounding(beat / 3, articulation),
                 zeroOffs);
            if (role != Role::kDrums) key = std::clamp(key + random_.range(-2, 2), 24, 100);
          }
          at += beat;
          continue;
        }
        const std::uint64_t units = static_cast<std::uint64_t>(
            role == Role::kDrums ? random_.pick({1, 1, 2, 2, 3}) : random_.pick({1, 2, 2, 3, 4, 6, 8}));
        const std::uint64_t slot = std::min(units * unit_, barStart + bar.length - at);
        if (random_.chance(12)) {  // a rest
          at += slot;
          continue;
        }
        const std::uint64_t start = human(at);
        const int velocity = random_.range(30, 120);
        if (role == Role::kDrums && random_.chance(15)) {
          roll(track, status, random_.pick({38, 42, 46}), start, slot, zeroOffs);
        } else if (role == Role::kChords || (role == Role::kMelody && random_.chance(10))) {
          chord(track, status, key, velocity, start, slot, articulation, zeroOffs);
        } else if (random_.chance(2)) {
          note(track, status, key, velocity, start, start, zeroOffs);  // ends where it starts
        } else if (random_.chance(5) && start > unit_ / 4) {
          // A flam: a grace note of the key a few ticks before it.
          const std::uint64_t grace = start - 1 - random_.below(unit_ / 4);
          note(track, status, key, random_.range(20, 60), grace,
               grace + std::max<std::uint64_t>(1, (start - grace) / 2), zeroOffs);
          note(track, status, key, velocity, start, start + sounding(slot, articulation), zeroOffs);
        } else {
          if (role == Role::kDrums) key = random_.pick({35, 36, 38, 42, 44, 46, 49});
          note(track, status, key, velocity, start, start + sounding(slot, articulation), zeroOffs);
        }
        between(track, status, start, start + slot);
        // Bass repeats its key (legato repeats overlap); a melody steps.
        if (role != Role::kDrums && !(role == Role::kBass && random_.chance(50))) {
          key = std::clamp(key + random_.range(-4, 4), 24, 100);
        }
        at += slot;
      }
    }
    // Now and then a last note that the track's end cuts off.
    if (random_.chance(15)) {
      track.add(human(end_), {static_cast<std::uint8_t>(0x90 | status), static_cast<std::uint8_t>(key), 90}, kNoteOn);
      ++noteCount_;
    }
    track.shift(0);
    sequenced_ = false;
  }

  // Three or four keys struck as a strum, each let go on its own.
  void chord(TrackEvents& track, std::uint8_t channel, int root, int velocity, std::uint64_t start,
             std::uint64_t slot, int articulation, bool zeroOffs) {
    const int intervals[] = {0, random_.pick({3, 4}), 7, random_.pick({10, 11, 12})};
    const int size = random_.range(3, 4);
    for (int i = 0; i < size; ++i) {
      const std::uint64_t at = start + static_cast<std::uint64_t>(i) * random_.below(unit_ / 6 + 1);
      note(track, channel, root + intervals[i], std::clamp(velocity + random_.range(-10, 10), 1, 127),
           at, at + sounding(slot, articulation), zeroOffs);
    }
  }

  // One key struck again and again, faster than any grid the conversion
  // may take: a roll of thirds or halves of a unit.
  void roll(TrackEvents& track, std::uint8_t channel, int key, std::uint64_t start,
            std::uint64_t slot, bool zeroOffs) {
    const std::uint64_t gap = std::max<std::uint64_t>(1, unit_ / static_cast<std::uint64_t>(random_.range(2, 3)));
    for (std::uint64_t at = start; at < start + slot; at += gap) {
      note(track, channel, key, random_.range(40, 110), at, at + std::max<std::uint64_t>(1, gap / 2),
           zeroOffs);
    }
  }

  // What a player's hands do between strikes: the modulation wheel,
  // expression, a pitch bend that sweeps and comes back, the sustain pedal.
  void between(TrackEvents& track, std::uint8_t channel, std::uint64_t from, std::uint64_t to) {
    if (to <= from + 1) return;
    const std::uint64_t span = to - from;
    if (random_.chance(10)) {
      const std::uint8_t controller = random_.pick<std::uint8_t>({1, 11, 64, 10});
      track.add(from + random_.below(span),
                {static_cast<std::uint8_t>(0xB0 | channel), controller,
                 static_cast<std::uint8_t>(random_.range(0, 127))});
    }
    if (random_.chance(6)) {
      const int steps = random_.range(3, 8);
      for (int i = 0; i <= steps; ++i) {
        const int value = i == steps ? 8192 : random_.range(4096, 12288);
        track.add(from + span * static_cast<std::uint64_t>(i) / static_cast<std::uint64_t>(steps + 1),
                  {static_cast<std::uint8_t>(0xE0 | channel), static_cast<std::uint8_t>(value & 0x7F),
                   static_cast<std::uint8_t>(value >> 7)});
      }
    }
    if (random_.chance(3)) {
      track.add(from + random_.below(span),
                {static_cast<std::uint8_t>(0xD0 | channel), static_cast<std::uint8_t>(random_.range(0, 127))});
    }
    if (random_.chance(5)) stream(track, channel, from, to);
  }

  // A wheel or pedal moved slowly, as a controller keyboard sends it: a
  // value every few ticks, many of them the same as the one before, and
  // now and then one sent twice at one tick.
  void stream(TrackEvents& track, std::uint8_t channel, std::uint64_t from, std::uint64_t to) {
    const int kind = random_.range(0, 3);  // modulation, expression, pitch bend, channel pressure
    const std::uint64_t every = 1 + random_.below(unit_ / 6 + 1);
    int value = random_.range(20, 100);
    for (std::uint64_t at = from; at < to; at += every) {
      value = std::clamp(value + random_.range(-1, 1), 0, 127);
      const int times = random_.chance(10) ? 2 : 1;
      for (int t = 0; t < times; ++t) {
        const auto v = static_cast<std::uint8_t>(value);
        switch (kind) {
          case 0:
          case 1:
            track.add(at, {static_cast<std::uint8_t>(0xB0 | channel), static_cast<std::uint8_t>(kind == 0 ? 1 : 11), v});
            break;
          case 2:
            track.add(at, {static_cast<std::uint8_t>(0xE0 | channel), 0, v});
            break;
          default:
            track.add(at, {static_cast<std::uint8_t>(0xD0 | channel), v});
            break;
        }
      }
    }
  }

  Random random_;
  int division_ = 480;
  std::uint64_t unit_ = 120;
  std::uint64_t tightness_ = 10;
  bool sequenced_ = false;  // the voice being played is on the grid
  std::uint64_t end_ = 0;
  std::vector<Bar> bars_;
  std::size_t noteCount_ = 0;
};

}  // namespace

PlayedSmf generatePlayedSmf(std::uint64_t seed) { return Player(seed).play(); }

std::vector<std::vector<std::string>> playedOptionSets(std::uint64_t seed, const PlayedSmf& file) {
  Random random(seed ^ 0x51A7E0F5D1ULL);
  const char* const autoForms[] = {"/Q", "/Qa", "--quantize", "--quantize=auto", "-Q"};
  const char* const extraGrids[] = {"/Q8", "/Q24", "/Q4", "--quantize=32"};
  std::vector<std::vector<std::string>> sets;
  for (const char* dialect : {"", "/J"}) {
    for (std::string grid : {std::string(random.chance(70) ? "/Q16" : "--quantize=16"), std::string("/Q12"),
                             std::string(autoForms[random.below(std::size(autoForms))])}) {
      std::vector<std::string> set;
      if (*dialect) set.push_back(dialect);
      set.push_back(grid);
      if (file.pickupTicks > 0) set.push_back("/A" + std::to_string(file.pickupTicks));
      if (random.chance(10)) set.push_back(random.pick<const char*>({"/B-", "/C1", "/C0"}));
      sets.push_back(set);
    }
  }
  std::vector<std::string> extra{extraGrids[random.below(std::size(extraGrids))]};
  if (file.pickupTicks > 0) extra.push_back("/A" + std::to_string(file.pickupTicks));
  sets.push_back(extra);
  // Voices and a velocity step, on the grid the program chooses.
  std::vector<std::string> voices{"/Q", "--voices",
                                  "--velocity-step=" + std::to_string(random.pick<int>({4, 8, 12}))};
  if (random.chance(50)) voices.push_back("/J");
  if (file.pickupTicks > 0) voices.push_back("/A" + std::to_string(file.pickupTicks));
  sets.push_back(voices);
  return sets;
}

}  // namespace vantrel::roundtrip

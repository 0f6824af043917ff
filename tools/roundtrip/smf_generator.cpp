#include "tools/roundtrip/smf_generator.h"

#include <algorithm>
#include <cstring>

#include "tools/roundtrip/random.h"
#include "tools/smf_writer/smf_writer.h"

namespace vantrel::roundtrip {
namespace {

using smf_writer::Bytes;
using TrackPlan = smf_writer::TimedTrack;

// Writes the contents of one generated file.
class Composer {
 public:
  explicit Composer(std::uint64_t seed) : random_(seed) {}

  GeneratedSmf compose() {
    GeneratedSmf out;
    out.format = random_.chance(30) ? 0 : 1;
    out.trackCount = out.format == 0      ? 1
                     : random_.chance(10) ? random_.range(6, 18)
                                          : random_.range(1, 5);
    out.division = chooseDivision();
    division_ = out.division;
    unit_ = chooseUnit();
    total_ =
        static_cast<std::uint64_t>(random_.range(1, 6)) * 4 * division_ + random_.below(division_);

    std::vector<TrackPlan> plans(static_cast<std::size_t>(out.trackCount));
    systemEvents(plans[0], true);
    for (std::size_t t = 1; t < plans.size(); ++t) {
      if (random_.chance(15)) systemEvents(plans[t], false);
    }
    for (std::size_t t = 0; t < plans.size(); ++t) {
      if (out.format == 1 && t == 0 && out.trackCount > 1 && random_.chance(60)) continue;
      const int channels = out.format == 0 ? random_.range(1, 4) : random_.range(1, 2);
      for (int c = 0; c < channels; ++c) channelPart(plans[t], random_.range(0, 15));
    }

    std::vector<Bytes> tracks;
    for (TrackPlan& plan : plans) {
      std::uint64_t end = plan.lastTick();
      if (random_.chance(40)) end += random_.below(2 * division_) + 1;
      // Running status in half the tracks.
      tracks.push_back(plan.events(random_.chance(50), end));
      out.eventCount += plan.size() + 1;
    }
    out.bytes = smf_writer::smfFile(out.format, out.division, tracks);
    return out;
  }

 private:
  int chooseDivision() {
    if (random_.chance(3)) return random_.pick({1, 2, 3, 5, 32767});
    if (random_.chance(15))
      return random_.pick({7, 25, 30, 50, 97, 100, 127, 333, 500, 1000, 1001});
    if (random_.chance(15)) return random_.range(24, 1920);
    return random_.pick({24, 48, 96, 120, 192, 240, 384, 480, 960, 1920});
  }

  // The grid most events fall on: a note value, or any tick at all.
  std::uint64_t chooseUnit() {
    if (random_.chance(15)) return 1;
    const std::uint64_t divisor = random_.pick<std::uint64_t>({1, 2, 3, 4, 6, 8});
    const std::uint64_t beat = static_cast<std::uint64_t>(division_) * (random_.chance(20) ? 2 : 1);
    return std::max<std::uint64_t>(1, beat / divisor);
  }

  std::uint64_t someTick() {
    if (random_.chance(15)) return random_.below(total_ + 1);
    return random_.below(total_ / unit_ + 1) * unit_;
  }
  std::uint64_t someLength() {
    if (random_.chance(6)) return 0;
    if (random_.chance(15)) return random_.below(2 * static_cast<std::uint64_t>(division_)) + 1;
    return static_cast<std::uint64_t>(random_.range(1, 8)) * unit_;
  }
  int someKey() {
    return random_.chance(5) ? random_.pick({0, 1, 126, 127}) : random_.range(24, 100);
  }
  int someVelocity() { return random_.chance(5) ? random_.pick({1, 127}) : random_.range(20, 127); }

  Bytes someText() {
    Bytes text;
    const int size = random_.chance(10) ? 0 : random_.range(1, 24);
    while (static_cast<int>(text.size()) < size) {
      switch (random_.below(8)) {
        case 0:
          text.push_back(random_.pick<std::uint8_t>({'\n', '\r', '\t', '"', '{', '}', ';', '\\'}));
          break;
        case 1:
          text.insert(text.end(), {0x83, 0x5C});
          break;  // a kana whose second byte is "\"
        case 2:
          text.insert(text.end(), {0x89, 0xB9});
          break;
        default:
          text.push_back(static_cast<std::uint8_t>(random_.range(0x20, 0x7E)));
      }
    }
    // A quote followed by a closing brace would read as the end of the text.
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == '"' && text[i + 1] == '}') text[i + 1] = '!';
    }
    return text;
  }

  Bytes someBytes(int size, unsigned top) {
    Bytes data;
    for (int i = 0; i < size; ++i) data.push_back(static_cast<std::uint8_t>(random_.below(top)));
    return data;
  }

  // Tempo, time signatures, key signatures, texts and every other meta event
  // that vantrel writes, and SysEx. The conductor part also lays the bars.
  void systemEvents(TrackPlan& plan, bool conductor) {
    if (conductor) {
      if (random_.chance(70)) plan.meta(0, 0x58, timeSignature());
      const int changes = random_.chance(50) ? random_.range(1, 4) : 0;
      for (int i = 0; i < changes; ++i) {
        // On a bar line of the 4/4 grid, or anywhere.
        std::uint64_t tick = random_.chance(60)
                                 ? random_.below(total_ / (4 * division_) + 1) * 4 * division_
                                 : someTick();
        plan.meta(tick, 0x58, timeSignature());
      }
      if (random_.chance(80)) plan.meta(0, 0x51, tempoBytes());
      if (random_.chance(30)) plan.meta(someTick(), 0x51, tempoBytes());
      if (random_.chance(20)) plan.meta(0, 0x00, someBytes(2, 256));
    } else if (random_.chance(30)) {
      // Tracks other than the first may have them too, at a tick of their own
      // or at a bar line where the first track may have one as well.
      const std::uint64_t bar = 4 * static_cast<std::uint64_t>(division_);
      plan.meta(random_.chance(50) ? someTick() : random_.below(total_ / bar + 1) * bar, 0x58,
                timeSignature());
    }
    const int count = random_.range(0, conductor ? 8 : 3);
    for (int i = 0; i < count; ++i) {
      const std::uint64_t tick = someTick();
      switch (random_.below(11)) {
        case 0:
          plan.meta(tick, random_.range(1, 7), someText());
          break;
        case 1:
          plan.meta(tick, random_.range(1, 7), someText());
          break;
        case 2:
          plan.meta(tick, 0x20, someBytes(1, 16));
          break;
        case 3:
          plan.meta(tick, 0x21, someBytes(1, 256));
          break;
        case 4:
          plan.meta(tick, 0x54, someBytes(5, 60));
          break;
        case 5:
          plan.meta(tick, 0x59,
                    {static_cast<std::uint8_t>(random_.range(-7, 7)),
                     static_cast<std::uint8_t>(random_.range(0, 1))});
          break;
        case 6:
          plan.meta(tick, 0x7F, someBytes(random_.pick({0, 3, 5, 200}), 256));
          break;
        case 7: {
          Bytes data = someBytes(random_.range(0, 12), 128);
          if (random_.chance(80)) data.push_back(0xF7);
          plan.sysex(tick, 0xF0, data);
          break;
        }
        case 8:
          plan.sysex(tick, 0xF7, someBytes(random_.range(0, 6), 256));
          break;
        case 9:
          plan.meta(tick, 0x51, tempoBytes());
          break;
        default:
          plan.meta(tick, 0x58, timeSignature());
          break;
      }
    }
  }

  Bytes timeSignature() {
    std::uint8_t numerator = static_cast<std::uint8_t>(random_.pick({2, 3, 4, 4, 5, 6, 7, 9, 12}));
    std::uint8_t exponent = static_cast<std::uint8_t>(random_.pick({1, 2, 2, 2, 3, 3, 4}));
    if (random_.chance(5)) {
      // Signatures that lay no bars, or a bar of odd size.
      numerator = static_cast<std::uint8_t>(random_.pick({0, 1, 15, 255}));
      exponent = static_cast<std::uint8_t>(random_.pick({0, 5, 7, 8, 31, 32, 200}));
    }
    return {numerator, exponent, 24, 8};
  }

  Bytes tempoBytes() {
    std::uint32_t micros =
        random_.chance(3) ? 0 : static_cast<std::uint32_t>(random_.range(1, 0xFFFFFF));
    if (random_.chance(50)) micros = random_.pick<std::uint32_t>({500000, 600000, 428571, 1000000});
    return {static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
            static_cast<std::uint8_t>(micros)};
  }

  void noteOff(TrackPlan& plan, std::uint64_t tick, int channel, int key, int rank = 0) {
    if (random_.chance(40)) {
      plan.channel(tick, 0x90 | channel, key, 0, rank);
    } else {
      plan.channel(tick, 0x80 | channel, key, random_.chance(70) ? 64 : random_.range(0, 127),
                   rank);
    }
  }

  // A note from `start` for `length` ticks; without a Note Off now and then.
  void note(TrackPlan& plan, int channel, std::uint64_t start, std::uint64_t length, int key,
            int offRank = 0) {
    plan.channel(start, 0x90 | channel, key, someVelocity());
    if (random_.chance(3)) return;  // left sounding to the end of the track
    noteOff(plan, start + length, channel, key, offRank);
  }

  // The notes and messages of one channel.
  void channelPart(TrackPlan& plan, int channel) {
    const int phrases = random_.range(2, 10);
    for (int p = 0; p < phrases; ++p) {
      const std::uint64_t start = someTick();
      switch (random_.below(13)) {
        case 0:
        case 1: {  // a melody, legato at one tick (either order) or with rests
          std::uint64_t t = start;
          const int notes = random_.range(2, 8);
          for (int n = 0; n < notes; ++n) {
            const std::uint64_t length = std::max<std::uint64_t>(1, someLength());
            const int offRank = random_.chance(50) ? -1 : 1;  // Off before or after the next On
            note(plan, channel, t, length, someKey(), offRank);
            t += length + (random_.chance(30) ? someLength() : 0);
          }
          break;
        }
        case 2: {  // a chord, ending together or not
          const std::uint64_t length = someLength();
          const int keys = random_.range(2, 4);
          const int root = random_.range(30, 90);
          for (int k = 0; k < keys; ++k) {
            note(plan, channel, start, random_.chance(70) ? length : someLength(),
                 root + 4 * k - random_.range(0, 1));
          }
          break;
        }
        case 3: {  // overlapping notes
          const std::uint64_t length = someLength() + unit_;
          note(plan, channel, start, length, someKey());
          note(plan, channel, start + random_.below(length + 1), someLength(), someKey());
          break;
        }
        case 4: {  // the same key struck again before its Note Off
          const int key = someKey();
          const std::uint64_t length = someLength() + 2;
          plan.channel(start, 0x90 | channel, key, someVelocity());
          plan.channel(start + 1 + random_.below(length - 1), 0x90 | channel, key, someVelocity());
          noteOff(plan, start + length, channel, key);
          if (random_.chance(50)) noteOff(plan, start + length + someLength(), channel, key);
          break;
        }
        case 5: {  // controllers, named and generic
          const int count = random_.range(1, 4);
          for (int i = 0; i < count; ++i) {
            const int controller = random_.chance(50)
                                       ? random_.pick({1, 5, 6, 7, 10, 11, 38, 64, 65, 91, 93, 94,
                                                       0, 32, 98, 99, 100, 101})
                                       : random_.range(0, 127);
            plan.channel(someTick(), 0xB0 | channel, controller, random_.range(0, 127));
          }
          break;
        }
        case 6:
          idiom(plan, channel, start);
          break;
        case 7:
          plan.channel(start, 0xC0 | channel, random_.range(0, 127));
          break;
        case 8: {
          const int lsb = random_.chance(20) ? random_.pick({0, 127}) : random_.range(0, 127);
          const int msb = random_.chance(20) ? random_.pick({0, 64, 127}) : random_.range(0, 127);
          plan.channel(start, 0xE0 | channel, lsb, msb);
          break;
        }
        case 9:
          if (random_.chance(50)) {
            plan.channel(start, 0xA0 | channel, someKey(), random_.range(0, 127));
          } else {
            plan.channel(start, 0xD0 | channel, random_.range(0, 127));
          }
          break;
        case 11: {  // a note over many bars, or an event after a long silence
          if (random_.chance(50)) {
            note(plan, channel, start,
                 (random_.below(12) + 2) * 4 * static_cast<std::uint64_t>(division_) +
                     random_.below(division_),
                 someKey());
          } else {
            plan.channel(start +
                             (random_.below(40) + 1) * 4 * static_cast<std::uint64_t>(division_) +
                             random_.below(division_),
                         0xC0 | channel, random_.range(0, 127));
          }
          break;
        }
        case 10: {  // a note of no length, or a long one under other events
          const int key = someKey();
          if (random_.chance(50)) {
            plan.channel(start, 0x90 | channel, key, someVelocity());
            noteOff(plan, start, channel, key, 1);
          } else {
            note(plan, channel, start, someLength() * 3 + 1, key);
          }
          break;
        }
        default:
          note(plan, channel, start, someLength(), someKey());
      }
    }
  }

  // Bank select, RPN or NRPN as three messages at one tick; sometimes broken
  // (a tick between, another channel's message between, the wrong order, or
  // the last message missing).
  void idiom(TrackPlan& plan, int channel, std::uint64_t tick) {
    const int cc = 0xB0 | channel;
    const int kind = static_cast<int>(random_.below(3));
    const int m = kind == 1 && random_.chance(70) ? 0 : random_.range(0, 127);
    const int l = kind == 1 && random_.chance(70) ? random_.range(0, 2) : random_.range(0, 127);
    const int value = random_.range(0, 127);
    const int broken = random_.chance(30) ? random_.range(1, 4) : 0;
    const int first = kind == 0 ? 0 : kind == 1 ? 101 : 99;
    const int second = kind == 0 ? 32 : kind == 1 ? 100 : 98;
    const int late = broken == 1 ? 1 : 0;
    if (broken == 3) {
      plan.channel(tick, cc, second, l);
      plan.channel(tick, cc, first, m);
    } else {
      plan.channel(tick, cc, first, m);
      if (broken == 2) plan.channel(tick, 0xB0 | ((channel + 1) & 0x0F), 7, 100);
      plan.channel(tick, cc, second, l);
    }
    if (broken == 4) return;
    if (kind == 0) {
      plan.channel(tick + late, 0xC0 | channel, value);
    } else {
      plan.channel(tick + late, cc, 6, value);
    }
  }

  Random random_;
  int division_ = 480;
  std::uint64_t unit_ = 120;
  std::uint64_t total_ = 1920;
};

}  // namespace

GeneratedSmf generateSmf(std::uint64_t seed) { return Composer(seed).compose(); }

std::vector<std::vector<std::string>> optionSetsFor(std::uint64_t seed, int division,
                                                    std::size_t count) {
  Random random(seed ^ 0x5DEECE66DULL);
  const std::uint32_t bar = 4u * static_cast<std::uint32_t>(division);
  const std::uint32_t pickups[] = {static_cast<std::uint32_t>(division),
                                   bar / 2 + 1,
                                   bar - 1,
                                   bar,
                                   bar + bar / 2,
                                   static_cast<std::uint32_t>(random.below(2 * bar) + 1)};
  auto pickup = [&] { return "/A" + std::to_string(pickups[random.below(6)]); };
  std::vector<std::vector<std::string>> pool = {
      {"/J"},
      {"/B-"},
      {"/C0"},
      {"/C-1"},
      {"/C1"},
      {"/C2", "/J"},
      {pickup()},
      {pickup(), "/J", "/C0"},
      {pickup(), "/B-"},
      {"/Mc"},
      {"/Mm"},
      {"/MA"},
      {"/Ma", "/Mb"},
      {"/Mp"},
      {"/Mx"},
      {"/Mc", "/Mp", "/J"},
      {"/Mm", pickup()},
      {"/Mc", "/C0"},
  };
  std::vector<std::vector<std::string>> sets{{}};
  while (sets.size() < count && !pool.empty()) {
    const std::size_t index = random.below(pool.size());
    sets.push_back(pool[index]);
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(index));
  }
  return sets;
}

std::vector<std::string> voiceOptionSet(std::uint64_t seed, int division) {
  Random random(seed ^ 0x70C1CE5ULL);
  const std::string pickup = "/A" + std::to_string(random.below(8u * static_cast<std::uint32_t>(division)) + 1);
  const std::string step = "--velocity-step=" + std::to_string(random.below(32) + 2);
  switch (random.below(4)) {
    case 0: return {"--voices"};
    case 1: return {"--voices", "/J", step};
    case 2: return {step, "/C0"};
    default: return {"--voices", pickup, "/Mc"};
  }
}

}  // namespace vantrel::roundtrip

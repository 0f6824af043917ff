// make_bench_smf: writes the Standard MIDI Files that the benchmark converts.
//
// Every file comes from a fixed seed through a generator of our own (not the
// standard distributions, whose results differ between libraries), so the same
// command gives the same bytes on every machine. Four profiles stress
// different parts of a converter:
//   dense    16 channels of chords (4 to 8 notes) with running status, some
//            controllers and program changes; about 6 bytes per note.
//   sustain  every channel holds long notes (each a quarter of the track long,
//            a new one every 256 short notes) while short notes and
//            controllers of the same channel pass under them: the more notes
//            the file has, the more long notes sound at once.
//   tracks   many small tracks (one per 100 notes), one channel each.
//   meta     texts, SysEx, tempo, key and time signatures, sequencer data,
//            with a small channel track beside them.
// The size counts notes, except for meta, where it counts system events.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/roundtrip/random.h"
#include "tools/smf_writer/smf_writer.h"

namespace {

constexpr std::uint16_t kDivision = 480;

using vantrel::roundtrip::Random;

// A track as the profiles plan it: events at absolute ticks, written sorted
// with running status by the shared SMF writer.
class TrackBuilder : public vantrel::smf_writer::TimedTrack {
 public:
  // Note Offs are written as Note Ons of velocity 0, so that a run of notes
  // keeps one running status.
  void note(std::uint64_t tick, std::uint64_t length, std::uint8_t ch, std::uint8_t key,
            std::uint8_t velocity) {
    channel(tick, 0x90 | ch, key, velocity);
    channel(tick + length, 0x90 | ch, key, 0);
  }
};

using Tracks = std::vector<TrackBuilder>;

// The conductor track of a format 1 file: name, 4/4, a tempo.
TrackBuilder conductor(std::string_view name) {
  TrackBuilder t;
  t.meta(0, 0x03, name);
  t.meta(0, 0x58, std::vector<std::uint8_t>{4, 2, 24, 8});
  t.meta(0, 0x51, std::vector<std::uint8_t>{0x07, 0xA1, 0x20});  // 120 per minute
  return t;
}

// Spreads `total` over `parts` as evenly as whole numbers allow.
std::uint64_t share(std::uint64_t total, std::uint64_t parts, std::uint64_t index) {
  return total / parts + (index < total % parts ? 1 : 0);
}

// A controller, pitch bend or program change of the kind music carries.
void someControl(TrackBuilder& t, Random& r, std::uint64_t tick, std::uint8_t ch) {
  switch (r.below(6)) {
    case 0: t.channel(tick, 0xB0 | ch, 1, static_cast<std::uint8_t>(r.below(128))); break;
    case 1: t.channel(tick, 0xB0 | ch, 11, static_cast<std::uint8_t>(r.range(40, 127))); break;
    case 2: t.channel(tick, 0xB0 | ch, 64, r.below(2) ? 127 : 0); break;
    case 3: t.channel(tick, 0xB0 | ch, 7, static_cast<std::uint8_t>(r.range(60, 127))); break;
    case 4: {
      std::uint32_t bend = r.below(16384);
      t.channel(tick, 0xE0 | ch, bend & 0x7F, static_cast<std::uint8_t>(bend >> 7));
      break;
    }
    default: t.channel(tick, 0xC0 | ch, static_cast<std::uint8_t>(r.below(128))); break;
  }
}

// Program, volume and pan at the start of a channel's track.
void channelSetup(TrackBuilder& t, Random& r, std::uint8_t ch, std::string_view name) {
  t.meta(0, 0x03, name);
  t.channel(0, 0xC0 | ch, static_cast<std::uint8_t>(r.below(128)));
  t.channel(0, 0xB0 | ch, 7, 100);
  t.channel(0, 0xB0 | ch, 10, static_cast<std::uint8_t>(r.below(128)));
}

Tracks dense(std::uint64_t notes, Random& r) {
  Tracks tracks{conductor("dense")};
  constexpr std::uint64_t kLengths[] = {120, 240, 240, 480, 480, 960};
  for (std::uint8_t ch = 0; ch < 16; ++ch) {
    TrackBuilder t;
    channelSetup(t, r, ch, "part " + std::to_string(ch + 1));
    std::uint64_t left = share(notes, 16, ch);
    std::uint64_t tick = 0;
    std::uint32_t chords = 0;
    const std::uint32_t centre = r.range(40, 76);
    while (left > 0) {
      auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(r.range(4, 8), left));
      std::uint64_t length = kLengths[r.below(6)];
      // Distinct keys around the channel's register.
      std::vector<std::uint8_t> keys;
      while (keys.size() < size) {
        auto key = static_cast<std::uint8_t>(centre + r.below(24));
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
      }
      for (std::uint8_t key : keys) {
        t.channel(tick, 0x90 | ch, key, static_cast<std::uint8_t>(r.range(40, 127)));
      }
      for (std::uint8_t key : keys) t.channel(tick + length, 0x90 | ch, key, 0);
      tick += length + (r.below(8) == 0 ? 240 : 0);
      left -= size;
      if (++chords % 24 == 0) someControl(t, r, tick, ch);
    }
    tracks.push_back(std::move(t));
  }
  return tracks;
}

Tracks sustain(std::uint64_t notes, Random& r) {
  Tracks tracks{conductor("sustain")};
  constexpr std::uint64_t kEvery = 256;  // short notes between two long notes
  constexpr std::uint64_t kShort = 60;   // ticks of a short note
  for (std::uint8_t ch = 0; ch < 16; ++ch) {
    TrackBuilder t;
    channelSetup(t, r, ch, "held " + std::to_string(ch + 1));
    std::uint64_t total = share(notes, 16, ch);
    // Of every kEvery + 1 notes one is long.
    std::uint64_t longNotes = total / (kEvery + 1);
    std::uint64_t shortNotes = total - longNotes;
    std::uint64_t hold = std::max<std::uint64_t>(kEvery, shortNotes / 4) * kShort;
    // Long notes take keys outside the short notes' range, in turn, so that
    // no two sounding long notes share a key while fewer than 92 sound.
    std::vector<std::uint8_t> longKeys;
    for (int k = 0; k < 48; ++k) longKeys.push_back(static_cast<std::uint8_t>(k));
    for (int k = 84; k < 128; ++k) longKeys.push_back(static_cast<std::uint8_t>(k));
    std::uint64_t tick = 0;
    std::uint64_t started = 0;
    for (std::uint64_t i = 0; i < shortNotes; ++i) {
      if (i % kEvery == 0 && started < longNotes) {
        t.note(tick, hold, ch, longKeys[started % longKeys.size()],
               static_cast<std::uint8_t>(r.range(50, 110)));
        ++started;
      }
      // One draw per statement: the order of evaluation of arguments is
      // not fixed, and the files must not depend on the compiler.
      auto key = static_cast<std::uint8_t>(r.range(48, 83));
      t.note(tick, kShort, ch, key, static_cast<std::uint8_t>(r.range(40, 127)));
      if (r.below(8) == 0) someControl(t, r, tick + kShort / 2, ch);
      tick += kShort;
    }
    for (; started < longNotes; ++started) {
      t.note(tick, hold, ch, longKeys[started % longKeys.size()], 80);
    }
    tracks.push_back(std::move(t));
  }
  return tracks;
}

Tracks manyTracks(std::uint64_t notes, Random& r) {
  constexpr std::uint64_t kNotesPerTrack = 100;
  std::uint64_t count = std::max<std::uint64_t>(1, notes / kNotesPerTrack);
  count = std::min<std::uint64_t>(count, 65534);  // the header holds 16 bits
  Tracks tracks{conductor("tracks")};
  for (std::uint64_t i = 0; i < count; ++i) {
    TrackBuilder t;
    auto ch = static_cast<std::uint8_t>(i % 16);
    channelSetup(t, r, ch, "voice " + std::to_string(i + 1));
    std::uint64_t left = share(notes, count, i);
    std::uint64_t tick = r.below(4) * 480;
    while (left > 0) {
      // Mostly single notes, now and then a chord of two or three.
      std::uint32_t size = r.below(5) == 0 ? r.range(2, 3) : 1;
      size = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, left));
      std::uint64_t length = 120 * r.range(1, 4);
      std::uint32_t base = r.range(48, 80);
      for (std::uint32_t k = 0; k < size; ++k) {
        t.note(tick, length, ch, static_cast<std::uint8_t>(base + 4 * k),
               static_cast<std::uint8_t>(r.range(40, 127)));
      }
      tick += length;
      left -= size;
      if (r.below(16) == 0) someControl(t, r, tick, ch);
    }
    tracks.push_back(std::move(t));
  }
  return tracks;
}

std::string printable(Random& r, std::uint32_t length) {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,!?-";
  std::string text;
  for (std::uint32_t i = 0; i < length; ++i) text += kLetters[r.below(kLetters.size())];
  return text;
}

Tracks metaHeavy(std::uint64_t events, Random& r) {
  TrackBuilder system;
  system.meta(0, 0x03, "meta");
  system.meta(0, 0x02, "(c) benchmark");
  system.meta(0, 0x54, std::vector<std::uint8_t>{0x60, 0, 3, 0, 0});
  std::uint64_t tick = 0;
  for (std::uint64_t i = 0; i < events; ++i) {
    tick += r.below(3) == 0 ? 0 : 30 * r.range(1, 8);
    if (i % 4000 == 3999) {
      // Now and then a new bar: 2/4 to 7/4 or 3/8 to 7/8.
      std::uint8_t exponent = r.below(2) ? 2 : 3;
      system.meta(tick, 0x58, std::vector<std::uint8_t>{
          static_cast<std::uint8_t>(r.range(2, 7)), exponent, 24, 8});
      continue;
    }
    std::uint32_t kind = r.below(20);
    if (kind < 6) {
      static constexpr std::uint8_t kTextTypes[] = {0x01, 0x05, 0x05, 0x06, 0x07, 0x04};
      std::uint8_t type = kTextTypes[r.below(6)];
      system.meta(tick, type, printable(r, r.range(1, 40)));
    } else if (kind < 11) {
      std::uint32_t micros = r.range(300000, 1200000);
      system.meta(tick, 0x51, std::vector<std::uint8_t>{static_cast<std::uint8_t>(micros >> 16),
                                                        static_cast<std::uint8_t>(micros >> 8),
                                                        static_cast<std::uint8_t>(micros)});
    } else if (kind < 16) {
      // A SysEx with its F7: manufacturer, device, data, checksum-like byte.
      std::vector<std::uint8_t> body{0x41, 0x10, 0x42, 0x12};
      std::uint32_t n = r.range(2, 20);
      for (std::uint32_t k = 0; k < n; ++k) body.push_back(static_cast<std::uint8_t>(r.below(128)));
      body.push_back(0xF7);
      system.sysex(tick, 0xF0, body);
    } else if (kind == 16) {
      system.sysex(tick, 0xF7, {0xF0, 0x7E, 0xF7});
    } else if (kind == 17) {
      system.meta(tick, 0x59, std::vector<std::uint8_t>{
          static_cast<std::uint8_t>(static_cast<std::int8_t>(r.range(0, 14)) - 7),
          static_cast<std::uint8_t>(r.below(2))});
    } else if (kind == 18) {
      std::vector<std::uint8_t> data{0x43, 0x7B};
      std::uint32_t n = r.range(0, 12);
      for (std::uint32_t k = 0; k < n; ++k) data.push_back(static_cast<std::uint8_t>(r.below(256)));
      system.meta(tick, 0x7F, std::move(data));
    } else {
      std::uint8_t type = r.below(2) ? 0x21 : 0x20;
      system.meta(tick, type, std::vector<std::uint8_t>{static_cast<std::uint8_t>(r.below(16))});
    }
  }
  // A plain melody beside it, one note for every ten system events.
  TrackBuilder melody;
  channelSetup(melody, r, 0, "melody");
  std::uint64_t end = std::max<std::uint64_t>(tick, 1);
  std::uint64_t notes = std::max<std::uint64_t>(1, events / 10);
  for (std::uint64_t i = 0; i < notes; ++i) {
    std::uint64_t at = end * i / notes;
    std::uint64_t length = std::max<std::uint64_t>(1, end / notes);
    auto key = static_cast<std::uint8_t>(r.range(55, 79));
    melody.note(at, length, 0, key, static_cast<std::uint8_t>(r.range(60, 110)));
  }
  Tracks tracks;
  tracks.push_back(std::move(system));
  tracks.push_back(std::move(melody));
  return tracks;
}

bool writeFile(const std::string& path, Tracks& tracks) {
  std::vector<std::vector<std::uint8_t>> events;
  // Each track ends at its last event.
  for (TrackBuilder& t : tracks) events.push_back(t.events(true, t.lastTick()));
  const std::vector<std::uint8_t> out = vantrel::smf_writer::smfFile(1, kDivision, events);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::perror(path.c_str());
  return ok;
}

bool makeOne(const std::string& profile, std::uint64_t size, const std::string& path,
             std::uint64_t seed) {
  // Each profile and size draws from its own stream of the seed.
  std::uint64_t stream = 0xCBF29CE484222325ULL;  // FNV-1a of the name, then the size
  for (char c : profile) stream = (stream ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ULL;
  Random r(seed ^ stream ^ (size * 0x9E3779B97F4A7C15ULL));
  Tracks tracks;
  if (profile == "dense") {
    tracks = dense(size, r);
  } else if (profile == "sustain") {
    tracks = sustain(size, r);
  } else if (profile == "tracks") {
    tracks = manyTracks(size, r);
  } else if (profile == "meta") {
    tracks = metaHeavy(size, r);
  } else {
    std::fprintf(stderr, "unknown profile: %s\n", profile.c_str());
    return false;
  }
  return writeFile(path, tracks);
}

std::string sizeName(std::uint64_t size) {
  if (size % 1000000 == 0) return std::to_string(size / 1000000) + "M";
  if (size % 1000 == 0) return std::to_string(size / 1000) + "k";
  return std::to_string(size);
}

int usage() {
  std::fputs(
      "usage: make_bench_smf [DIR]\n"
      "         writes the standard set (dense, sustain, tracks, meta at 10k,\n"
      "         100k and 1M) into DIR (default /tmp/vantrel-bench)\n"
      "       make_bench_smf PROFILE SIZE FILE [SEED]\n"
      "         writes one file; PROFILE is dense, sustain, tracks or meta\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr std::uint64_t kSeed = 20240501;
  if (argc == 4 || argc == 5) {
    std::uint64_t size = std::strtoull(argv[2], nullptr, 10);
    std::uint64_t seed = argc == 5 ? std::strtoull(argv[4], nullptr, 10) : kSeed;
    if (size == 0) return usage();
    return makeOne(argv[1], size, argv[3], seed) ? 0 : 1;
  }
  if (argc > 2) return usage();
  std::string dir = argc == 2 ? argv[1] : "/tmp/vantrel-bench";
  if (dir == "-h" || dir == "--help") return usage();
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  for (const char* profile : {"dense", "sustain", "tracks", "meta"}) {
    for (std::uint64_t size : {10000ULL, 100000ULL, 1000000ULL}) {
      std::string path = dir + "/" + profile + "-" + sizeName(size) + ".mid";
      if (!makeOne(profile, size, path, kSeed)) return 1;
      std::printf("%s\n", path.c_str());
    }
  }
  return 0;
}

// The one writer of Standard MIDI File bytes for everything around the
// program: the tests, the round-trip checker's generator, the benchmark
// files and the fuzz seeds. It writes exactly the bytes it is asked for,
// malformed ones too, and shares nothing with the program's reading, so that
// the two can be checked against each other.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::smf_writer {

using Bytes = std::vector<std::uint8_t>;

// A variable-length quantity: groups of 7 bits, the most significant first.
void appendVarLen(Bytes& out, std::uint32_t value);
Bytes varLen(std::uint32_t value);
void appendBigEndian(Bytes& out, std::uint32_t value, int width);

// The 14 bytes of a header chunk, every field as given.
Bytes headerChunk(std::uint32_t format, std::uint32_t tracks, std::uint32_t division,
                  std::uint32_t length = 6, std::string_view magic = "MThd");

// A track chunk holding `events`, its length field theirs unless one is given.
Bytes trackChunk(std::span<const std::uint8_t> events, std::optional<std::uint32_t> length = {},
                 std::string_view magic = "MTrk");

// A whole file: the header chunk, then a track chunk for each of `tracks`
// (their event bytes).
Bytes smfFile(int format, int division, const std::vector<Bytes>& tracks);

// A RIFF chunk: four-byte id, little-endian size (the data's unless one is
// given), the data, and a pad byte when the data are odd; and a RIFF form of
// `type` holding `chunks`. An SMF in a RIFF MIDI file (.rmi) is the data of
// a "data" chunk in a form of type "RMID".
Bytes riffChunk(std::string_view id, const Bytes& data, std::optional<std::uint32_t> size = {});
Bytes riffForm(std::string_view type, const std::vector<Bytes>& chunks);

// The events of a track one after the other, each after a delta time: the
// form in which a test spells a track out. Channels are 1 to 16 as musicians
// count them.
class Track {
 public:
  Track& on(std::uint32_t delta, int channel, int key, int velocity = 100);
  Track& off(std::uint32_t delta, int channel, int key, int velocity = 64);
  Track& cc(std::uint32_t delta, int channel, int controller, int value);
  Track& program(std::uint32_t delta, int channel, int number);
  Track& bend(std::uint32_t delta, int channel, int lsb, int msb);
  // A channel message or data bytes exactly as given (running status too).
  Track& raw(std::uint32_t delta, std::initializer_list<int> bytes);
  Track& meta(std::uint32_t delta, int type, const Bytes& data);
  Track& text(std::uint32_t delta, int type, const std::string& text);
  Track& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter);
  Track& timeSignature(std::uint32_t delta, int numerator, int exponent);
  Track& keySignature(std::uint32_t delta, int sharps, int minor);
  Track& sysex(std::uint32_t delta, int status, const Bytes& data);
  Track& end(std::uint32_t delta = 0);
  // Bytes appended with no delta time before them.
  Track& bytes(const Bytes& data);

  const Bytes& data() const { return data_; }

 private:
  Track& delta(std::uint32_t ticks);
  Bytes data_;
};

// A whole file of `tracks`.
Bytes makeSmf(int format, int division, const std::vector<Track>& tracks);

// The events of a track at absolute ticks, added in any order: the form in
// which generators plan a track. They are written sorted by tick, then by
// rank (lower first), then in the order they were added.
class TimedTrack {
 public:
  // `bytes` are the event's from its status byte on.
  void add(std::uint64_t tick, Bytes bytes, int rank = 0);
  // A channel message of one data byte when `data2` is negative.
  void channel(std::uint64_t tick, int status, int data1, int data2 = -1, int rank = 0);
  void meta(std::uint64_t tick, int type, const Bytes& data);
  void meta(std::uint64_t tick, int type, std::string_view text);
  void sysex(std::uint64_t tick, int status, const Bytes& data);

  std::uint64_t lastTick() const;
  std::size_t size() const { return events_.size(); }

  // The track's event bytes, ended by an end-of-track event at `endTick`
  // (not before the last event). With `runningStatus` a channel message
  // leaves out a status byte equal to the one before; SysEx and meta events
  // cancel the running status, as the SMF rules have it.
  Bytes events(bool runningStatus, std::uint64_t endTick);

 private:
  struct Event {
    std::uint64_t tick;
    int rank;
    Bytes bytes;
  };
  std::vector<Event> events_;
};

}  // namespace vantrel::smf_writer

#include "tools/smf_writer/smf_writer.h"

#include <algorithm>

namespace vantrel::smf_writer {

void appendVarLen(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  for (int i = n - 1; i >= 0; --i) out.push_back(i > 0 ? groups[i] | 0x80 : groups[i]);
}

Bytes varLen(std::uint32_t value) {
  Bytes out;
  appendVarLen(out, value);
  return out;
}

void appendBigEndian(Bytes& out, std::uint32_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

Bytes headerChunk(std::uint32_t format, std::uint32_t tracks, std::uint32_t division,
                  std::uint32_t length, std::string_view magic) {
  Bytes out(magic.begin(), magic.end());
  appendBigEndian(out, length, 4);
  appendBigEndian(out, format, 2);
  appendBigEndian(out, tracks, 2);
  appendBigEndian(out, division, 2);
  return out;
}

Bytes trackChunk(std::span<const std::uint8_t> events, std::optional<std::uint32_t> length,
                 std::string_view magic) {
  Bytes out(magic.begin(), magic.end());
  appendBigEndian(out, length.value_or(static_cast<std::uint32_t>(events.size())), 4);
  out.insert(out.end(), events.begin(), events.end());
  return out;
}

Bytes smfFile(int format, int division, const std::vector<Bytes>& tracks) {
  Bytes out = headerChunk(static_cast<std::uint32_t>(format),
                          static_cast<std::uint32_t>(tracks.size()),
                          static_cast<std::uint32_t>(division));
  for (const Bytes& events : tracks) {
    const Bytes chunk = trackChunk(events);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

Bytes riffChunk(std::string_view id, const Bytes& data, std::optional<std::uint32_t> size) {
  Bytes out(id.begin(), id.end());
  const std::uint32_t length = size.value_or(static_cast<std::uint32_t>(data.size()));
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>(length >> shift));
  }
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}

Bytes riffForm(std::string_view type, const std::vector<Bytes>& chunks) {
  Bytes body(type.begin(), type.end());
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return riffChunk("RIFF", body);
}

Track& Track::delta(std::uint32_t ticks) {
  appendVarLen(data_, ticks);
  return *this;
}

Track& Track::raw(std::uint32_t d, std::initializer_list<int> bytes) {
  delta(d);
  for (int b : bytes) data_.push_back(static_cast<std::uint8_t>(b));
  return *this;
}

Track& Track::on(std::uint32_t d, int channel, int key, int velocity) {
  return raw(d, {0x90 | (channel - 1), key, velocity});
}

Track& Track::off(std::uint32_t d, int channel, int key, int velocity) {
  return raw(d, {0x80 | (channel - 1), key, velocity});
}

Track& Track::cc(std::uint32_t d, int channel, int controller, int value) {
  return raw(d, {0xB0 | (channel - 1), controller, value});
}

Track& Track::program(std::uint32_t d, int channel, int number) {
  return raw(d, {0xC0 | (channel - 1), number});
}

Track& Track::bend(std::uint32_t d, int channel, int lsb, int msb) {
  return raw(d, {0xE0 | (channel - 1), lsb, msb});
}

Track& Track::meta(std::uint32_t d, int type, const Bytes& payload) {
  raw(d, {0xFF, type});
  appendVarLen(data_, static_cast<std::uint32_t>(payload.size()));
  return bytes(payload);
}

Track& Track::text(std::uint32_t d, int type, const std::string& s) {
  return meta(d, type, Bytes(s.begin(), s.end()));
}

Track& Track::tempo(std::uint32_t d, std::uint32_t micros) {
  return meta(d, 0x51, {static_cast<std::uint8_t>(micros >> 16),
                        static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)});
}

Track& Track::timeSignature(std::uint32_t d, int numerator, int exponent) {
  return meta(d, 0x58, {static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(exponent),
                        24, 8});
}

Track& Track::keySignature(std::uint32_t d, int sharps, int minor) {
  return meta(d, 0x59, {static_cast<std::uint8_t>(sharps), static_cast<std::uint8_t>(minor)});
}

Track& Track::sysex(std::uint32_t d, int status, const Bytes& payload) {
  raw(d, {status});
  appendVarLen(data_, static_cast<std::uint32_t>(payload.size()));
  return bytes(payload);
}

Track& Track::end(std::uint32_t d) { return meta(d, 0x2F, {}); }

Track& Track::bytes(const Bytes& more) {
  data_.insert(data_.end(), more.begin(), more.end());
  return *this;
}

Bytes makeSmf(int format, int division, const std::vector<Track>& tracks) {
  std::vector<Bytes> events;
  events.reserve(tracks.size());
  for (const Track& t : tracks) events.push_back(t.data());
  return smfFile(format, division, events);
}

void TimedTrack::add(std::uint64_t tick, Bytes bytes, int rank) {
  events_.push_back({tick, rank, std::move(bytes)});
}

void TimedTrack::channel(std::uint64_t tick, int status, int data1, int data2, int rank) {
  Bytes b{static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1)};
  if (data2 >= 0) b.push_back(static_cast<std::uint8_t>(data2));
  add(tick, std::move(b), rank);
}

void TimedTrack::meta(std::uint64_t tick, int type, const Bytes& data) {
  Bytes b{0xFF, static_cast<std::uint8_t>(type)};
  appendVarLen(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  add(tick, std::move(b));
}

void TimedTrack::meta(std::uint64_t tick, int type, std::string_view text) {
  meta(tick, type, Bytes(text.begin(), text.end()));
}

void TimedTrack::sysex(std::uint64_t tick, int status, const Bytes& data) {
  Bytes b{static_cast<std::uint8_t>(status)};
  appendVarLen(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  add(tick, std::move(b));
}

std::uint64_t TimedTrack::lastTick() const {
  std::uint64_t last = 0;
  for (const Event& e : events_) last = std::max(last, e.tick);
  return last;
}

Bytes TimedTrack::events(bool runningStatus, std::uint64_t endTick) {
  // Stable: events of one tick and rank stay in the order they were added.
  std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank;
  });
  Bytes out;
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  for (const Event& e : events_) {
    appendVarLen(out, static_cast<std::uint32_t>(e.tick - tick));
    tick = e.tick;
    const std::uint8_t status = e.bytes[0];
    const bool omit = runningStatus && status < 0xF0 && status == running;
    out.insert(out.end(), e.bytes.begin() + (omit ? 1 : 0), e.bytes.end());
    running = status < 0xF0 ? status : 0;
  }
  appendVarLen(out, static_cast<std::uint32_t>(endTick - tick));
  out.insert(out.end(), {0xFF, 0x2F, 0x00});
  return out;
}

}  // namespace vantrel::smf_writer

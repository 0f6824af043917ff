// Tracks converted on several threads: the same bytes as on one, for every
// kind of file; a fault in a later track leaves exactly the text before it;
// and an output that refuses a write stops both at the same byte with the
// same fault. The batches handed to threads are made small here, so that
// files of some thousands of events are shared out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mml/convert.h"
#include "mml/text_writer.h"
#include "tests/conversion.h"
#include "tools/roundtrip/smf_generator.h"

namespace vantrel::test {
namespace {

// The file as format 1 with each of its track chunks `copies` times over.
Bytes widened(const Bytes& smf, int copies) {
  Bytes tracks(smf.begin() + 14, smf.end());
  const int count = (smf[10] << 8 | smf[11]) * copies;
  Bytes out(smf.begin(), smf.begin() + 14);
  out[9] = 1;
  out[10] = static_cast<std::uint8_t>(count >> 8);
  out[11] = static_cast<std::uint8_t>(count);
  for (int i = 0; i < copies; ++i) out.insert(out.end(), tracks.begin(), tracks.end());
  return out;
}

// The file with the length fields of its track chunks made wrong: long
// enough to pass over the next chunk to the one after, and near the end too
// long and 0. The tracks are found by their end-of-track events, never by
// these lengths.
Bytes withLyingLengths(Bytes smf) {
  auto lengthAt = [&](std::size_t at) {
    return std::uint32_t{smf[at + 4]} << 24 | smf[at + 5] << 16 | smf[at + 6] << 8 | smf[at + 7];
  };
  std::vector<std::size_t> chunks;
  for (std::size_t at = 14; at + 8 <= smf.size(); at += 8 + lengthAt(at)) chunks.push_back(at);
  for (std::size_t t = 0; t + 1 < chunks.size(); ++t) {
    const std::uint32_t length = lengthAt(chunks[t]);
    const std::size_t fromEnd = chunks.size() - t;
    const std::uint32_t lie = fromEnd == 2   ? 0
                              : fromEnd == 4 ? length + 7
                              : t % 4 == 0   ? length + 8 + lengthAt(chunks[t + 1])
                                             : length;
    for (int i = 0; i < 4; ++i) {
      smf[chunks[t] + 4 + i] = static_cast<std::uint8_t>(lie >> (24 - 8 * i));
    }
  }
  return smf;
}

// `count` tracks of `notes` notes each; with `faultyTrack` that track begins
// with an event that no file may hold.
std::vector<Track> noteTracks(int count, int notes, int faultyTrack = -1) {
  std::vector<Track> list;
  for (int t = 0; t < count; ++t) {
    Track track;
    if (t == faultyTrack) track.raw(0, {0xF4});
    for (int i = 0; i < notes; ++i) {
      const int key = 48 + (i + t) % 24;
      track.on(0, t % 16 + 1, key, 40 + (i * 7 + t) % 80).off(120 + 60 * (i % 3), t % 16 + 1, key);
    }
    list.push_back(track.end());
  }
  return list;
}

// Five tracks of 2,000 events, each with SysEx data that make some 600 KiB
// of text.
std::vector<Track> longTexts() {
  std::vector<Track> tracks = noteTracks(5, 1000);
  for (Track& track : tracks) {
    Track withData;
    for (int i = 0; i < 40; ++i) withData.sysex(0, 0xF0, Bytes(4000, static_cast<std::uint8_t>(i)));
    track = withData.bytes(track.data());
  }
  return tracks;
}

TEST(Threads, SameBytesAsOneThread) {
  // Tracks that each hold a time signature of their own, so that the bar
  // structure shows every track's walk.
  std::vector<Track> ownSignatures;
  for (int t = 0; t < 60; ++t) {
    Track track;
    track.timeSignature(static_cast<std::uint32_t>(1920 * t), 2 + t % 5, 2);
    for (int i = 0; i < 40; ++i) {
      track.on(i == 0 ? 0 : 10, t % 16 + 1, 60 + i % 7).off(100, t % 16 + 1, 60 + i % 7);
    }
    ownSignatures.push_back(track.end());
  }
  std::vector<std::pair<std::string, Bytes>> files = {
      {"demo", widened(demoSmf(), 100)},
      {"signatures in every track, lying chunk lengths",
       withLyingLengths(makeSmf(1, 480, ownSignatures))},
      // Tracks whose text is longer than a worker may keep waiting: it
      // waits while the text before is written.
      {"long texts", makeSmf(1, 480, longTexts())}};
  for (std::uint64_t seed = 1; seed <= 16; ++seed) {
    const roundtrip::GeneratedSmf generated = roundtrip::generateSmf(seed);
    const int copies = static_cast<int>(20000 / generated.eventCount) + 1;
    if (generated.trackCount * copies > 65535) continue;
    files.emplace_back("seed " + std::to_string(seed), widened(generated.bytes, copies));
  }
  for (const auto& [name, bytes] : files) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"/J", "/C1", "/A240"}, {"/B-", "/Mc"},
          {"--voices", "--velocity-step=8", "/Q"}}) {
      SCOPED_TRACE(name + (options.empty() ? "" : " " + options[0]));
      const Settings settings = settingsFor(options);
      const Conversion one = convertWith(bytes, settings);
      for (int threads : {2, 5}) {
        EXPECT_TRUE(convertWith(bytes, settings, {threads, 1000}) == one) << threads << " threads";
      }
    }
  }
}

TEST(Threads, AFaultInALaterTrackKeepsExactlyTheTextBeforeIt) {
  // Twelve tracks of 2,000 events, a batch each.
  const std::string whole = convertBytes(makeSmf(1, 480, noteTracks(12, 1000))).mml;
  const std::string trackHead = "//--------------------------------------\r\n//MTrk";
  std::string::size_type at = 0;
  for (int t = 0; t <= 7; ++t) at = whole.find(trackHead, at + 1);
  ASSERT_NE(at, std::string::npos);
  const std::string before = whole.substr(0, at);

  const std::vector<Track> faultyTracks = noteTracks(12, 1000, 7);
  const Bytes faulty = makeSmf(1, 480, faultyTracks);
  const std::string size = std::to_string(faultyTracks[7].data().size());
  const std::string blockHead =
      trackHead + " Infomation :\r\n//\tSize = " + size + "\r\n\r\nTR(7);\r\n";
  for (int threads : {1, 2, 3, 12}) {
    SCOPED_TRACE(threads);
    const Conversion result = convertWith(faulty, Settings(), {threads, 2000});
    EXPECT_EQ(result.fault, Fault{FaultKind::kInvalidMidiEvent});
    ASSERT_EQ(result.mml.substr(0, before.size()), before);
    EXPECT_EQ(result.mml.substr(before.size()), blockHead + "\r\nTime(1:1:0);\r\n\t");
  }
}

// An output that takes `room` bytes in whole writes and refuses the rest:
// one thread and four stop at the same byte, a block boundary, with the
// same fault, whether or not the data have a fault after it.
TEST(Threads, ARefusingOutputStopsAtTheSameByteOnAnyThreads) {
  constexpr std::size_t kBlock = TextWriter::kBlock;
  for (int faultyTrack : {-1, 10}) {
    const Bytes smf = makeSmf(1, 480, noteTracks(12, 4000, faultyTrack));
    const Conversion full = convertBytes(smf);
    ASSERT_GT(full.mml.size(), 4 * kBlock + 1);
    for (std::size_t room : {std::size_t{0}, kBlock - 1, kBlock, 2 * kBlock + 1, 4 * kBlock,
                             full.mml.size() - 1, full.mml.size()}) {
      SCOPED_TRACE(testing::Message() << "fault in track " << faultyTrack << ", room " << room);
      std::vector<std::string> texts;
      for (int threads : {1, 4}) {
        RefusingSink mml(room);
        StringSink console;
        const Fault fault = convert(smf, Settings(), mml, console, {threads, 500});
        EXPECT_EQ(fault, full.fault);
        EXPECT_EQ(mml.refused, room < full.mml.size());
        texts.push_back(mml.text);
      }
      const std::size_t taken = room < full.mml.size() ? room / kBlock * kBlock : room;
      EXPECT_TRUE(texts[0] == full.mml.substr(0, taken));
      EXPECT_TRUE(texts[1] == texts[0]);
    }
  }
}

}  // namespace
}  // namespace vantrel::test

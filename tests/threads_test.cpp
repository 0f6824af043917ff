// Tracks converted on several threads: the same bytes as on one, for every
// kind of file, and a fault in a later track leaves exactly the text before
// it, whatever the other threads had converted by then. The batches handed
// to threads are made small here, so that files of some thousands of events
// are shared out.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "mml/track_text.h"
#include "tests/smf_builder.h"
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

Bytes example() {
  std::ifstream in(std::filesystem::path(VANTREL_SOURCE_DIR) / "examples" / "demo.mid",
                   std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
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
      {"demo", widened(example(), 100)},
      {"signatures in every track, lying chunk lengths", withLyingLengths(makeSmf(1, 480, ownSignatures))}};
  for (std::uint64_t seed = 1; seed <= 16; ++seed) {
    const roundtrip::GeneratedSmf generated = roundtrip::generateSmf(seed);
    const int copies = static_cast<int>(20000 / generated.eventCount) + 1;
    if (generated.trackCount * copies > 65535) continue;
    files.emplace_back("seed " + std::to_string(seed), widened(generated.bytes, copies));
  }
  for (const auto& [name, bytes] : files) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"/J", "/C1", "/A240"}, {"/B-", "/Mc"}}) {
      SCOPED_TRACE(name + (options.empty() ? "" : " " + options[0]));
      Settings settings = settingsFor(options);
      settings.batchEvents = 1000;
      const Conversion one = convertWith(bytes, settings);
      for (int threads : {2, 5}) {
        settings.threads = threads;
        EXPECT_TRUE(convertWith(bytes, settings) == one) << threads << " threads";
      }
    }
  }
}

TEST(Threads, AFaultInALaterTrackKeepsExactlyTheTextBeforeIt) {
  // Twelve tracks of 2,000 events, a batch each; in the faulty file track 7
  // begins with an event that no file may hold.
  auto tracks = [](bool faulty) {
    std::vector<Track> list;
    for (int t = 0; t < 12; ++t) {
      Track track;
      if (faulty && t == 7) track.raw(0, {0xF4});
      for (int i = 0; i < 1000; ++i) {
        const int key = 48 + (i + t) % 24;
        track.on(0, t % 16 + 1, key).off(120, t % 16 + 1, key);
      }
      list.push_back(track.end());
    }
    return list;
  };
  const std::string whole = convert(makeSmf(1, 480, tracks(false))).mml;
  const std::string trackHead = "//--------------------------------------\r\n//MTrk";
  std::string::size_type at = 0;
  for (int t = 0; t <= 7; ++t) at = whole.find(trackHead, at + 1);
  ASSERT_NE(at, std::string::npos);
  const std::string before = whole.substr(0, at);

  const Bytes faulty = makeSmf(1, 480, tracks(true));
  const std::string blockHead =
      trackHead + " Infomation :\r\n//\tSize = " + std::to_string(tracks(true)[7].data().size()) +
      "\r\n\r\nTR(7);\r\n";
  for (int threads : {1, 2, 3, 12}) {
    SCOPED_TRACE(threads);
    Settings settings;
    settings.threads = threads;
    settings.batchEvents = 2000;
    const Conversion result = convertWith(faulty, settings);
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.mml.substr(0, before.size()), before);
    EXPECT_EQ(result.mml.substr(before.size()), blockHead + "\r\nTime(1:1:0);\r\n\t");
  }
}

TEST(Threads, ALongWriteReachesTheOutputWhole) {
  // Longer than a piece, and taken while the writer waits for room.
  std::string text(5 * kPieceSize + 123, ' ');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  PiecePool pool;
  TrackText track;
  track.pool = &pool;
  std::thread writer([&] {
    EXPECT_TRUE(track.write(text.data(), text.size()));
    track.endConversion(nullptr);
    track.close();
  });
  std::string taken;
  Piece piece;
  for (bool afterEnd; track.take(piece, afterEnd);) {
    EXPECT_FALSE(afterEnd);
    taken.append(piece.data(), piece.size());
    pool.put(piece);
  }
  writer.join();
  EXPECT_TRUE(taken == text);
}

}  // namespace
}  // namespace vantrel::test

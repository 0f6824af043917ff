// SMFs inside a RIFF MIDI form (.rmi): converted as the SMF on its own, with
// the data chunk found among others and read as far as the file holds it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/expected_texts.h"
#include "tests/run_program.h"
#include "tests/smf_builder.h"

namespace vantrel::test {
namespace {

Bytes song() {
  Track t;
  t.text(0, 0x03, "Lead").on(0, 1, 60).off(480, 1, 60, 0).on(0, 1, 64).off(960, 1, 64, 0).end();
  return makeSmf(0, 480, {t});
}

// A chunk: four-byte id, little-endian size, the data, a pad byte when odd.
Bytes chunk(const char* id, const Bytes& data, std::uint32_t size) {
  Bytes out(id, id + 4);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(size >> shift));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}
Bytes chunk(const char* id, const Bytes& data) {
  return chunk(id, data, static_cast<std::uint32_t>(data.size()));
}

Bytes form(const char* type, const std::vector<Bytes>& chunks) {
  Bytes body(type, type + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return chunk("RIFF", body);
}

Bytes cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

TEST(Riff, TheDataChunkConvertsAsTheSmfAlone) {
  const Bytes info = chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'});
  struct Case {
    const char* what;
    Bytes file;
    Bytes same;  // the SMF whose conversion it must match
  };
  const std::vector<Case> cases = {
      {"data chunk only", form("RMID", {chunk("data", song())}), song()},
      {"after an odd-sized list, with a chunk after it",
       form("RMID", {info, chunk("data", song()), chunk("DISP", {1})}), song()},
      {"the first of two data chunks", form("RMID", {chunk("data", song()), chunk("data", {1, 2})}),
       song()},
      {"cut short by the end of the file", cut(form("RMID", {chunk("data", song())}), 7),
       cut(song(), 7)},
      {"a size past the end of the file", form("RMID", {chunk("data", song(), 1u << 30)}), song()},
      {"no data chunk", form("RMID", {info}), Bytes{'R', 'I', 'F', 'F'}},
      {"a chunk header cut short before any data chunk", cut(form("RMID", {info, chunk("data", {})}), 5),
       Bytes{'R', 'I', 'F', 'F'}},
      {"another form", form("WAVE", {chunk("data", song())}), Bytes{'R', 'I', 'F', 'F'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Conversion wrapped = convert(c.file, {"/J"});
    const Conversion alone = convert(c.same, {"/J"});
    EXPECT_EQ(wrapped.status, alone.status);
    EXPECT_EQ(wrapped.error, alone.error);
    EXPECT_EQ(wrapped.listing, alone.listing);
    EXPECT_EQ(wrapped.mml, alone.mml);
  }
  EXPECT_EQ(convert(cut(song(), 7)).error, std::string(expected::kDataFault) + expected::kCutShort);
}

TEST(Riff, TheProgramReadsAnRmiFile) {
  ScratchDir dir;
  dir.write("song.rmi", form("RMID", {chunk("data", song())}));
  ProgramRun run = runVantrel({"song.rmi"}, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.read("song.mml"), convert(song()).mml);
}

}  // namespace
}  // namespace vantrel::test

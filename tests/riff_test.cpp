// SMFs inside a RIFF MIDI form (.rmi): converted as the SMF on its own, with
// the data chunk found among others and read as far as the file holds it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/conversion.h"
#include "tests/expected_texts.h"

namespace vantrel::test {
namespace {

using smf_writer::riffChunk;
using smf_writer::riffForm;

Bytes song() {
  Track t;
  t.text(0, 0x03, "Lead").on(0, 1, 60).off(480, 1, 60, 0).on(0, 1, 64).off(960, 1, 64, 0).end();
  return makeSmf(0, 480, {t});
}

Bytes cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

TEST(Riff, TheDataChunkConvertsAsTheSmfAlone) {
  const Bytes info =
      riffChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'});
  struct Case {
    const char* what;
    Bytes file;
    Bytes same;  // the SMF whose conversion it must match
  };
  const std::vector<Case> cases = {
      {"data chunk only", riffForm("RMID", {riffChunk("data", song())}), song()},
      {"after an odd-sized list, with a chunk after it",
       riffForm("RMID", {info, riffChunk("data", song()), riffChunk("DISP", {1})}), song()},
      {"the first of two data chunks",
       riffForm("RMID", {riffChunk("data", song()), riffChunk("data", {1, 2})}), song()},
      {"cut short by the end of the file", cut(riffForm("RMID", {riffChunk("data", song())}), 7),
       cut(song(), 7)},
      {"a size past the end of the file",
       riffForm("RMID", {riffChunk("data", song(), 1u << 30)}), song()},
      {"no data chunk", riffForm("RMID", {info}), Bytes{'R', 'I', 'F', 'F'}},
      {"a chunk header cut short before any data chunk",
       cut(riffForm("RMID", {info, riffChunk("data", {})}), 5), Bytes{'R', 'I', 'F', 'F'}},
      {"another form", riffForm("WAVE", {riffChunk("data", song())}), Bytes{'R', 'I', 'F', 'F'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(convertBytes(c.file, {"/J"}), convertBytes(c.same, {"/J"}));
  }
  EXPECT_EQ(convertBytes(cut(song(), 7)).error, expected::dataFault(expected::kCutShort));
}

}  // namespace
}  // namespace vantrel::test

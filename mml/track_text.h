// TrackText: the text of one track converted on a worker thread, kept in the
// pieces its writer hands over until the thread that writes the output takes
// them, in order.
//
// The worker writes; the output thread takes, waiting for each piece, and so
// passes a long track on to the sink while it is still being converted. A
// worker that gets far ahead of the output waits, so that the pieces held
// stay few. Once abandoned (the output has stopped), the text takes nothing
// more: the worker's writer sees a refused write and its converter stops.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "mml/sink.h"
#include "smf/populated_allocator.h"

namespace vantrel {

// A piece of text: what a writer hands over at a time, up to kPieceSize
// bytes, in storage that belongs to the pool it came from.
inline constexpr std::size_t kPieceSize = std::size_t{1} << 16;
struct Piece {
  char* bytes = nullptr;
  std::size_t length = 0;

  const char* data() const { return bytes; }
  std::size_t size() const { return length; }
};

// Pieces whose storage is used again: the texts of all tracks pass through a
// few buffers instead of fresh memory for each piece. The storage comes in
// blocks of many pieces, made present at once (see PopulatedAllocator).
class PiecePool {
 public:
  Piece get();
  void put(Piece piece);

 private:
  static constexpr std::size_t kBlockPieces = 32;  // 2 MiB: one huge page
  using Block = std::vector<char, PopulatedAllocator<char>>;

  std::mutex mutex_;
  std::vector<Block> blocks_;
  std::vector<char*> free_;
};

class TrackText : public Sink {
 public:
  // Where the pieces' storage comes from (set before the first write).
  PiecePool* pool = nullptr;

  // The worker's side.
  bool write(const char* bytes, std::size_t size) override;
  // The track is converted; `fault` is what its conversion returned. The
  // pieces written after this come from the writer's last flush.
  void endConversion(const char* fault);
  // Nothing more will be written.
  void close();

  // The output thread's side. Waits for the next piece; false when there is
  // none and none will come. `afterEnd` tells whether the piece was written
  // after endConversion.
  bool take(Piece& piece, bool& afterEnd);
  const char* fault();  // once take has returned false
  void abandon();

 private:
  static constexpr std::size_t kMostPieces = 16;  // held at once: 1 MiB

  std::mutex mutex_;
  std::condition_variable changed_;  // a piece taken or given, or the end
  std::deque<Piece> pieces_;
  std::size_t written_ = 0;          // pieces written so far
  std::size_t taken_ = 0;            // pieces taken so far
  std::size_t endedAt_ = SIZE_MAX;   // pieces written before endConversion
  const char* fault_ = nullptr;
  bool closed_ = false;
  bool abandoned_ = false;
};

}  // namespace vantrel

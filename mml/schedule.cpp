#include "mml/schedule.h"

#include <algorithm>
#include <cerrno>
#include <cassert>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "mml/converter.h"
#include "mml/open.h"
#include "mml/preview.h"
#include "smf/decoded_track.h"
#include "smf/note_spans.h"
#include "util/populated_array.h"

namespace vantrel {
namespace {

void writeInOrder(const OpenedSong& song, TextWriter& output, PreviewCollector* preview) {
  Converter converter(song, output, preview);
  converter.reserveFrom(0);
  for (std::uint32_t t = 0; t < song.tracksWritten() && !output.failed(); ++t) converter.convertTrack(t);
}

// A block of text on its way from a worker to the output.
struct Block {
  char* bytes = nullptr;  // kBlock bytes of room, from the pool
  std::size_t size = 0;
};

// The room of the blocks, used again: a block taken by the output goes back
// to the workers, so that the text of a file passes through a few buffers.
// The room comes 32 blocks at a time, made present at once and placed for a
// huge page (see PopulatedArray): a fresh page costs a fault at its first
// touch, which for the blocks in flight cost more than the conversion.
class BlockPool {
 public:
  char* get() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_.empty()) {
      PopulatedArray<char>& room = rooms_.emplace_back();
      room.resizeForWriting(kBlocksAtOnce * TextWriter::kBlock);
      for (std::size_t k = 0; k < kBlocksAtOnce; ++k) free_.push_back(room.data() + k * TextWriter::kBlock);
    }
    char* bytes = free_.back();
    free_.pop_back();
    return bytes;
  }
  void put(char* bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(bytes);
  }

 private:
  static constexpr std::size_t kBlocksAtOnce = 32;  // 2 MiB
  std::mutex mutex_;
  std::deque<PopulatedArray<char>> rooms_;
  std::vector<char*> free_;
};

// The text of one batch of tracks, converted on a worker thread: the blocks
// its writer hands over, kept until the thread that writes the output takes
// them, in order. The worker waits when kMostBlocks wait to be taken, so a
// long track passes on to the output while it is converted; once abandoned
// (the output has stopped) the text refuses every write, and the worker's
// converter stops.
class BatchText : public Sink {
 public:
  static constexpr std::size_t kMostBlocks = 16;

  BlockPool* pool = nullptr;

  // The writer hands over blocks of at most kBlock bytes.
  Fault write(const char* bytes, std::size_t size) override {
    assert(size <= TextWriter::kBlock);
    const Block block{pool->get(), size};
    std::memcpy(block.bytes, bytes, size);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return blocks_.size() < kMostBlocks || abandoned_; });
    if (abandoned_) {
      lock.unlock();
      pool->put(block.bytes);
      // Never reported: the output's own writer holds what stopped it.
      return Fault(FaultKind::kFileError, ECANCELED);
    }
    blocks_.push_back(block);
    lock.unlock();
    changed_.notify_all();
    return {};
  }

  // The worker's last word; `failure` is what stopped it, if anything did.
  void close(std::exception_ptr failure = nullptr) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      failure_ = failure;
    }
    changed_.notify_all();
  }
  // Once take() has returned false.
  std::exception_ptr failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

  // Waits for the next block; false when there is none and none will come.
  bool take(Block& block) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !blocks_.empty() || closed_; });
    if (blocks_.empty()) return false;
    block = blocks_.front();
    blocks_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  void abandon() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
      for (const Block& block : blocks_) pool->put(block.bytes);
      blocks_.clear();
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> blocks_;
  std::exception_ptr failure_;
  bool closed_ = false;
  bool abandoned_ = false;
};

// Hands the batches to the workers in order, each at most `window` batches
// ahead of the one being written, so that the texts waiting stay few.
class BatchDispenser {
 public:
  BatchDispenser(std::size_t count, std::size_t window) : count_(count), window_(window) {}

  // The next batch to convert, or -1 when there is none.
  std::ptrdiff_t take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || next_ >= count_ || next_ < written_ + window_; });
    if (stopped_ || next_ >= count_) return -1;
    return static_cast<std::ptrdiff_t>(next_++);
  }
  void batchWritten() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++written_;
    }
    changed_.notify_all();
  }
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::size_t count_;
  const std::size_t window_;
  std::size_t next_ = 0;
  std::size_t written_ = 0;
  bool stopped_ = false;
};

// A worker's writer writes each batch into that batch's text.
class TextSwitch : public Sink {
 public:
  BatchText* text = nullptr;
  Fault write(const char* bytes, std::size_t size) override { return text->write(bytes, size); }
};

// Where each batch of tracks begins, and the end of the last: consecutive
// tracks of at least `batchEvents` events together.
std::vector<std::size_t> batchesOf(std::span<const TrackChunk> tracks, std::size_t batchEvents) {
  std::vector<std::size_t> starts{0};
  std::size_t events = 0;
  for (std::size_t index = 0; index < tracks.size(); ++index) {
    if (events >= batchEvents) {
      starts.push_back(index);
      events = 0;
    }
    events += tracks[index].events;
  }
  starts.push_back(tracks.size());
  return starts;
}

// The most memory one worker takes: the biggest track decoded (and moved
// onto the grid), the texts of its two batches and its writer's buffer.
std::size_t workerMemory(const OpenedSong& song, bool grid) {
  std::size_t most = 0;
  for (std::uint32_t t = 0; t < song.tracksWritten(); ++t) {
    const PassCounts counts = song.written(t);
    const std::size_t system = counts[0];
    const std::size_t channel = totalEvents(counts) - system;
    most = std::max(most, channel * (sizeof(DecodedEvent) + sizeof(NoteSpan)) +
                              system * (sizeof(DecodedEvent) + sizeof(std::uint64_t)));
  }
  return (grid ? 3 : 1) * most + 3 * BatchText::kMostBlocks * TextWriter::kBlock;
}

void convertBatches(const OpenedSong& song, const std::vector<std::size_t>& batches,
                    BatchDispenser& dispenser, BatchText* texts) {
  TextSwitch sink;
  TextWriter writer(sink);
  Converter converter(song, writer);
  for (std::ptrdiff_t batch; (batch = dispenser.take()) >= 0;) {
    BatchText& text = texts[batch];
    sink.text = &text;
    try {
      // Room for the biggest track still to come, once: growing the room
      // again costs more than the decoding, and a track already taken by
      // another thread need not be held twice.
      const std::size_t first = batches[batch], last = batches[batch + 1];
      converter.reserveFrom(static_cast<std::uint32_t>(first));
      for (std::size_t t = first; t < last && !writer.failed(); ++t) {
        converter.convertTrack(static_cast<std::uint32_t>(t));
      }
      writer.flush();
    } catch (...) {
      // Memory that ran out: the thread that writes the output raises it
      // again, as one thread would have.
      text.close(std::current_exception());
      return;
    }
    text.close();
  }
}

}  // namespace

void writeTracks(const OpenedSong& song, TextWriter& output, const Schedule& schedule,
                 PreviewCollector* preview) {
  const std::span<const TrackChunk> tracks = std::span(song.tracks).first(song.tracksWritten());
  std::size_t events = 0;
  for (const TrackChunk& chunk : tracks) events += chunk.events;
  const std::size_t batchEvents = std::max<std::size_t>(schedule.batchEvents, 1);
  if (preview != nullptr || schedule.threads < 2 || events < 4 * batchEvents) {
    return writeInOrder(song, output, preview);
  }
  const std::vector<std::size_t> batches = batchesOf(tracks, batchEvents);
  const std::size_t count = batches.size() - 1;
  // As many workers as the memory holds: about the input's size again, and
  // some megabytes.
  const std::size_t budget = song.smf.size() + (std::size_t{16} << 20);
  const std::size_t workers = std::min({static_cast<std::size_t>(schedule.threads), count,
                                        budget / workerMemory(song, song.gridStep != 0)});
  if (workers < 2) return writeInOrder(song, output, nullptr);

  BlockPool pool;
  std::unique_ptr<BatchText[]> texts(new BatchText[count]);
  for (std::size_t k = 0; k < count; ++k) texts[k].pool = &pool;
  // Two batches a worker ahead: a worker need not wait while the text of the
  // batch before is still being written.
  BatchDispenser dispenser(count, 2 * workers);
  std::vector<std::thread> threads;
  try {
    for (std::size_t i = 0; i < workers; ++i) {
      threads.emplace_back(convertBatches, std::cref(song), std::cref(batches), std::ref(dispenser),
                           texts.get());
    }
  } catch (const std::system_error&) {
    // No more threads to be had: those started do the work.
    if (threads.empty()) return writeInOrder(song, output, nullptr);
  }

  Block block;
  std::exception_ptr failure;
  for (std::size_t batch = 0; batch < count && !output.failed() && !failure; ++batch) {
    while (texts[batch].take(block)) {
      output.writeVerbatim(std::string_view(block.bytes, block.size));
      pool.put(block.bytes);
      if (output.failed()) break;
    }
    failure = texts[batch].failure();
    dispenser.batchWritten();
  }
  dispenser.stop();
  for (std::size_t k = 0; k < count; ++k) texts[k].abandon();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vantrel

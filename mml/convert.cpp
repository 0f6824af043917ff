#include "mml/convert.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "mml/converter.h"
#include "mml/text_writer.h"
#include "mml/track_text.h"
#include "rhythm/rhythm_table.h"
#include "smf/riff.h"
#include "smf/smf_header.h"
#include "smf/smf_messages.h"

namespace vantrel {
namespace {

void writeFileHeader(TextWriter& output, const SmfHeader& header) {
  output.write(
      "//--------------------------------------\n"
      "//\t\tVANTREL\n"
      "//--------------------------------------\n"
      "//MThd Infomation :\n"
      "//\tSize = ");
  output.writeUnsigned(header.size);
  output.write("\n//\tFormat = ");
  output.writeUnsigned(header.format);
  output.write("\n//\tTrack = ");
  output.writeUnsigned(header.trackCount);
  output.write("\n//\nSystem.ControllerShift = 0;\nSystem.TimeBase = ");
  output.writeUnsigned(header.division);
  output.write(";\n\nInclude(stdmsg.h);\n\n\n\n");
}

// The end of a conversion: everything written reaches the sink first. A
// fault met after the sink failed is not what stopped the conversion.
Outcome finish(TextWriter& output, bool failedBefore, const char* fault) {
  output.flush();
  return Outcome{failedBefore ? nullptr : fault, output.error()};
}

Outcome convertInOrder(const WalkedSmf& file, TextWriter& output) {
  Converter converter(file.smf, file.header, file.rhythm, file.settings, output);
  converter.reserveFor(file.tracks);
  for (std::size_t index = 0; index < file.tracks.size(); ++index) {
    const char* fault = converter.convertTrack(static_cast<int>(index), file.tracks[index]);
    if (fault != nullptr || output.failed()) return finish(output, output.failed(), fault);
  }
  return finish(output, false, nullptr);
}

// Hands the batches of tracks to the worker threads in order, each at most
// `window` batches ahead of the one being written, so that the texts waiting
// to be written stay few.
class BatchDispenser {
 public:
  BatchDispenser(std::size_t count, std::size_t window) : count_(count), window_(window) {}

  // The next batch to convert, or -1 when there is none.
  int take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || next_ >= count_ || next_ < written_ + window_; });
    if (stopped_ || next_ >= count_) return -1;
    return static_cast<int>(next_++);
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
  TrackText* text = nullptr;
  bool write(const char* bytes, std::size_t size) override { return text->write(bytes, size); }
};

// Where each batch of tracks begins, and the end of the last: consecutive
// tracks of at least `batchEvents` events together (Settings tells why).
std::vector<std::size_t> batchesOf(const std::vector<TrackChunk>& tracks, std::size_t batchEvents) {
  std::vector<std::size_t> starts{0};
  std::size_t events = 0;
  for (std::size_t index = 0; index < tracks.size(); ++index) {
    if (events >= batchEvents) {
      starts.push_back(index);
      events = 0;
    }
    events += tracks[index].eventCount;
  }
  starts.push_back(tracks.size());
  return starts;
}

void convertBatches(const WalkedSmf& file, const std::vector<std::size_t>& batches,
                    BatchDispenser& dispenser, TrackText* texts) {
  TextSwitch sink;
  TextWriter writer(sink);
  Converter converter(file.smf, file.header, file.rhythm, file.settings, writer);
  for (int batch; (batch = dispenser.take()) >= 0;) {
    TrackText& text = texts[batch];
    sink.text = &text;
    // Room for the biggest track still to come, once: growing the room again
    // costs more than the decoding, and a track already taken by another
    // thread (the one huge track of a file, say) need not be held twice.
    converter.reserveFor(std::span(file.tracks).subspan(batches[batch]));
    const char* fault = nullptr;
    for (std::size_t index = batches[batch]; index < batches[batch + 1] && fault == nullptr; ++index) {
      fault = converter.convertTrack(static_cast<int>(index), file.tracks[index]);
      if (writer.failed()) break;
    }
    text.endConversion(fault);
    writer.flush();
    text.close();
  }
}

// The tracks converted in batches on `threads` threads, each batch into a
// text of its own; this thread writes the texts in track order as they come,
// and stops at a fault or a refused write exactly where one thread would.
Outcome convertInParallel(const WalkedSmf& file, TextWriter& output, std::size_t threads) {
  std::size_t events = 0;
  for (const TrackChunk& chunk : file.tracks) events += chunk.eventCount;
  const std::size_t batchEvents = std::max<std::size_t>(file.settings.batchEvents, 1);
  if (events < 4 * batchEvents) return convertInOrder(file, output);
  const std::vector<std::size_t> batches = batchesOf(file.tracks, batchEvents);
  const std::size_t count = batches.size() - 1;
  if (count < 2) return convertInOrder(file, output);
  threads = std::min(threads, count);
  std::unique_ptr<TrackText[]> texts(new TrackText[count]);
  PiecePool pool;
  for (std::size_t k = 0; k < count; ++k) texts[k].pool = &pool;
  // Two batches a thread ahead: a thread need not wait while the text of the
  // batch before is still being written.
  BatchDispenser dispenser(count, 2 * threads);
  std::vector<std::thread> workers;
  try {
    for (std::size_t i = 0; i < threads; ++i) {
      workers.emplace_back(convertBatches, std::cref(file), std::cref(batches), std::ref(dispenser),
                           texts.get());
    }
  } catch (const std::system_error&) {
    // No more threads to be had: those started do the work.
    if (workers.empty()) return convertInOrder(file, output);
  }
  auto stopWorkers = [&] {
    dispenser.stop();
    for (std::size_t k = 0; k < count; ++k) texts[k].abandon();
    for (std::thread& worker : workers) worker.join();
  };

  Piece piece;
  for (std::size_t batch = 0; batch < count; ++batch) {
    TrackText& text = texts[batch];
    // A refused write before the batch's conversion ended hides its fault.
    bool ended = false;
    for (bool afterEnd; text.take(piece, afterEnd);) {
      ended = ended || afterEnd;
      output.writeVerbatim(std::string_view(piece.data(), piece.size()));
      pool.put(piece);
      if (output.failed()) break;
    }
    const bool failedBefore = output.failed() && !ended;
    const char* fault = failedBefore ? nullptr : text.fault();
    dispenser.batchWritten();
    if (fault != nullptr || output.failed()) {
      stopWorkers();
      return finish(output, failedBefore, fault);
    }
  }
  stopWorkers();
  return finish(output, false, nullptr);
}

}  // namespace

WalkedSmf walkSmf(std::span<const std::uint8_t> input, const Settings& settings) {
  WalkedSmf walked;
  walked.smf = unwrapRiff(input);
  walked.settings = settings;
  walked.headerFault = walked.header.readHeader(walked.smf);
  if (walked.headerFault != nullptr) return walked;
  // A file of four batches (about three bytes an event) is walked on the
  // threads as well.
  const bool big = walked.smf.size() / 3 >= 4 * settings.batchEvents;
  walked.walkFault = buildRhythmTable(walked.smf, walked.header, settings.filterMask,
                                      settings.pickupTicks, walked.rhythm, walked.tracks,
                                      big ? settings.threads : 1);
  return walked;
}

Outcome writeMml(const WalkedSmf& file, Sink& mml, Sink& console) {
  if (file.headerFault != nullptr) return {file.headerFault, 0};
  TextWriter output(mml);
  writeFileHeader(output, file.header);
  if (file.walkFault != nullptr) return finish(output, output.failed(), file.walkFault);
  const std::string listing = file.rhythm.listing();
  console.write(listing.data(), listing.size());
  console.flush();

  const std::size_t threads = std::min<std::size_t>(
      static_cast<std::size_t>(std::max(file.settings.threads, 1)), file.tracks.size());
  return threads > 1 ? convertInParallel(file, output, threads) : convertInOrder(file, output);
}

Outcome convert(std::span<const std::uint8_t> smf, const Settings& settings, Sink& mml,
                Sink& console) {
  return writeMml(walkSmf(smf, settings), mml, console);
}

const char* checkHeader(std::span<const std::uint8_t> smf) {
  SmfHeader header;
  return header.readHeader(unwrapRiff(smf));
}

std::string dataFaultMessage(const char* fault) {
  return std::string(messages::kDataFaultPrefix) + fault;
}

}  // namespace vantrel

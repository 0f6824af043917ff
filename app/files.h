// The command line's two files: the input SMF, read whole into memory, and
// the output MML, which replaces an earlier file only once the conversion
// has ended, so that no run loses a file the user had.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/file_system.h"
#include "util/sink.h"
#include "util/populated_array.h"

namespace vantrel {

// The input's bytes. The program reads a copy: a file that another program
// cuts short or replaces while it is converted cannot change what the
// conversion sees.
using InputBytes = PopulatedArray<std::uint8_t>;

// Reads the file `name` to its end into `bytes`. Returns the fault of the
// failing call (ENOMEM when the memory cannot hold it), named `name`. A file
// whose first bytes cannot begin a MIDI file is read no further (a device
// that never ends, say): its first bytes are enough for the header's fault.
Fault readInput(FileSystem& files, const std::string& name, InputBytes& bytes);

// The output. Opened, it is a new file beside the output's name (beside the
// file that its links name), which commit() puts in the output's place in one
// step and discard() removes: until then an earlier file stays as it was, and
// a run stopped by a signal leaves it so. Where the new file cannot take the
// earlier one's place as it was (its owner, group or attributes cannot be
// given to it, or the rename is refused) but the earlier file may be written,
// the finished text is copied into it at commit(). Where no new file can
// serve (a device, a fifo, a stream the process holds, a file with more than
// one name, a folder that takes no new file) the output is written in place,
// as it is opened.
class OutputFile : public Sink {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() override;

  // Returns the fault of the open that failed. Every fault of the output
  // is named `name`. `limit` is the most bytes the text may have: a write
  // that would pass it is refused with kOutputTooLong.
  Fault open(FileSystem& files, const std::string& name, std::uint64_t limit = UINT64_MAX);

  Fault write(const char* bytes, std::size_t size) override;
  // The fault of the first refused write; none when all were taken.
  const Fault& error() const { return error_; }

  // The text is finished: it reaches the disk and takes the output's place.
  // Returns the fault of the step that failed: the earlier file then stays
  // as it was, unless the copy into it was what failed.
  Fault commit();
  // The text is not to be kept: an earlier file stays as it was.
  void discard();

  bool inPlace() const { return temporary_.empty(); }

 private:
  Fault named(Fault fault) const;
  Fault copyIntoTarget();

  FileSystem* files_ = nullptr;
  std::unique_ptr<OutputStream> stream_;
  std::string name_;       // as the user gave it
  std::string target_;     // the file that the text replaces
  std::string temporary_;  // the new file, empty when written in place
  bool copyAtCommit_ = false;  // the earlier file can be written, not replaced
  bool earlierWritable_ = false;
  std::uint64_t limit_ = UINT64_MAX;
  std::uint64_t written_ = 0;
  Fault error_;
};

}  // namespace vantrel

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

// Reads the file `name` to its end into `bytes`. Returns 0 or the errno of
// the failing call (ENOMEM when the memory cannot hold it). A file whose
// first bytes cannot begin a MIDI file is read no further (a device that
// never ends, say): its first bytes are enough for the header's fault.
int readInput(FileSystem& files, const std::string& name, InputBytes& bytes);

// The output. Opened, it is a new file beside the output's name (beside the
// target of a symbolic link), which commit() puts in the output's place in
// one step and discard() removes: until then an earlier file stays as it
// was, and a run stopped by a signal leaves it so. Where a new file cannot
// serve (a device, a fifo, a file with more than one name, a folder that
// takes no new file) the output is written in place, as it is opened.
class OutputFile : public Sink {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() override;

  // Returns 0 or the errno of the open that failed.
  int open(FileSystem& files, const std::string& name);

  Fault write(const char* bytes, std::size_t size) override;
  // The errno of the first refused write; 0 when all were taken.
  int error() const { return error_; }

  // The text is finished: it reaches the disk and takes the output's place.
  // Returns 0 or the errno of the step that failed (the earlier file then
  // stays as it was).
  int commit();
  // The text is not to be kept: an earlier file stays as it was.
  void discard();

  bool inPlace() const { return temporary_.empty(); }

 private:
  FileSystem* files_ = nullptr;
  std::unique_ptr<OutputStream> stream_;
  std::string target_;     // the file that the text replaces
  std::string temporary_;  // the new file, empty when written in place
  int error_ = 0;
};

}  // namespace vantrel

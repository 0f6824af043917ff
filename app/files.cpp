#include "app/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "smf/smf_header.h"

namespace vantrel {
namespace {

// Whether the first bytes of a file are enough to refuse it: they are not a
// RIFF form (whose SMF lies further in) and its header chunk has a fault.
bool refusedByItsStart(std::span<const std::uint8_t> start) {
  if (start.size() < 14) return false;
  if (std::memcmp(start.data(), "RIFF", 4) == 0) return false;
  SmfHeader header;
  return header.read(start) != FaultKind::kNone;
}

// The folder part of `name`, with its separator ("" for none).
std::string folderOf(const std::string& name) {
#ifdef _WIN32
  const std::size_t separator = name.find_last_of("/\\:");
#else
  const std::size_t separator = name.find_last_of('/');
#endif
  return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

// The longest name of one file that the systems take (bytes on POSIX, UTF-16
// units on Windows, never fewer than its bytes).
constexpr std::size_t kLongestName = 255;

// A name for the new file beside `target`: the output's own name, hidden,
// with a number from the clock; a name of the program's own where that
// would be too long for the system. Runs that pick the same one at once are
// told apart by the exclusive creation, and the loser tries another.
std::string temporaryName(const std::string& target) {
  const std::string folder = folderOf(target);
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto number = static_cast<unsigned long long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() % 1000000007);
  // Appended, not added to literals: GCC 12 for Windows warns of those.
  std::string tail(".");
  tail.append(std::to_string(number)).append(".tmp");
  const std::string own = target.substr(folder.size());
  std::string name = folder;
  name.append(".").append(1 + own.size() + tail.size() > kLongestName ? "vantrel" : own).append(tail);
  return name;
}

// Errors of a folder that takes no new file, where the output is written
// in place instead.
bool takesNoNewFile(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Errors of a rename that cannot put a new file in the output's place (a
// file mounted on its own, another file system, a sticky folder over
// another user's file), where the finished text is copied into it instead.
bool refusesTheRename(int error) {
  return error == EBUSY || error == EXDEV || error == EPERM || error == EACCES;
}

}  // namespace

Fault readInput(FileSystem& files, const std::string& name, InputBytes& bytes) {
  std::unique_ptr<InputStream> stream;
  if (Fault fault = files.openForReading(name, stream)) return fileFault(name, fault.error);
  try {
    // A regular file tells its size: read in one piece, and a byte more to
    // see that it has not grown since.
    constexpr std::size_t kStart = std::size_t{1} << 16;
    bytes.resizeForWriting(0);
    bytes.growKeeping(std::max<std::size_t>(static_cast<std::size_t>(stream->sizeHint()) + 1, kStart));
    bool started = false;
    for (;;) {
      if (bytes.size() == bytes.capacity()) bytes.growKeeping(2 * bytes.capacity());
      std::size_t got = 0;
      if (Fault fault = stream->read(bytes.data() + bytes.size(), bytes.capacity() - bytes.size(), got)) {
        return fileFault(name, fault.error);
      }
      if (got == 0) return {};
      bytes.setSize(bytes.size() + got);
      if (!started && bytes.size() >= 14) {
        started = true;
        if (refusedByItsStart({bytes.data(), bytes.size()})) return {};
      }
    }
  } catch (const std::bad_alloc&) {
    return fileFault(name, ENOMEM);
  }
}

OutputFile::~OutputFile() { discard(); }

Fault OutputFile::named(Fault fault) const {
  if (fault) fault.subject = name_;
  return fault;
}

Fault OutputFile::open(FileSystem& files, const std::string& name, std::uint64_t limit) {
  files_ = &files;
  name_ = name;
  limit_ = limit;
  // A symbolic link stays a link: the file it names is replaced.
  if (Fault fault = files.resolve(name, target_)) return named(fault);
  NodeInfo info;
  if (Fault fault = files.info(target_, info)) return named(fault);
  const bool replaceable = info.kind == NodeKind::kMissing ||
                           (info.kind == NodeKind::kRegular && info.links == 1);
  if (replaceable) {
    const bool earlier = info.kind == NodeKind::kRegular;
    earlierWritable_ = earlier && info.writable;
    Fault fault = fileFault(target_, EEXIST);
    for (int attempt = 0; attempt < 100 && fault.error == EEXIST; ++attempt) {
      const std::string name = temporaryName(target_);
      bool kept = true;
      fault = files.createTemporary(name, earlier ? &target_ : nullptr, stream_, kept);
      if (!fault) {
        temporary_ = name;
        // What the new file cannot be given stays the earlier file's own.
        copyAtCommit_ = !kept && earlierWritable_;
        return {};
      }
    }
    if (!takesNoNewFile(fault.error)) return named(fault);
  }
  return named(files.openForWriting(target_, stream_));
}

Fault OutputFile::write(const char* bytes, std::size_t size) {
  if (error_) return error_;
  if (size > limit_ - written_) {
    error_ = Fault(FaultKind::kOutputTooLong, 0, name_);
    return error_;
  }
  written_ += size;
  error_ = named(stream_->write(bytes, size));
  return error_;
}

Fault OutputFile::copyIntoTarget() {
  std::unique_ptr<InputStream> from;
  std::unique_ptr<OutputStream> to;
  if (Fault fault = files_->openForReading(temporary_, from)) return fault;
  if (Fault fault = files_->openForWriting(target_, to)) return fault;
  std::vector<std::uint8_t> block(std::size_t{1} << 20);
  for (;;) {
    std::size_t got = 0;
    if (Fault fault = from->read(block.data(), block.size(), got)) return fault;
    if (got == 0) break;
    if (Fault fault = to->write(reinterpret_cast<const char*>(block.data()), got)) return fault;
  }
  if (Fault fault = to->sync()) return fault;
  return to->close();
}

Fault OutputFile::commit() {
  if (!stream_) return {};
  if (error_) {
    const Fault fault = error_;
    discard();
    return fault;
  }
  Fault fault = inPlace() || copyAtCommit_ ? Fault{} : stream_->sync();
  const Fault closed = stream_->close();
  stream_.reset();
  if (!fault) fault = closed;
  bool replaced = false;
  if (!fault && !inPlace()) {
    bool copy = copyAtCommit_;
    if (!copy) {
      fault = files_->replace(temporary_, target_);
      replaced = !fault;
      copy = fault && earlierWritable_ && refusesTheRename(fault.error);
    }
    // Only now, with the whole text at hand, is the earlier file written.
    if (copy) fault = copyIntoTarget();
  }
  if (!inPlace() && !replaced) files_->remove(temporary_);
  temporary_.clear();
  return named(fault);
}

void OutputFile::discard() {
  if (!stream_) return;
  stream_->close();
  stream_.reset();
  if (!inPlace()) files_->remove(temporary_);
  temporary_.clear();
}

}  // namespace vantrel

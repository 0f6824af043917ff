#include "app/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

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

// A name for the new file beside `target`: the output's own name, hidden,
// with a number from the clock. Runs that pick the same one at once are
// told apart by the exclusive creation, and the loser tries another.
std::string temporaryName(const std::string& target) {
  const std::string folder = folderOf(target);
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto number = static_cast<unsigned long long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() % 1000000007);
  return folder + "." + target.substr(folder.size()) + "." + std::to_string(number) + ".tmp";
}

// Errors of a folder that takes no new file, where the output is written
// in place instead.
bool takesNoNewFile(int error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

int readInput(FileSystem& files, const std::string& name, InputBytes& bytes) {
  std::unique_ptr<InputStream> stream;
  if (const int error = files.openForReading(name, stream)) return error;
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
      if (const int error = stream->read(bytes.data() + bytes.size(), bytes.capacity() - bytes.size(), got)) {
        return error;
      }
      if (got == 0) return 0;
      bytes.setSize(bytes.size() + got);
      if (!started && bytes.size() >= 14) {
        started = true;
        if (refusedByItsStart({bytes.data(), bytes.size()})) return 0;
      }
    }
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

OutputFile::~OutputFile() { discard(); }

int OutputFile::open(FileSystem& files, const std::string& name) {
  files_ = &files;
  // A symbolic link stays a link: the file it names is replaced.
  if (const int error = files.resolve(name, target_)) return error;
  NodeInfo info;
  if (const int error = files.info(target_, info)) return error;
  const bool replaceable = info.kind == NodeKind::kMissing ||
                           (info.kind == NodeKind::kRegular && info.links == 1);
  if (replaceable) {
    const NodeInfo* like = info.kind == NodeKind::kMissing ? nullptr : &info;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
      const std::string name = temporaryName(target_);
      error = files.createTemporary(name, like, stream_);
      if (error == 0) temporary_ = name;
    }
    if (!takesNoNewFile(error)) return error;
  }
  return files.openForWriting(target_, stream_);
}

Fault OutputFile::write(const char* bytes, std::size_t size) {
  if (error_ == 0) error_ = stream_->write(bytes, size);
  return error_ == 0 ? Fault{} : fileFault(target_, error_);
}

int OutputFile::commit() {
  if (!stream_) return 0;
  if (error_ != 0) {
    discard();
    return error_;
  }
  int error = inPlace() ? 0 : stream_->sync();
  const int closeError = stream_->close();
  stream_.reset();
  if (error == 0) error = closeError;
  if (error == 0 && !inPlace()) error = files_->replace(temporary_, target_);
  if (error != 0) {
    if (!inPlace()) files_->remove(temporary_);
  }
  temporary_.clear();
  return error;
}

void OutputFile::discard() {
  if (!stream_) return;
  stream_->close();
  stream_.reset();
  if (!inPlace()) files_->remove(temporary_);
  temporary_.clear();
}

}  // namespace vantrel

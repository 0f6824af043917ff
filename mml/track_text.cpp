#include "mml/track_text.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

Piece PiecePool::get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (free_.empty()) {
    Block& block = blocks_.emplace_back();
    block.resize(kBlockPieces * kPieceSize);
    for (std::size_t k = kBlockPieces; k-- > 0;) free_.push_back(block.data() + k * kPieceSize);
  }
  Piece piece{free_.back(), 0};
  free_.pop_back();
  return piece;
}

void PiecePool::put(Piece piece) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_.push_back(piece.bytes);
}

bool TrackText::write(const char* bytes, std::size_t size) {
  // A long write (a long SysEx written verbatim) goes over several pieces.
  while (size > 0) {
    Piece piece = pool->get();
    piece.length = std::min(size, kPieceSize);
    std::memcpy(piece.bytes, bytes, piece.length);
    bytes += piece.length;
    size -= piece.length;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return pieces_.size() < kMostPieces || abandoned_; });
      if (abandoned_) {
        lock.unlock();
        pool->put(piece);
        return false;
      }
      pieces_.push_back(piece);
      ++written_;
    }
    changed_.notify_all();
  }
  return true;
}

void TrackText::endConversion(const char* fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  fault_ = fault;
  endedAt_ = written_;
}

void TrackText::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool TrackText::take(Piece& piece, bool& afterEnd) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !pieces_.empty() || closed_; });
  if (pieces_.empty()) return false;
  piece = std::move(pieces_.front());
  pieces_.pop_front();
  afterEnd = taken_++ >= endedAt_;
  const bool wasFull = pieces_.size() + 1 == kMostPieces;
  lock.unlock();
  if (wasFull) changed_.notify_all();
  return true;
}

const char* TrackText::fault() {
  std::lock_guard<std::mutex> lock(mutex_);
  return fault_;
}

void TrackText::abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    pieces_.clear();
  }
  changed_.notify_all();
}

}  // namespace vantrel

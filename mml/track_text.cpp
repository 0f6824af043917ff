#include "mml/track_text.h"

namespace vantrel {

Piece PiecePool::get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (free_.empty()) {
    Piece piece;
    piece.reserve(std::size_t{1} << 16);
    return piece;
  }
  Piece piece = std::move(free_.back());
  free_.pop_back();
  return piece;
}

void PiecePool::put(Piece&& piece) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_.push_back(std::move(piece));
}

bool TrackText::write(const char* bytes, std::size_t size) {
  Piece piece = pool->get();
  piece.assign(bytes, bytes + size);
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return pieces_.size() < kMostPieces || abandoned_; });
    if (abandoned_) return false;
    pieces_.push_back(std::move(piece));
    ++written_;
  }
  changed_.notify_all();
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

// PopulatedArray: the storage of the big arrays of a conversion (the decoded
// events of a track), with all its pages made present when it is allocated.
//
// The first touch of a fresh page costs a page fault, and on the virtual
// machines where vantrel is built and measured a fault costs more than
// decoding the events that fill the page. Asking the system for the pages at
// once costs less, and asking for huge pages least: only a whole huge page
// on a boundary of its size can be one, so the mappings start on such a
// boundary; where the system has no huge pages to give, it uses ordinary
// ones. Arrays below kMapFrom bytes, and systems without mapping, use the
// ordinary heap, whose pages are mostly present already.
//
// The elements are plain data, and an array is always filled right after it
// is sized: sizing leaves them uninitialised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define VANTREL_POPULATE 1
#endif

namespace vantrel {

namespace populated {

inline constexpr std::size_t kMapFrom = std::size_t{1} << 18;
inline constexpr std::size_t kHugePage = std::size_t{1} << 21;

// The bytes that map() maps for a request of `bytes`: whole pages, and a
// whole huge page for a last part of at least half of one (less stays in
// ordinary pages rather than cost up to twice the memory).
inline std::size_t mappedSize(std::size_t bytes) {
  constexpr std::size_t kPage = 4096;
  const std::size_t size = (bytes + kPage - 1) & ~(kPage - 1);
  if (size % kHugePage < kHugePage / 2) return size;
  return (size + kHugePage - 1) & ~(kHugePage - 1);
}

// At least `bytes` bytes, present; throws std::bad_alloc when the system
// has no memory.
inline void* allocate(std::size_t bytes) {
#ifdef VANTREL_POPULATE
  if (bytes >= kMapFrom) {
    const std::size_t size = mappedSize(bytes);
    // Mapped a huge page longer, then trimmed to the boundary inside.
    void* mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    char* const raw = static_cast<char*>(mapped);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw);
    char* const start = raw + ((kHugePage - address % kHugePage) % kHugePage);
    if (start != raw) munmap(raw, static_cast<std::size_t>(start - raw));
    char* const end = start + size;
    if (end != raw + size + kHugePage) {
      munmap(end, static_cast<std::size_t>(raw + size + kHugePage - end));
    }
    // Advice only: a system that ignores it faults the pages in as used.
    madvise(start, size, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(start, size, MADV_POPULATE_WRITE);
#endif
    return start;
  }
#endif
  return ::operator new(bytes);
}

inline void release(void* memory, [[maybe_unused]] std::size_t bytes) {
  if (memory == nullptr) return;
#ifdef VANTREL_POPULATE
  if (bytes >= kMapFrom) {
    munmap(memory, mappedSize(bytes));
    return;
  }
#endif
  ::operator delete(memory);
}

}  // namespace populated

template <typename T>
class PopulatedArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  PopulatedArray() = default;
  PopulatedArray(const PopulatedArray&) = delete;
  PopulatedArray& operator=(const PopulatedArray&) = delete;
  PopulatedArray(PopulatedArray&& other) noexcept { swap(other); }
  PopulatedArray& operator=(PopulatedArray&& other) noexcept {
    swap(other);
    return *this;
  }
  ~PopulatedArray() { populated::release(data_, capacity_ * sizeof(T)); }

  void swap(PopulatedArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  // Room for `count` elements. What the array held is dropped: copying it
  // would cost more than filling the array again.
  void makeRoom(std::size_t count) {
    if (count <= capacity_) return;
    populated::release(data_, capacity_ * sizeof(T));
    data_ = nullptr;
    size_ = capacity_ = 0;
    data_ = static_cast<T*>(populated::allocate(count * sizeof(T)));
    capacity_ = count;
  }

  // `count` elements whose values are unspecified, to be written next.
  void resizeForWriting(std::size_t count) {
    makeRoom(count);
    size_ = count;
  }

  // Room for `count` elements, keeping those held (an array that grows as
  // it is read into).
  void growKeeping(std::size_t count) {
    if (count <= capacity_) return;
    PopulatedArray bigger;
    bigger.makeRoom(count);
    if (size_ > 0) std::memcpy(bigger.data_, data_, size_ * sizeof(T));
    bigger.size_ = size_;
    swap(bigger);
  }

  // Sets the number of elements held, within the room made.
  void setSize(std::size_t count) { size_ = count; }
  std::size_t capacity() const { return capacity_; }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  const T& back() const { return data_[size_ - 1]; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vantrel

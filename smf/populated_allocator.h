// PopulatedAllocator: memory for the big arrays of a conversion (the decoded
// events of a track), with all its pages made present when it is allocated.
//
// The first touch of a fresh page costs a page fault, and on the virtual
// machines where vantrel is built and measured a fault costs 10 µs or more:
// for a track of a few megabytes the faults cost more than the decoding.
// Asking the system for the pages at once costs less, and asking for huge
// pages least: on these machines even a page made present costs some 4 µs at
// its first write, and a huge page, 512 times the size, about as much. Only a
// whole huge page on a boundary of its size can be one, so the mappings start
// on such a boundary (see populatedSize for their end); where the system has
// no huge pages to give, it uses ordinary ones. Arrays below kMapFrom bytes,
// and systems without mapping, use the ordinary heap. The allocator also
// leaves new elements of a resize uninitialised: the arrays are filled right
// after they are sized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define VANTREL_POPULATE 1
#endif

namespace vantrel {

#ifdef VANTREL_POPULATE
inline constexpr std::size_t kHugePage = std::size_t{1} << 21;

// The bytes that mapPopulated maps for a request of `bytes`: whole pages, and
// a whole huge page for a last part of at least half of one (less stays in
// ordinary pages rather than cost up to twice the memory).
inline std::size_t populatedSize(std::size_t bytes) {
  constexpr std::size_t kPage = 4096;
  const std::size_t size = (bytes + kPage - 1) & ~(kPage - 1);
  if (size % kHugePage < kHugePage / 2) return size;
  return (size + kHugePage - 1) & ~(kHugePage - 1);
}

// Maps at least `bytes` bytes (populatedSize of them) on a huge-page
// boundary, present and zeroed; nullptr when the system has no memory.
inline void* mapPopulated(std::size_t bytes) {
  const std::size_t size = populatedSize(bytes);
  // Mapped a huge page longer, then trimmed to the boundary inside.
  void* mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
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

inline void unmapPopulated(void* memory, std::size_t bytes) {
  munmap(memory, populatedSize(bytes));
}
#endif

template <typename T, std::size_t kMapFrom = std::size_t{1} << 18>
struct PopulatedAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = PopulatedAllocator<U, kMapFrom>;
  };

  PopulatedAllocator() = default;
  template <typename U>
  PopulatedAllocator(const PopulatedAllocator<U, kMapFrom>&) {}

  // resize() without zeroing what is written next anyway.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  T* allocate(std::size_t count) {
#ifdef VANTREL_POPULATE
    if (mapped(count)) {
      void* memory = mapPopulated(count * sizeof(T));
      if (memory == nullptr) throw std::bad_alloc();
      return static_cast<T*>(memory);
    }
#endif
    return static_cast<T*>(::operator new(count * sizeof(T)));
  }

  void deallocate(T* memory, [[maybe_unused]] std::size_t count) {
#ifdef VANTREL_POPULATE
    if (mapped(count)) {
      unmapPopulated(memory, count * sizeof(T));
      return;
    }
#endif
    ::operator delete(memory);
  }

  template <typename U>
  bool operator==(const PopulatedAllocator<U, kMapFrom>&) const { return true; }

 private:
  // Below this the heap's own pages, mostly present already, serve better.
  static bool mapped(std::size_t count) { return count * sizeof(T) >= kMapFrom; }
};

}  // namespace vantrel

// PopulatedAllocator: memory for the big arrays of a conversion (the decoded
// events of a track), with all its pages made present when it is allocated.
//
// The first touch of a fresh page costs a page fault, and on the virtual
// machines where vantrel is built and measured a fault costs 10 µs or more:
// for a track of a few megabytes the faults cost more than the decoding.
// Asking the system for the pages at once, as huge pages where it has them,
// costs a small part of that. Arrays below kMapFrom bytes, and systems without mapping, use the
// ordinary heap. The allocator also leaves new elements of a resize
// uninitialised: the arrays are filled right after they are sized.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define VANTREL_POPULATE 1
#endif

namespace vantrel {

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
      const std::size_t bytes = count * sizeof(T);
      void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (memory == MAP_FAILED) throw std::bad_alloc();
      // Advice only: a system that ignores it faults the pages in as used.
      madvise(memory, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
      madvise(memory, bytes, MADV_POPULATE_WRITE);
#endif
      return static_cast<T*>(memory);
    }
#endif
    return static_cast<T*>(::operator new(count * sizeof(T)));
  }

  void deallocate(T* memory, [[maybe_unused]] std::size_t count) {
#ifdef VANTREL_POPULATE
    if (mapped(count)) {
      munmap(memory, count * sizeof(T));
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

// PopulatedAllocator: memory for the big arrays of a conversion (the decoded
// events of a track), with all its pages made present when it is allocated.
//
// The first touch of a fresh page costs a page fault, and on the virtual
// machines where vantrel is built and measured a fault costs 10 µs or more:
// for a track of a few megabytes the faults cost more than the decoding.
// Asking the system for the pages at once (MAP_POPULATE) costs a small part
// of that. Small arrays, and systems without it, use the ordinary heap.
#pragma once

#include <cstddef>
#include <new>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define VANTREL_POPULATE 1
#endif

namespace vantrel {

template <typename T>
struct PopulatedAllocator {
  using value_type = T;

  PopulatedAllocator() = default;
  template <typename U>
  PopulatedAllocator(const PopulatedAllocator<U>&) {}

  T* allocate(std::size_t count) {
#ifdef VANTREL_POPULATE
    if (mapped(count)) {
      void* memory = mmap(nullptr, count * sizeof(T), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
      if (memory == MAP_FAILED) throw std::bad_alloc();
      return static_cast<T*>(memory);
    }
#endif
    return static_cast<T*>(::operator new(count * sizeof(T)));
  }

  void deallocate(T* memory, std::size_t count) {
#ifdef VANTREL_POPULATE
    if (mapped(count)) {
      munmap(memory, count * sizeof(T));
      return;
    }
#endif
    ::operator delete(memory);
  }

  template <typename U>
  bool operator==(const PopulatedAllocator<U>&) const { return true; }

 private:
  // Below this the heap's own pages, mostly present already, serve better.
  static bool mapped(std::size_t count) { return count * sizeof(T) >= (std::size_t{1} << 18); }
};

}  // namespace vantrel

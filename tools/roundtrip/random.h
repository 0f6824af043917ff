// A small seeded random source whose sequence is the same on every platform
// and standard library (splitmix64), so that a seed names one file for good.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace vantrel::roundtrip {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // 0 to n - 1 (0 when n is 0).
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }

  // lo to hi, both included.
  int range(int lo, int hi) {
    return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
  }

  bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }

  template <typename T>
  T pick(std::initializer_list<T> values) {
    return *(values.begin() + below(values.size()));
  }

 private:
  std::uint64_t state_;
};

}  // namespace vantrel::roundtrip

#pragma once

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace valmeric::sitesim {

// Everything the site shows is a pure function of the seed and a few small
// integers, so any page can be rebuilt on demand, in any order, on any
// thread, and comes out the same.

constexpr std::uint64_t Mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

constexpr std::uint64_t Hash(std::initializer_list<std::uint64_t> parts) {
  std::uint64_t h = 0x51ed270b7a1c3f25ULL;
  for (std::uint64_t p : parts) h = Mix(h ^ Mix(p));
  return h;
}

// A short tag that keeps the streams of different decisions apart.
constexpr std::uint64_t Tag(std::string_view name) {
  std::uint64_t h = 1469598103934665603ULL;
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return h;
}

// Maps a hash onto [0, 1).
constexpr double Unit(std::uint64_t h) {
  return static_cast<double>(h >> 11) * 0x1.0p-53;
}

class Rng final {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return Mix(state_++); }
  double Uniform() { return Unit(Next()); }
  // Uniform integer in [0, n); n > 0.
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  // Uniform integer in [lo, hi].
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  bool Chance(double p) { return Uniform() < p; }
  template <typename Container>
  const auto& Pick(const Container& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(std::size(items))))];
  }

 private:
  std::uint64_t state_;
};

}  // namespace valmeric::sitesim

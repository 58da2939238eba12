// Remembered results of the long double sine, cosine, tangent and arc cosine. A calculation
// evaluates the same few angles (alpha, the half flank angles, the pitch-circle angles) many
// times, and the geometry window recalculates nearly the same design on every keystroke; each
// of these functions costs about 50 ns in extended precision. A result is reused only for a
// bit-identical argument, so every value is exactly the one the library function returns.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace qern::trigmemo {

enum class Fn { Sin, Cos, Tan, Acos };

// Only the 80-bit extended format is keyed here; anything else is computed directly.
constexpr bool Keyed = std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10;


struct Entry {
  std::uint64_t mantissa = 0;
  std::uint16_t exponent = 0;
  bool used = false;
  long double value = 0;
};

template <Fn F>
inline long double Compute(long double x) {
  if constexpr (F == Fn::Sin) return std::sin(x);
  if constexpr (F == Fn::Cos) return std::cos(x);
  if constexpr (F == Fn::Tan) return std::tan(x);
  return std::acos(x);
}

template <Fn F>
constexpr int TableBits = 8;

template <Fn F>
inline long double Lookup(long double x) {
  if constexpr (!Keyed) {
    return Compute<F>(x);
  } else {
    // The most recent argument is compared as a number first (a zero never, as -0 == +0):
    // cheaper than reading its bits, and most calls repeat it.
    thread_local long double lastArg = 0, lastValue = 0;
    if (x == lastArg && x != 0) return lastValue;
    thread_local Entry table[1u << TableBits<F>];
    std::uint64_t m;
    std::uint16_t e;
    std::memcpy(&m, &x, sizeof m);
    std::memcpy(&e, reinterpret_cast<const char*>(&x) + sizeof m, sizeof e);
    const std::uint64_t h = (m ^ (m >> 29) ^ (static_cast<std::uint64_t>(e) << 48)) * 0x9E3779B97F4A7C15ull;
    Entry& slot = table[h >> (64 - TableBits<F>)];
    if (!(slot.used && slot.mantissa == m && slot.exponent == e)) {
      slot.value = Compute<F>(x);
      slot.mantissa = m;
      slot.exponent = e;
      slot.used = true;
    }
    lastArg = x;
    lastValue = slot.value;
    return slot.value;
  }
}

// Sine and cosine of one angle under one key: the pitch-circle angles always need both.
inline void LookupSinCos(long double x, long double& s, long double& c) {
  if constexpr (!Keyed) {
    s = std::sin(x);
    c = std::cos(x);
  } else {
    struct Pair {
      std::uint64_t mantissa = 0;
      std::uint16_t exponent = 0;
      bool used = false;
      long double sin = 0, cos = 0;
    };
    constexpr int bits = 10;
    thread_local Pair table[1u << bits];
    std::uint64_t m;
    std::uint16_t e;
    std::memcpy(&m, &x, sizeof m);
    std::memcpy(&e, reinterpret_cast<const char*>(&x) + sizeof m, sizeof e);
    const std::uint64_t h = (m ^ (m >> 29) ^ (static_cast<std::uint64_t>(e) << 48)) * 0x9E3779B97F4A7C15ull;
    Pair& slot = table[h >> (64 - bits)];
    if (!(slot.used && slot.mantissa == m && slot.exponent == e)) {
      slot.sin = std::sin(x);
      slot.cos = std::cos(x);
      slot.mantissa = m;
      slot.exponent = e;
      slot.used = true;
    }
    s = slot.sin;
    c = slot.cos;
  }
}

}  // namespace qern::trigmemo

namespace qern {

inline long double MemoSin(long double x) { return trigmemo::Lookup<trigmemo::Fn::Sin>(x); }
inline long double MemoCos(long double x) { return trigmemo::Lookup<trigmemo::Fn::Cos>(x); }
inline long double MemoTan(long double x) { return trigmemo::Lookup<trigmemo::Fn::Tan>(x); }
inline void MemoSinCos(long double x, long double& s, long double& c) {
  trigmemo::LookupSinCos(x, s, c);
}
// Arc cosine for -1 < x < 1 only (the guarded ArcCosChecked handles the rest).
inline long double MemoAcos(long double x) { return trigmemo::Lookup<trigmemo::Fn::Acos>(x); }

}  // namespace qern

// Conversions of the host's doubles to integers with a defined result.
// A plain cast is undefined for NaN, infinities and values beyond the target's
// range; here NaN gives 0 and everything else truncates toward zero and
// saturates at the target's limits.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace host {

template <typename Int>
constexpr Int Truncate(double value) {
  static_assert(std::numeric_limits<Int>::is_integer, "integer targets only");
  if (value != value) return 0;  // NaN
  constexpr double kMin = static_cast<double>(std::numeric_limits<Int>::min());
  // max + 1 is a power of two and exact as a double; max itself may not be.
  constexpr double kMaxPlusOne = static_cast<double>(std::numeric_limits<Int>::max() / 2 + 1) * 2.0;
  if (value <= kMin) return std::numeric_limits<Int>::min();
  if (value >= kMaxPlusOne) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}

inline int32_t TruncToInt32(double value) { return Truncate<int32_t>(value); }
inline uint32_t TruncToUint32(double value) { return Truncate<uint32_t>(value); }

// value x 4 truncated toward zero, its low 16 bits as an unsigned number: the
// simulation-rate scaling of the display tests. NaN and out-of-range rates give
// the 64-bit truncation's saturated value before the low bits are taken.
inline uint16_t SimRateQuarters(double sim_rate) {
  return static_cast<uint16_t>(static_cast<uint64_t>(Truncate<int64_t>(sim_rate * 4.0)) & 0xFFFFu);
}

// A double narrowed to a float, saturating at the float's range instead of the
// undefined conversion of values beyond it. NaN and infinities pass as they are.
inline float ToFloat(double value) {
  constexpr double kMax = static_cast<double>(std::numeric_limits<float>::max());
  if (value > kMax && value != std::numeric_limits<double>::infinity()) return std::numeric_limits<float>::max();
  if (value < -kMax && value != -std::numeric_limits<double>::infinity()) return -std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

}  // namespace host

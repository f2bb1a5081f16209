#include "gauges/readout/vs_readout.h"

#include <cmath>

#include "host/convert.h"

namespace readout {

namespace {
constexpr double kHidden = -1.0;
// The two digits hold at most 99 hundreds: larger references peg the readout
// at 9900 rather than show digits that no frame holds.
constexpr float kMaxThousands = 10.0f;
constexpr float kMaxHundreds = 100.0f;
constexpr double kPegged = 9.0;
}  // namespace

double VsSign(double fpm) {
  if (fpm != fpm) return kHidden;
  if (fpm <= -100.0) return 2.0;
  const float f = host::ToFloat(fpm);
  if (f > -100.0f && f < 100.0f) return 0.0;
  if (f >= 100.0f) return 1.0;
  // Only a hair above -100 that rounds to -100 as a float lands here: the
  // negative value hides the sign.
  return f;
}

double VsThousands(double fpm) {
  float t = host::ToFloat(fpm / 1000.0);
  if (t != t) return kHidden;
  if (t < 0.0f) t = -t;
  if (t < 1.0f) return kHidden;
  if (t >= kMaxThousands) return kPegged;
  return t;
}

double VsHundreds(double fpm) {
  float h = host::ToFloat(fpm / 100.0);
  if (h != h) return kHidden;
  if (h < 0.0f) h = -h;
  if (h >= kMaxHundreds) return kPegged;
  float digit = h;
  if (digit > 19.0f) digit = digit - 20.0f;
  if (digit > 9.0f) digit = digit - 10.0f;
  // For whole hundreds below 4000 ft/min the steps above leave the digit.
  // Elsewhere they can leave a negative fraction (950 gives -0.5) or 10 and
  // more, which no frame shows; the readout then shows the last digit of the
  // whole hundreds, as it does everywhere else.
  if (digit < 0.0f || digit >= 10.0f) digit = std::fmod(h, 10.0f);
  return digit;
}

}  // namespace readout

#include "gauges/readout/vs_readout.h"

#include "host/convert.h"

namespace readout {

double VsSign(double fpm) {
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
  if (t < 0.0f) t = -t;
  if (t < 1.0f) return -1.0;
  return t;
}

double VsHundreds(double fpm) {
  float h = host::ToFloat(fpm / 100.0);
  if (h < 0.0f) h = -h;
  if (h > 19.0f) h = h - 20.0f;
  if (h > 9.0f) h = h - 10.0f;
  return h;
}

}  // namespace readout

#include "emulator/flight_model.h"

#include <algorithm>
#include <cmath>

#include "host/catalogue.h"

namespace talvor {
namespace {

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

// Bounds that keep every figure a gauge might turn into an integer sane.
constexpr double kMaxAltitudeFt = 60000;
constexpr double kMaxVsFpm = 20000;

}  // namespace

void FlightModel::set_manual_vertical_speed_fpm(double fpm) {
  manual_vs_fpm_ = std::clamp(Finite(fpm), -kMaxVsFpm, kMaxVsFpm);
}

void FlightModel::set_ground_speed_kt(const VariableStore& vars, double knots) {
  const double airspeed = Finite(vars.Get(VarAirspeed));
  ground_speed_kt_ = std::max(0.0, Finite(knots));
  tailwind_kt_ = ground_speed_kt_ - airspeed;
}

void FlightModel::Step(VariableStore& vars, double seconds) {
  seconds = std::clamp(Finite(seconds), 0.0, 60.0);

  const double field_ft = settings_.field_elevation_ft;
  double altitude_ft = Finite(vars.Get(VarAltitudeMeters)) * kFeetPerMetre;
  if (Finite(vars.Get(VarApAltitudeLock)) != 0) {
    vs_fpm_ = 0;
  } else if (Finite(vars.Get(VarApVsLock)) != 0) {
    vs_fpm_ = std::clamp(Finite(vars.Get(VarApVsRef)), -kMaxVsFpm, kMaxVsFpm);
  } else {
    vs_fpm_ = manual_vs_fpm_;
  }
  altitude_ft += vs_fpm_ * seconds / 60.0;
  altitude_ft = std::min(altitude_ft, kMaxAltitudeFt);
  const bool on_ground = altitude_ft <= field_ft;
  if (on_ground) {
    altitude_ft = field_ft;
    if (vs_fpm_ < 0) vs_fpm_ = 0;
  }
  vars.Set(VarAltitudeMeters, altitude_ft / kFeetPerMetre);
  vars.Set(VarOnGround, on_ground ? 1.0 : 0.0);

  const double throttle = std::clamp(Finite(vars.Get(VarThrottleLever)), 0.0, 16383.0);
  const double target_kt = settings_.max_airspeed_kt * throttle / 16383.0;
  double airspeed = Finite(vars.Get(VarAirspeed));
  const double lag = settings_.airspeed_lag_s > 0 ? settings_.airspeed_lag_s : 1.0;
  airspeed += (target_kt - airspeed) * (1.0 - std::exp(-seconds / lag));
  vars.Set(VarAirspeed, airspeed);

  ground_speed_kt_ = std::max(0.0, airspeed + tailwind_kt_);
}

}  // namespace talvor

// The previewer's own aircraft: just enough flight for the panel to come
// alive (altitude, airspeed, ground contact). It is not the simulator's
// model; it answers the variables the gauges read and the autopilot modes
// the emulator's event model sets.
#pragma once

#include <cstdint>

namespace talvor {

// Host variables as the model sees them (a Session in the previewer, a plain
// table in tests).
class VariableStore {
 public:
  virtual ~VariableStore() = default;
  virtual double Get(uint32_t token) const = 0;
  virtual void Set(uint32_t token, double value) = 0;
};

class FlightModel {
 public:
  struct Settings {
    double field_elevation_ft = 500;  // the ground under the aircraft
    double max_airspeed_kt = 160;     // airspeed at full throttle (16383)
    double airspeed_lag_s = 4;        // time constant of airspeed following the throttle
  };

  FlightModel() = default;
  explicit FlightModel(const Settings& settings) : settings_(settings) {}

  // Advances the model by `seconds` of simulated time:
  // - ALT hold on (108): the altitude holds;
  // - else VS hold on (119): the altitude follows the VS reference (120, ft/min);
  // - else: the altitude follows the hand-flown vertical speed below;
  // - never below the field elevation; on ground (60) is 1 there, else 0;
  // - the airspeed (61) follows the throttle (128) with a first-order lag;
  // - the ground speed follows the airspeed.
  // Non-finite variables are taken as 0, so a bad value cannot poison the model.
  void Step(VariableStore& vars, double seconds);

  // Vertical speed flown without the autopilot, ft/min.
  double manual_vertical_speed_fpm() const { return manual_vs_fpm_; }
  void set_manual_vertical_speed_fpm(double fpm);
  // The vertical speed of the latest step, ft/min (0 on the ground).
  double vertical_speed_fpm() const { return vs_fpm_; }

  // Ground speed is the airspeed plus a tailwind component (no less than 0).
  // Setting the ground speed sets that component against the airspeed of
  // the moment.
  double ground_speed_kt() const { return ground_speed_kt_; }
  void set_ground_speed_kt(const VariableStore& vars, double knots);

  const Settings& settings() const { return settings_; }

 private:
  Settings settings_;
  double manual_vs_fpm_ = 0;
  double vs_fpm_ = 0;
  double tailwind_kt_ = 0;
  double ground_speed_kt_ = 0;
};

inline constexpr double kFeetPerMetre = 3.28083989501312;

}  // namespace talvor

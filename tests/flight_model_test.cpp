// The previewer's own aircraft model, against a plain table of variables.
#include "emulator/flight_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "host/catalogue.h"

namespace talvor {
namespace {

struct Table : VariableStore {
  std::map<uint32_t, double> v;
  double Get(uint32_t t) const override {
    auto it = v.find(t);
    return it == v.end() ? 0.0 : it->second;
  }
  void Set(uint32_t t, double value) override { v[t] = value; }
  double Feet() const { return Get(VarAltitudeMeters) * kFeetPerMetre; }
};

// Steps the model at the host's 18 updates a second.
void Fly(FlightModel& m, Table& t, double seconds) {
  for (int i = 0; i < static_cast<int>(std::lround(seconds * 18)); ++i) m.Step(t, 1.0 / 18);
}

TEST(FlightModel, AltitudeFollowsTheAutopilotModes) {
  struct Case {
    const char* what;
    double alt_lock, vs_lock, vs_ref, manual_fpm, start_ft, seconds, want_ft;
    bool on_ground;
  };
  const Case cases[] = {
      {"VS hold climbs at the reference", 0, 1, 600, 0, 3000, 60, 3600, false},
      {"VS hold descends at the reference", 0, 1, -1200, 0, 3000, 30, 2400, false},
      {"ALT hold wins over VS hold", 1, 1, 600, 0, 3000, 60, 3000, false},
      {"ALT hold ignores the hand-flown rate", 1, 0, 0, 900, 3000, 60, 3000, false},
      {"no mode flies the hand-flown rate", 0, 0, 600, -300, 3000, 60, 2700, false},
      {"a descent stops on the field", 0, 1, -2000, 0, 1000, 60, 500, true},
      {"below the field is put on it", 0, 0, 0, 0, 0, 1, 500, true},
      {"a climb from the field leaves the ground", 0, 1, 500, 0, 500, 6, 550, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FlightModel m;
    Table t;
    t.Set(VarApAltitudeLock, c.alt_lock);
    t.Set(VarApVsLock, c.vs_lock);
    t.Set(VarApVsRef, c.vs_ref);
    t.Set(VarAltitudeMeters, c.start_ft / kFeetPerMetre);
    m.set_manual_vertical_speed_fpm(c.manual_fpm);
    Fly(m, t, c.seconds);
    EXPECT_NEAR(t.Feet(), c.want_ft, 0.5);
    EXPECT_EQ(t.Get(VarOnGround), c.on_ground ? 1.0 : 0.0);
  }
}

TEST(FlightModel, AirspeedLagsBehindTheThrottle) {
  FlightModel m;  // 160 kt at full throttle, 4 s time constant
  Table t;
  t.Set(VarAltitudeMeters, 3000 / kFeetPerMetre);
  t.Set(VarThrottleLever, 16383);
  Fly(m, t, 4);
  EXPECT_NEAR(t.Get(VarAirspeed), 160 * (1 - std::exp(-1.0)), 1.0);
  Fly(m, t, 60);
  EXPECT_NEAR(t.Get(VarAirspeed), 160, 0.1);
  // Throttle closed: it slows down without undershooting.
  t.Set(VarThrottleLever, 0);
  double last = t.Get(VarAirspeed);
  for (int i = 0; i < 18 * 60; ++i) {
    m.Step(t, 1.0 / 18);
    ASSERT_LE(t.Get(VarAirspeed), last);
    ASSERT_GE(t.Get(VarAirspeed), 0.0);
    last = t.Get(VarAirspeed);
  }
  // The ground speed is the airspeed plus the wind set through it.
  t.Set(VarThrottleLever, 16383 / 2.0);
  Fly(m, t, 60);
  m.set_ground_speed_kt(t, t.Get(VarAirspeed) + 15);
  m.Step(t, 1.0 / 18);
  EXPECT_NEAR(m.ground_speed_kt(), t.Get(VarAirspeed) + 15, 1e-9);
}

TEST(FlightModel, BadValuesDoNotPoisonTheModel) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  FlightModel m;
  Table t;
  t.Set(VarAltitudeMeters, nan);
  t.Set(VarApVsLock, 1);
  t.Set(VarApVsRef, inf);
  t.Set(VarThrottleLever, -inf);
  t.Set(VarAirspeed, nan);
  m.set_manual_vertical_speed_fpm(nan);
  m.set_ground_speed_kt(t, nan);
  m.Step(t, inf);
  m.Step(t, 1.0 / 18);
  for (uint32_t token : {VarAltitudeMeters, VarAirspeed, VarOnGround}) EXPECT_TRUE(std::isfinite(t.Get(token))) << token;
  EXPECT_TRUE(std::isfinite(m.ground_speed_kt()));
  EXPECT_LE(t.Feet(), 60000.5);
}

}  // namespace
}  // namespace talvor

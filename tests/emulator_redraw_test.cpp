// The panel picture is redrawn only where a gauge's picture changed; what it
// shows must be what a drawing from scratch shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "emulator/session.h"
#include "host/catalogue.h"

#if TALVOR_HAVE_RASTER

namespace {

size_t DifferingPixels(const talvor::Raster& a, const talvor::Raster& b) {
  size_t n = 0;
  for (size_t i = 0; i + 3 < a.rgba.size() && i + 3 < b.rgba.size(); i += 4) {
    if (a.rgba[i] != b.rgba[i] || a.rgba[i + 1] != b.rgba[i + 1] || a.rgba[i + 2] != b.rgba[i + 2] ||
        a.rgba[i + 3] != b.rgba[i + 3]) {
      ++n;
    }
  }
  return n;
}

// A panel whose clock overlaps the airspeed indicator's lower right, taken
// through needle moves, night lighting and a picture of one instance at
// another scale. With `along`, the panel is drawn after every change, so the
// last picture is recomposed from the ones before; without, it is drawn once.
talvor::Raster Final(bool along) {
  talvor::Session s(talvor::Session::DefaultModulePath());
  s.SetTime(10, 0, 0);
  s.AddGauge("Airspeed", 0, 0, 240, 240);
  s.AddGauge("Davtron 803", 150, 150, 180, 180);
  s.AddGauge("Spoiler", 400, 0);
  auto step = [&](double knots, bool night) {
    s.Set(VarAirspeed, knots);
    s.SetNight(night);
    s.Run(1);
    if (along) s.RenderPanel(1.0);
  };
  step(60, false);
  step(60, false);   // nothing changed
  step(160, false);  // the needle turns under the clock
  if (along) s.RenderGauge("Airspeed", 2.0);
  step(180, false);  // drawn at scale 2 in between: the panel must not keep its old airspeed
  step(180, true);
  step(120, false);
  s.Run(18);  // the clock's second and the needle's last move come to the panel at once
  return s.RenderPanel(1.0);
}

TEST(PanelRedraw, RecomposedPictureEqualsAFreshDrawing) {
  const talvor::Raster recomposed = Final(true);
  const talvor::Raster fresh = Final(false);
  ASSERT_EQ(recomposed.width, fresh.width);
  ASSERT_EQ(recomposed.height, fresh.height);
  EXPECT_EQ(DifferingPixels(recomposed, fresh), 0u);
}

TEST(PanelRedraw, SameStateGivesTheSamePictureAtEachScale) {
  talvor::Session s(talvor::Session::DefaultModulePath());
  s.SetTime(10, 0, 0);
  s.AddGauge("Airspeed", 0, 0, 240, 240);
  s.Set(VarAirspeed, 100);
  s.Run(1);
  const talvor::Raster one = s.RenderPanel(1.0);
  const talvor::Raster two = s.RenderPanel(2.0);
  EXPECT_EQ(two.width, 2 * one.width);
  EXPECT_EQ(DifferingPixels(s.RenderPanel(1.0), one), 0u);
  EXPECT_EQ(DifferingPixels(s.RenderPanel(2.0), two), 0u);
}

}  // namespace

#endif

// Pictures of the panel as the host composes them: gauges placed and scaled
// on the window's background, icons by frame, needles turned the right way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "emulator/session.h"
#include "host/catalogue.h"
#include "tests/test_support.h"

#if TALVOR_HAVE_RASTER

namespace {

struct Rgb {
  int r, g, b;
};

Rgb At(const talvor::Raster& img, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * img.width + x) * 4;
  return {img.rgba[i], img.rgba[i + 1], img.rgba[i + 2]};
}

void ExpectNear(const talvor::Raster& img, int x, int y, Rgb want, const std::string& what) {
  const Rgb got = At(img, x, y);
  EXPECT_TRUE(std::abs(got.r - want.r) <= 6 && std::abs(got.g - want.g) <= 6 && std::abs(got.b - want.b) <= 6)
      << what << " at (" << x << "," << y << "): got " << got.r << "," << got.g << "," << got.b << " want " << want.r
      << "," << want.g << "," << want.b;
}

// The test module's colours.
constexpr Rgb kBackground{10, 20, 30};
constexpr Rgb kFace{20, 40, 60};
constexpr Rgb kFrame1{0, 200, 0};
constexpr Rgb kNeedle{250, 250, 250};

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() : s(talvor::testing::TestModulePath()) {
    const std::string dir = talvor::testing::FreshDir("render");
    talvor::testing::WriteText(dir + "/panel.cfg",
                               "[Window00]\nsize_mm=400,300\nbackground_color=10,20,30\n"
                               "gauge00=talvor_test_module!Fixture, 200,100,100\n");
    s.LoadPanel(dir + "/panel.cfg");
    s.Set(VarApHeadingLock, 1);
    s.Set(VarThrottleLever, 0);
  }
  talvor::Session s;
};

TEST_F(RenderTest, GaugesSitAtTheirPlaceOnTheWindowsBackground) {
  s.Set(VarAirspeed, 100);  // the needle points right from its pivot at (50, 40)
  s.Run();
  for (double scale : {1.0, 2.0}) {
    const talvor::Raster panel = s.RenderPanel(scale);
    ASSERT_EQ(panel.width, static_cast<int>(400 * scale));
    ASSERT_EQ(panel.height, static_cast<int>(300 * scale));
    auto p = [scale](double v) { return static_cast<int>(v * scale); };
    ExpectNear(panel, p(10), p(10), kBackground, "background");
    ExpectNear(panel, p(199), p(150), kBackground, "left of the gauge");
    ExpectNear(panel, p(200 + 90), p(100 + 30), kFace, "face");
    ExpectNear(panel, p(200 + 10), p(100 + 10), kFrame1, "icon frame 1");
    ExpectNear(panel, p(200 + 65), p(100 + 40), kNeedle, "needle, pointing right");
    ExpectNear(panel, p(200 + 50), p(100 + 60), kFace, "nothing below the pivot");
  }
}

TEST_F(RenderTest, NeedlesTurnClockwiseAndHiddenIconsLeaveTheFace) {
  s.Set(VarAirspeed, 200);  // pointing down
  s.Set(VarApHeadingLock, -1);
  s.Run();
  const talvor::Raster gauge = s.RenderGauge("Fixture");
  ASSERT_EQ(gauge.width, 100);
  ASSERT_EQ(gauge.height, 80);
  ExpectNear(gauge, 50, 60, kNeedle, "needle, pointing down");
  ExpectNear(gauge, 65, 40, kFace, "nothing to the right");
  ExpectNear(gauge, 10, 10, kFace, "hidden icon");
}

TEST_F(RenderTest, NightDimsElementsWithoutTheBrightFlag) {
  s.Run();
  s.SetNight(true);
  const talvor::Raster night = s.RenderGauge("Fixture");
  const Rgb face = At(night, 90, 30);
  EXPECT_LT(face.b, kFace.b) << "the face is dimmed";
  EXPECT_GT(face.b, 0);
  EXPECT_THROW(s.RenderGauge("Fixture", 0.0), std::invalid_argument);
}

}  // namespace

#endif

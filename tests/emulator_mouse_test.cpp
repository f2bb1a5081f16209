// The host's mouse against the test module's "Fixture Mouse" list:
//   outer parent (whole gauge) with a tooltip
//     parent (10,10,40,40) help HDG: child A (0,0,20,20) click, child B (0,0,40,40) click+repeat
//     parent (60,10,30,60): parent (5,5,20,20) help throttle: child C click+drag
//                           child E (0,30,30,30) no events, child F same box, click
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "emulator/mouse.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/fixtures/fixture_log.h"
#include "tests/test_support.h"

namespace {

using talvor::Session;
using talvor::testing::TestModulePath;

constexpr const char* kGauge = "Fixture Mouse";

struct Call {
  std::string area;
  int x, y;
  uint32_t flags;
  bool operator==(const Call& o) const { return area == o.area && x == o.x && y == o.y && flags == o.flags; }
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
  return os << c.area << "(" << c.x << "," << c.y << ") 0x" << std::hex << c.flags << std::dec;
}

class MouseTest : public ::testing::Test {
 protected:
  MouseTest() : s(TestModulePath()) {
    s.AddGauge(kGauge);
    log = talvor::testing::ModuleSymbol<FixtureLog>(TestModulePath(), "FixtureLogData");
    Calls();
  }
  std::vector<Call> Calls() {
    std::vector<Call> out;
    for (uint32_t i = 0; i < log->count; ++i) {
      const FixtureLogEntry& e = log->entries[i];
      if (std::string(e.what) == "mouse") out.push_back({e.tag, e.a, e.b, e.flags});
    }
    log->count = 0;
    return out;
  }
  Session s;
  FixtureLog* log = nullptr;
};

TEST_F(MouseTest, AClickGoesToTheFirstChildThatHoldsThePointAndAsksForClicks) {
  const struct {
    int x, y;
    std::vector<Call> calls;
  } cases[] = {
      {15, 15, {{"A", 5, 5, kMouseLeftSingle}}},    // A and B overlap: A comes first
      {10, 10, {{"A", 0, 0, kMouseLeftSingle}}},    // boxes hold their top-left corner...
      {30, 30, {{"B", 20, 20, kMouseLeftSingle}}},  // ...but not their right and bottom edges
      {49, 49, {{"B", 39, 39, kMouseLeftSingle}}},
      {50, 50, {}},
      {70, 20, {{"C", 5, 5, kMouseLeftSingle}}},    // offset by two parents
      {65, 45, {{"F", 5, 5, kMouseLeftSingle}}},    // E asks for nothing, F below it does
      {5, 5, {}},                                   // only the outer parent
      {-1, 200, {}},
  };
  for (const auto& c : cases) {
    s.Click(kGauge, c.x, c.y);
    EXPECT_EQ(Calls(), c.calls) << c.x << "," << c.y;
  }
}

TEST_F(MouseTest, AHeldButtonRepeatsOncePerUpdateWhereTheAreaAsks) {
  s.Hold(kGauge, 35, 35, 3);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"B", 25, 25, kMouseLeftSingle},
                                        {"B", 25, 25, kMouseRepeat},
                                        {"B", 25, 25, kMouseRepeat},
                                        {"B", 25, 25, kMouseRepeat}}));
  EXPECT_EQ(s.TakeEvents().size(), 4u) << "one event per call";
  EXPECT_EQ(s.Get(VarApVsRef), 400.0);
  EXPECT_EQ(s.UpdateCount(), 3u);

  // A holds the point first and asks for no repeats: B, below it, gets none either.
  s.Hold(kGauge, 15, 15, 3);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"A", 5, 5, kMouseLeftSingle}}));
  EXPECT_FALSE(s.MouseIsDown());
}

TEST_F(MouseTest, RepeatsAndDragsStayWithTheAreaFoundAtButtonDown) {
  const int instance = s.Instance(kGauge);
  s.MouseDown(instance, 35, 35);
  s.MouseMove(70, 20);  // over C now: B keeps the button, and B asks for no drags
  s.Run(1);
  s.MouseUp();
  s.Run(1);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"B", 25, 25, kMouseLeftSingle}, {"B", 60, 10, kMouseRepeat}}));
}

TEST_F(MouseTest, DragsPassThePointRelativeToTheAreaEvenOutsideIt) {
  s.Drag(kGauge, 70, 20, 70, 100, 4);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"C", 5, 5, kMouseLeftSingle},
                                        {"C", 5, 25, kMouseLeftDrag},
                                        {"C", 5, 45, kMouseLeftDrag},
                                        {"C", 5, 65, kMouseLeftDrag},
                                        {"C", 5, 85, kMouseLeftDrag}}));
  s.Drag(kGauge, 70, 20, 50, 0, 2);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"C", 5, 5, kMouseLeftSingle},
                                        {"C", -5, -5, kMouseLeftDrag},
                                        {"C", -15, -15, kMouseLeftDrag}}));
  // A click-only area gets no drag calls.
  s.Drag(kGauge, 15, 15, 40, 40, 3);
  EXPECT_EQ(Calls(), (std::vector<Call>{{"A", 5, 5, kMouseLeftSingle}}));
  const std::vector<talvor::SentEvent> events = s.TakeEvents();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (talvor::SentEvent{EvtThrottleSet, 5}));
}

TEST_F(MouseTest, TheCursorIsThatOfTheFirstChildUnderThePoint) {
  const struct {
    int x, y, cursor;
  } cases[] = {{15, 15, kCursorHand}, {35, 35, kCursorUpArrow}, {70, 20, kCursorDownArrow},
               {65, 45, kCursorNone},  // E, with no cursor, comes before F
               {5, 5, kCursorNone},    {500, 5, kCursorNone}};
  for (const auto& c : cases) EXPECT_EQ(s.CursorAt(kGauge, c.x, c.y), c.cursor) << c.x << "," << c.y;
}

TEST_F(MouseTest, ARestingPointerShowsTheInnermostTooltipOrHelpText) {
  s.Set(VarAirspeed, 55.7);
  s.Set(VarApVsRef, -250.9);
  const std::string tooltip = "Speed 111 kt, 7, vs -250, %4!d! left";
  const struct {
    int x, y;
    std::string text;
  } cases[] = {
      {5, 5, tooltip},                                 // outer parent: its tooltip
      {15, 15, "Autopilot heading mode (HDG)"},         // inner parent's help id
      {70, 20, "Throttle"},                             // two parents deep
      {62, 12, tooltip},                                // a parent with neither: outwards
      {-5, 5, ""},                                      // off the gauge
  };
  for (const auto& c : cases) EXPECT_EQ(s.TooltipAt(kGauge, c.x, c.y), c.text) << c.x << "," << c.y;
}

TEST_F(MouseTest, TooltipArgumentsPassThroughTheirCallbacks) {
  s.Set(VarAirspeed, 20.25);
  s.TooltipAt(kGauge, 5, 5);
  std::vector<FixtureLogEntry> tips;
  for (uint32_t i = 0; i < log->count; ++i) {
    if (std::string(log->entries[i].what) == "tip") tips.push_back(log->entries[i]);
  }
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_STREQ(tips[0].tag, "ok") << "the text, the source and the gauge are passed";
  EXPECT_EQ(tips[0].a, static_cast<int32_t>(VarAirspeed));
  EXPECT_EQ(tips[0].value, 20.25) << "the source's value as the number so far";
}

TEST_F(MouseTest, TooltipNumbersAreTruncatedWithoutUndefinedResults) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double airspeed;  // doubled by the argument's callback
    const char* shown;
  } cases[] = {{10.4, "20"},  {-10.4, "-20"},       {0.2, "0"},
               {nan, "0"},    {1e300, "2147483647"}, {-1e300, "-2147483648"},
               {std::numeric_limits<double>::infinity(), "2147483647"}};
  for (const auto& c : cases) {
    s.Set(VarAirspeed, c.airspeed);
    const std::string text = s.TooltipAt(kGauge, 5, 5);
    EXPECT_EQ(text.substr(0, text.find(" kt")), std::string("Speed ") + c.shown) << c.airspeed;
  }
}

TEST(EmulatorHelpTexts, UnknownIdsShowTheirNumber) {
  EXPECT_EQ(talvor::HelpText(0xAB6B), "Mixture");
  EXPECT_EQ(talvor::HelpText(0x1234), "Help 0x1234");
}

}  // namespace

// Davtron 803: its records as a host reads them, the window modes, the flight
// and elapsed timers, and what every cell of both windows shows, driven
// through the emulator.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/golden.h"

namespace {

const char kGauge[] = "Davtron 803";

// Drawing order of the element chain.
enum Element {
  kFace = 1,
  kColon,
  kLower4,
  kLower3,
  kLower2,
  kLower1,
  kLowerMode,
  kUpperLetter,
  kUpper3,
  kUpper2,
  kUpper1,
  kPoint,
};

enum Upper { kVolts = 1, kFahrenheit, kCelsius };
enum Lower { kUtc = 1, kLocal, kFlight, kElapsed };

constexpr double kHidden = -1;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Digits4 = std::array<double, 4>;
using Digits3 = std::array<double, 3>;

struct ClockTest : ::testing::Test {
  talvor::Session session{talvor::Session::DefaultModulePath()};
  int upper = kVolts;
  int lower = kLocal;

  // A fresh module on the ground at 12:00:00, its flight second seeded.
  void SetUp() override {
    session.AddGauge(kGauge);
    session.SetTime(12, 0, 0);
    session.Run(1);
  }

  double Value(int element) { return session.Element(kGauge, element).value; }
  void PressTop() { session.Click(kGauge, 104, 19); }
  void PressSelect() { session.Click(kGauge, 67, 178); }
  void PressControl() { session.Click(kGauge, 140, 178); }

  void UpperMode(int mode) {
    for (; upper != mode; upper = upper % 3 + 1) PressTop();
  }
  void LowerMode(int mode) {
    for (; lower != mode; lower = lower % 4 + 1) PressSelect();
  }

  // The lower window left to right: digit 1, digit 2, colon, digit 3, digit 4.
  Digits4 Lower() { return {Value(kLower1), Value(kLower2), Value(kLower3), Value(kLower4)}; }
  // The upper window left to right: digit 1, digit 2, point, digit 3.
  Digits3 Upper() { return {Value(kUpper1), Value(kUpper2), Value(kUpper3)}; }

  // Digits 2 to 4 come before digit 1 in drawing order, so they show the
  // split that digit 1 stored an update earlier: two updates within the same
  // second bring all four together, also right after a change into FT or ET.
  Digits4 SettledLower() {
    session.Run(2);
    return Lower();
  }

  // Counts n seconds on the running timers: the local clock jumps at every
  // update, and any change of second counts one. Expects the timers to have
  // counted at the current second already.
  void CountSeconds(int n) {
    const int s0 = static_cast<int>(session.Get(VarClockSecond));
    for (int i = 0; i < n; ++i) {
      session.SetTime(12, 0, i % 2 == 0 ? (s0 + 1) % 60 : s0);
      session.Run(1);
    }
  }
};

TEST_F(ClockTest, RecordsAsTheHostReadsThem) {
  const GAUGEHDR* h = session.GaugeHeader(kGauge);
  EXPECT_EQ(h->version, 800u);
  EXPECT_STREQ(h->name, "Davtron 803");
  EXPECT_EQ(h->width_mm, 205u);
  EXPECT_NE(h->callback, nullptr);
  EXPECT_EQ(h->user_data, 0u);
  EXPECT_EQ(h->parameters, nullptr);
  EXPECT_EQ(h->flags, 0u);

  struct Row {
    uint32_t kind, bitmap, frames;
    int x, y;
    uint32_t flags;
    bool fails_with_panel;
  };
  const Row rows[] = {
      {kElementStatic, 0x1500, 0, 0, 0, 0x83, false},  {kElementIcon, 0x1570, 1, 116, 100, 0x3, true},
      {kElementIcon, 0x1550, 10, 160, 100, 0x3, true}, {kElementIcon, 0x1550, 10, 138, 100, 0x3, true},
      {kElementIcon, 0x1550, 10, 95, 100, 0x3, true},  {kElementIcon, 0x1550, 10, 73, 100, 0x3, true},
      {kElementIcon, 0x1510, 4, 22, 100, 0x3, true},   {kElementIcon, 0x1580, 3, 136, 52, 0x3, true},
      {kElementIcon, 0x1550, 10, 112, 52, 0x3, true},  {kElementIcon, 0x1550, 10, 72, 52, 0x3, true},
      {kElementIcon, 0x1550, 10, 49, 52, 0x3, true},   {kElementStatic, 0x1560, 0, 92, 52, 0x83, true},
  };
  const ELEMENT_HEADER* e = *h->elements;
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i + 1);
    const Row& r = rows[i];
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, r.kind);
    EXPECT_EQ(e->bitmap_id, r.bitmap);
    EXPECT_EQ(e->position.x, r.x);
    EXPECT_EQ(e->position.y, r.y);
    EXPECT_EQ(e->offset.x | e->offset.y, 0);
    EXPECT_EQ(e->gauge, h);
    EXPECT_EQ(e->image_flags, r.flags);
    EXPECT_EQ(e->special_flags, 0u);
    ASSERT_NE(e->failures, nullptr);
    if (r.fails_with_panel) {
      EXPECT_EQ(e->failures[0].key, 20u);
      EXPECT_EQ(e->failures[0].action, 3u);
      EXPECT_EQ(e->failures[1].key, 0u);
    } else {
      EXPECT_EQ(e->failures[0].key, 0u);
    }
    if (r.kind == kElementIcon) {
      const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(e);
      EXPECT_EQ(icon->source.id, 0u);
      EXPECT_NE(icon->callback, nullptr);
      EXPECT_EQ(icon->frame_count, r.frames);
      EXPECT_EQ(icon->switch_type, 0u);
      EXPECT_EQ(icon->scale, 0.0);
      EXPECT_EQ(icon->offset, 0.0);
    }
    // A single chain: each list holds the next element alone.
    if (i + 1 < std::size(rows)) {
      ASSERT_NE(e->next_elements, nullptr);
      EXPECT_EQ(e->next_elements[1], nullptr);
      e = e->next_elements[0];
    } else {
      EXPECT_EQ(e->next_elements, nullptr);
    }
  }

  struct Area {
    uint32_t type;
    PIXBOX box;
    int32_t cursor;
    uint32_t flags;
    bool has_function;
  };
  const Area areas[] = {
      {kMouseParent, {0, 0, 0, 0}, -1, 0, false},
      {kMouseChild, {87, 5, 35, 28}, 5, 0x20000000, true},
      {kMouseChild, {47, 159, 41, 38}, 5, 0x20000000, true},
      {kMouseChild, {120, 159, 41, 38}, 5, 0x20000000, true},
      {kMouseEndParent, {0, 0, 0, 0}, -1, 0, false},
      {kMouseEnd, {0, 0, 0, 0}, -1, 0, false},
  };
  const MOUSERECT* m = h->mouse_rects;
  for (size_t i = 0; i < std::size(areas); ++i) {
    SCOPED_TRACE(i + 1);
    const Area& a = areas[i];
    EXPECT_EQ(m[i].type, a.type);
    EXPECT_EQ(m[i].box.x, a.box.x);
    EXPECT_EQ(m[i].box.y, a.box.y);
    EXPECT_EQ(m[i].box.w, a.box.w);
    EXPECT_EQ(m[i].box.h, a.box.h);
    EXPECT_EQ(m[i].cursor, a.cursor);
    EXPECT_EQ(m[i].help_id, 0u);
    EXPECT_EQ(m[i].flags, a.flags);
    EXPECT_EQ(m[i].event_id, 0u);
    EXPECT_EQ(m[i].function.mouse != nullptr, a.has_function);
    EXPECT_EQ(m[i].data, nullptr);
  }
}

TEST_F(ClockTest, ButtonsStepTheWindowModes) {
  EXPECT_EQ(Value(kUpperLetter), 0);  // E: volts
  EXPECT_EQ(Value(kLowerMode), 1);    // LT
  for (double letter : {1, 2, 0, 1}) {
    PressTop();
    session.Run(1);
    EXPECT_EQ(Value(kUpperLetter), letter);
  }
  for (double light : {2, 3, 0, 1, 2}) {
    PressSelect();
    session.Run(1);
    EXPECT_EQ(Value(kLowerMode), light);
  }
  EXPECT_EQ(session.CursorAt(kGauge, 104, 19), 5);
  EXPECT_EQ(session.CursorAt(kGauge, 104, 100), -1);
}

TEST_F(ClockTest, UpperWindow) {
  struct Case {
    int mode;
    double input;  // volts, or degrees Celsius
    Digits3 want;
  };
  const Case cases[] = {
      {kVolts, 28.0, {2.8f, 8, 0}},
      {kVolts, 9.8, {kHidden, 9.8f, 8.000002f}},
      {kVolts, 0.0, {kHidden, 0, 0}},
      // Narrowed to 32 bits these carry a cell to 10: shown as the 0 it is.
      {kVolts, 27.99999999, {2.8f, 8, 0}},
      {kVolts, 29.9999999, {3, 0, 0}},
      // Beyond two whole digits the window pegs at 99.9.
      {kVolts, 150.0, {9, 9, 9}},
      {kVolts, kInf, {9, 9, 9}},
      {kVolts, kNaN, {kHidden, kHidden, kHidden}},
      {kVolts, -kInf, {kHidden, kHidden, kHidden}},
      {kFahrenheit, 15.0, {5.9f, 9, 0}},
      {kCelsius, 15.0, {1.5f, 5, 0}},
      {kCelsius, 0.0, {kHidden, 0, 0}},
      // No sign: a cell below zero stays dark.
      {kCelsius, -5.0, {kHidden, kHidden, 0}},
      {kCelsius, -40.0, {kHidden, 0, 0}},
      {kFahrenheit, -40.0, {kHidden, 0, 0}},
      {kFahrenheit, -100.0, {kHidden, kHidden, 0}},  // clamped to -99
      {kFahrenheit, 40.0, {9, 9, 9}},                // 104 F
      {kCelsius, 1000.0, {9, 9, 9}},                 // clamped to 999
      {kCelsius, kNaN, {kHidden, kHidden, kHidden}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ", " << c.input);
    UpperMode(c.mode);
    if (c.mode == kVolts) {
      session.Set(VarBusVoltage, c.input);
    } else {
      session.Set(VarOutsideAirTemp, c.input / 256.0);
    }
    session.Run(1);
    const Digits3 got = Upper();
    for (int i = 0; i < 3; ++i) {
      // Each cell is a 32-bit float widened for the host.
      EXPECT_EQ(static_cast<float>(got[i]), static_cast<float>(c.want[i])) << "digit " << i + 1;
    }
    EXPECT_EQ(Value(kUpperLetter), c.mode - 1);
  }
}

TEST_F(ClockTest, LowerWindowShowsTimeOfDay) {
  struct Case {
    int mode;
    int local_h, local_m;
    double utc_offset;
    Digits4 want;
  };
  const Case cases[] = {
      {kUtc, 11, 5, 2.0, {0, 9, 0, 5}},         // UT 09:05, leading zero
      {kLocal, 9, 5, 0.0, {kHidden, 9, 0, 5}},  // LT 9:05, first cell dark
      {kLocal, 14, 30, 0.0, {1, 4, 3, 0}},
      {kLocal, 0, 0, 0.0, {kHidden, 0, 0, 0}},
      {kUtc, 0, 59, 1.0, {2, 3, 5, 9}},         // UT 23:59 the day before
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.local_h << ":" << c.local_m << " offset " << c.utc_offset);
    LowerMode(c.mode);
    session.SetTime(c.local_h, c.local_m, 0, c.utc_offset);
    session.Run(1);
    EXPECT_EQ(Lower(), c.want);
  }
}

TEST_F(ClockTest, ColonBlinksWithTheLocalSecond) {
  session.SetTime(12, 0, 31);
  session.Run(1);
  EXPECT_EQ(Value(kColon), 0);
  EXPECT_TRUE(session.Element(kGauge, kColon).drawn);
  session.SetTime(12, 0, 32);
  session.Run(1);
  EXPECT_EQ(Value(kColon), kHidden);
  EXPECT_FALSE(session.Element(kGauge, kColon).drawn);
}

TEST_F(ClockTest, FlightTimerCountsEachChangeOfSecondWhileAirborne) {
  LowerMode(kFlight);
  session.Run(18 * 5);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 0})) << "on the ground";

  session.Set(VarOnGround, 0.0);
  session.SetTime(12, 0, 10);
  session.Run(1);  // the second differs from the one it last counted at
  session.Run(18 * 5);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 6}));

  // Jumps of the clock, forward or back, count one second each.
  session.SetTime(12, 0, 50);
  session.Run(1);
  session.SetTime(12, 0, 20);
  session.Run(1);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 8}));

  // It counts in every lower mode, and stands still on the ground.
  LowerMode(kLocal);
  session.Run(18 * 3);
  session.Set(VarOnGround, 1.0);
  session.Run(18 * 5);
  LowerMode(kFlight);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 1, 1}));
}

// Digits 2 to 4 never split: after a mode change into FT they show what digit
// 1 stored at its last evaluation in FT until it has been evaluated again.
TEST_F(ClockTest, TimerDigitsFollowTheFirstDigitsSplit) {
  session.Set(VarOnGround, 0.0);
  LowerMode(kFlight);
  CountSeconds(5);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 5}));
  LowerMode(kLocal);
  CountSeconds(20);
  LowerMode(kFlight);
  session.Run(1);
  EXPECT_EQ(Lower(), (Digits4{0, 0, 0, 5}));
  session.Run(1);
  EXPECT_EQ(Lower(), (Digits4{0, 0, 2, 5}));
}

TEST_F(ClockTest, FlightTimerShowsHoursFromTheFirstWholeHour) {
  session.Set(VarOnGround, 0.0);
  LowerMode(kFlight);
  CountSeconds(3599);
  EXPECT_EQ(SettledLower(), (Digits4{5, 9, 5, 9}));  // 59:59
  CountSeconds(1);
  EXPECT_EQ(SettledLower(), (Digits4{0, 1, 0, 0}));  // 1:00 h
  CountSeconds(36000 - 3600);
  EXPECT_EQ(SettledLower(), (Digits4{1, 0, 0, 0}));  // 10:00 h
}

TEST_F(ClockTest, ControlStartsAndClearsTheElapsedTimer) {
  // Outside ET it does nothing.
  for (int mode : {kUtc, kLocal, kFlight}) {
    LowerMode(mode);
    PressControl();
    CountSeconds(2);
  }
  LowerMode(kElapsed);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 0}));

  PressControl();  // start: nothing counts until the second changes
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 0}));
  CountSeconds(3);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 3}));

  // Running on in other modes; CONTROL there leaves it alone.
  LowerMode(kUtc);
  PressControl();
  CountSeconds(4);
  LowerMode(kElapsed);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 7}));

  // Stop and start again before the next evaluation: it runs on.
  PressControl();
  PressControl();
  CountSeconds(1);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 8}));

  // Stop: the count holds until the first digit's next evaluation clears it.
  PressControl();
  session.Run(1);
  EXPECT_EQ(Lower(), (Digits4{0, 0, 0, 8})) << "digits 2 to 4 evaluated before the clear";
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 0}));
  CountSeconds(3);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 0})) << "a stopped timer stays cleared";

  // A third press starts again from 0.
  PressControl();
  CountSeconds(2);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 2}));
}

TEST_F(ClockTest, ElapsedHoursFlagClearsWithTheTimer) {
  LowerMode(kElapsed);
  PressControl();
  CountSeconds(3600 + 61);
  EXPECT_EQ(SettledLower(), (Digits4{0, 1, 0, 1}));  // 1:01 h
  PressControl();
  session.Run(1);
  PressControl();
  CountSeconds(5);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 5}));  // back to minutes and seconds
}

// Two cells of hours: from 100 hours on they show the last two digits.
TEST_F(ClockTest, TimersRollOverAtAHundredHours) {
  session.Set(VarOnGround, 0.0);
  LowerMode(kFlight);
  CountSeconds(100 * 3600 + 5 * 60);
  EXPECT_EQ(SettledLower(), (Digits4{0, 0, 0, 5}));
  CountSeconds(23 * 3600);
  EXPECT_EQ(SettledLower(), (Digits4{2, 3, 0, 5}));
}

TEST_F(ClockTest, ElectricalPanelFailureHidesTheCells) {
  session.SetFailure(kFailElectricalPanel, true);
  session.Run(1);
  EXPECT_TRUE(session.Element(kGauge, kFace).drawn);
  for (int e = kColon; e <= kPoint; ++e) EXPECT_FALSE(session.Element(kGauge, e).drawn) << "element " << e;
}

TEST_F(ClockTest, GoldenFaces) {
  session.SetTime(14, 30, 31);
  session.Run(1);
  ExpectMatchesGolden(session.RenderGauge(kGauge), "clock_volts_local");

  UpperMode(kCelsius);
  LowerMode(kFlight);
  session.Set(VarOnGround, 0.0);
  CountSeconds(12 * 60 + 34);
  session.SetTime(14, 30, 31);  // the second it last counted at; the colon lit
  EXPECT_EQ(SettledLower(), (Digits4{1, 2, 3, 4}));
  ExpectMatchesGolden(session.RenderGauge(kGauge), "clock_celsius_flight");
}

}  // namespace

// The host's pure rules: drawing order, needle angles, tooltip inserts, and
// what the emulated host does with each event.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "emulator/elements.h"
#include "emulator/event_model.h"
#include "emulator/host_state.h"
#include "emulator/mouse.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

ELEMENT_STATIC Static(ELEMENT_HEADER** next) {
  ELEMENT_STATIC e{};
  e.header.kind = kElementStatic;
  e.header.next_elements = next;
  return e;
}

TEST(EmulatorDrawingOrder, DepthFirstEachElementFollowedAtOnceByItsOwnList) {
  // r -> {a -> {c, d}, b -> {e}}
  ELEMENT_STATIC c = Static(nullptr), d = Static(nullptr), e = Static(nullptr);
  ELEMENT_HEADER* a_list[] = {&c.header, &d.header, nullptr};
  ELEMENT_HEADER* b_list[] = {&e.header, nullptr};
  ELEMENT_STATIC a = Static(a_list), b = Static(b_list);
  ELEMENT_HEADER* r_list[] = {&a.header, &b.header, nullptr};
  ELEMENT_STATIC r = Static(r_list);
  EXPECT_EQ(talvor::DrawingOrder(&r.header, "g"),
            (std::vector<ELEMENT_HEADER*>{&r.header, &a.header, &c.header, &d.header, &b.header, &e.header}));

  ELEMENT_HEADER* empty[] = {nullptr};
  ELEMENT_STATIC lone = Static(empty);
  EXPECT_EQ(talvor::DrawingOrder(&lone.header, "g").size(), 1u) << "an empty list ends at once";

  ELEMENT_STATIC odd = Static(nullptr);
  odd.header.kind = 7;
  EXPECT_THROW(talvor::DrawingOrder(&odd.header, "g"), std::runtime_error);
  EXPECT_THROW(talvor::DrawingOrder(nullptr, "g"), std::runtime_error);
}

struct NeedleCase {
  double value;
  double degrees;  // clockwise on screen from pointing right
};

double Needle(std::vector<NONLINEARITY> table, double value) {
  return talvor::NeedleAngle(table.data(), static_cast<uint32_t>(table.size()), PIXPOINT{100, 100}, value) / kDeg;
}

TEST(EmulatorNeedle, InterpolatesByValueBetweenThePointsDirections) {
  // A dial from the left (9 o'clock) over the top to the right: 0, 100, 200.
  const std::vector<NONLINEARITY> table = {{{0, 100}, 0, 0}, {{100, 0}, 100, 0}, {{200, 100}, 200, 0}};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const NeedleCase cases[] = {
      {0, 180},    {50, 225},  {100, 270},  {150, 315},  {200, 360},
      {-50, 180},  {1e9, 360}, {-std::numeric_limits<double>::infinity(), 180},
      {nan, 180},  // NaN reads as the first point
  };
  for (const NeedleCase& c : cases) EXPECT_NEAR(Needle(table, c.value), c.degrees, 1e-9) << c.value;
}

TEST(EmulatorNeedle, ConsecutivePointsTurnTheShortWay) {
  const struct {
    std::vector<NONLINEARITY> table;
    double value;
    double degrees;
  } cases[] = {
      // Across 9 o'clock: from 170 degrees on to 190, not back through 0.
      {{{{0, 118}, 0, 0}, {{0, 82}, 10, 0}}, 5, 180},
      // Counter-clockwise steps run negative.
      {{{{200, 100}, 0, 0}, {{100, 0}, 10, 0}, {{0, 100}, 20, 0}}, 20, -180},
      // A whole turn in four steps keeps on turning.
      {{{{200, 100}, 0, 0}, {{100, 200}, 1, 0}, {{0, 100}, 2, 0}, {{100, 0}, 3, 0}, {{200, 100}, 4, 0}}, 4, 360},
      // Values may run downwards.
      {{{{100, 0}, 10, 0}, {{200, 100}, 0, 0}}, 2.5, -22.5},
  };
  for (const auto& c : cases) {
    std::vector<NONLINEARITY> table = c.table;
    EXPECT_NEAR(Needle(table, c.value), c.degrees, 1e-6);
  }
}

TEST(EmulatorNeedle, WritesEachPointsAngleIntoTheTable) {
  NONLINEARITY table[] = {{{0, 118}, 0, 0}, {{0, 82}, 10, 0}};
  talvor::NeedleAngle(table, 2, PIXPOINT{100, 100}, 0);
  EXPECT_NEAR(table[0].angle / kDeg, std::atan2(18.0, -100.0) / kDeg, 1e-9);
  EXPECT_NEAR(table[1].angle / kDeg, 360 - std::atan2(18.0, -100.0) / kDeg, 1e-9) << "unwrapped, in radians";
  EXPECT_EQ(talvor::NeedleAngle(nullptr, 0, PIXPOINT{0, 0}, 5), 0.0);
  EXPECT_EQ(talvor::NeedleAngle(table, 1, PIXPOINT{100, 100}, 5), table[0].angle);
}

TEST(EmulatorTooltipText, FillsInsertsItHasNumbersFor) {
  const struct {
    const char* text;
    std::vector<double> numbers;
    std::string shown;
  } cases[] = {
      {"Ground Speed: %1!d! knots", {19.9}, "Ground Speed: 19 knots"},
      {"%2!d!/%1!d!", {1, 2}, "2/1"},
      {"%1!d!%1!d!", {-3.7}, "-3-3"},
      {"%2!d! and %1!s!", {1}, "%2!d! and %1!s!"},  // no second number; not a number insert
      {"%10!d!", std::vector<double>(10, 4.0), "4"},
      {"100% %", {}, "100% %"},
      {"%1!d", {1}, "%1!d"},
  };
  for (const auto& c : cases) EXPECT_EQ(talvor::FormatTooltip(c.text, c.numbers), c.shown) << c.text;
  EXPECT_EQ(talvor::FormatTooltip(nullptr, {}), "");
}

TEST(EmulatorEventModel, EachEventActsOnItsVariable) {
  using talvor::kTokenAutopilotMaster;
  using talvor::kTokenElevatorTrim;
  using talvor::kTokenSpoilersArmed;
  const struct {
    uint32_t event;
    uint32_t value;
    uint32_t token;
    double before, after;
  } cases[] = {
      {EvtApHeadingHold, 0, VarApHeadingLock, 0, 1},     {EvtApHeadingHold, 0, VarApHeadingLock, 1, 0},
      {EvtApApproachHold, 0, VarApApproachLock, 0, 1},   {EvtApBackCourseHold, 0, VarApBackCourseLock, 0, 1},
      {EvtApAltitudeHold, 0, VarApAltitudeLock, 1, 0},   {EvtApVsHold, 0, VarApVsLock, 0, 1},
      {EvtApNavHoldOn, 0, VarApNavLock, 1, 1},           {EvtApNavHoldOff, 0, VarApNavLock, 0, 0},
      {EvtApNavHoldOn, 0, VarApNavLock, 0, 1},           {EvtGpsDrivesNavToggle, 0, VarGpsDrivesNav, 1, 0},
      {EvtApVsRefInc, 0, VarApVsRef, -100, 0},           {EvtApVsRefDec, 0, VarApVsRef, 0, -100},
      {EvtApAltRefInc, 0, VarApAltitudeRef, 4900, 5000}, {EvtApAltRefDec, 0, VarApAltitudeRef, 100, 0},
      {EvtApAltRefDec, 0, VarApAltitudeRef, 50, 0},      {EvtApAltRefDec, 0, VarApAltitudeRef, 0, 0},
      {EvtKohlsmanInc, 0, VarKohlsmanHg, 29.92, 29.93},  {EvtKohlsmanDec, 0, VarKohlsmanHg, 29.92, 29.91},
      {EvtThrottleSet, 8192, VarThrottleLever, 0, 8192}, {EvtThrottleSet, 70000, VarThrottleLever, 0, 16383},
      {EvtMixtureSet, 0, VarMixtureLever, 16383, 0},     {EvtElevTrimUp, 0, kTokenElevatorTrim, 0, 0.01},
      {EvtElevTrimDown, 0, kTokenElevatorTrim, -1, -1},  {EvtElevTrimUp, 0, kTokenElevatorTrim, 1, 1},
      {EvtApMaster, 0, kTokenAutopilotMaster, 0, 1},     {EvtApMaster, 0, kTokenAutopilotMaster, 1, 0},
      {EvtSpoiler, 0, kTokenSpoilersArmed, 0, 1},        {EvtSpoiler, 0, kTokenSpoilersArmed, 1, 1},
      {EvtAudioCom1, 0, VarAudioCom1, 0, 1},             {EvtAudioCom2, 0, VarAudioCom2, 1, 0},
      {EvtAudioComBoth, 0, VarAudioComBoth, 0, 1},       {EvtAudioNav1, 0, VarAudioNav1, 0, 1},
      {EvtAudioNav2, 0, VarAudioNav2, 0, 1},             {EvtAudioDme, 0, VarAudioDme, 0, 1},
      {EvtAudioAdf, 0, VarAudioAdf, 0, 1},               {EvtAudioMarker, 0, VarAudioMarker, 0, 1},
      {12345, 0, VarAudioMarker, 1, 1},  // unknown events change nothing
  };
  for (const auto& c : cases) {
    talvor::HostState state;
    state.Set(c.token, c.before);
    talvor::ApplyEvent(state, c.event, c.value);
    EXPECT_NEAR(state.Get(c.token), c.after, 1e-9) << "event " << c.event << " from " << c.before;
  }
}

TEST(EmulatorEventModel, TheAltimeterSettingKeepsBothUnitsInStep) {
  talvor::HostState state;
  for (int i = 0; i < 100; ++i) talvor::ApplyEvent(state, EvtKohlsmanInc, 0);
  EXPECT_DOUBLE_EQ(state.Get(VarKohlsmanHg), 30.92) << "no drift over many steps";
  EXPECT_NEAR(state.Get(VarKohlsmanMb), 30.92 * 33.8639, 1e-9);
}

}  // namespace

// S_TEC55 driven through the emulator: its buttons and knob, the NAV cycle,
// the power-up display test, the annunciators and the vertical-speed readout,
// plus its records as a host reads them from the loaded module.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/golden.h"

namespace {

using talvor::SentEvent;
using talvor::Session;

constexpr char kGauge[] = "S_TEC55";

// Elements by their place in drawing order.
enum StecElement {
  kFace = 1,
  kSign,
  kHundreds,
  kThousands,
  kGpss,
  kRev,
  kPattern,
  kVs,
  kGs,
  kAlt,
  kApr,
  kNav,
  kRdy,
  kHdg,
};
constexpr int kElementCount = kHdg;

// Face pixels inside each mouse area.
struct Spot {
  const char* name;
  int x, y;
};
constexpr Spot kHdgButton{"HDG", 50, 87};
constexpr Spot kNavButton{"NAV", 119, 90};
constexpr Spot kKnobRight{"VS knob, right half", 463, 90};
constexpr Spot kKnobLeft{"VS knob, left half", 438, 90};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::optional<int> kHidden = std::nullopt;

class Stec55 : public ::testing::Test {
 protected:
  Stec55() { Reload(); }

  // A freshly loaded module with one S_TEC55: the test not yet run, the NAV
  // cycle at its start. One session drives the module at a time.
  void Reload() {
    session_.reset();
    session_.emplace(Session::DefaultModulePath());
    session_->AddGauge(kGauge);
  }

  Session& session() { return *session_; }
  std::optional<int> Frame(int element) const { return session_->Element(kGauge, element).frame; }
  void Click(const Spot& s) { session_->Click(kGauge, s.x, s.y); }

  // Runs one pass at a time; returns the pass on which the test pattern
  // disappears, or 0 when it still shows after `limit` passes.
  int PassThatEndsTest(int limit = 1000) {
    for (int pass = 1; pass <= limit; ++pass) {
      session_->Run(1);
      if (Frame(kPattern) == kHidden) return pass;
      EXPECT_EQ(Frame(kPattern), 0) << "pass " << pass;
    }
    return 0;
  }

  // While the test runs the pattern shows and every annunciator is lit.
  void ExpectRunningTest() {
    EXPECT_EQ(Frame(kPattern), 0);
    for (int e : {kGpss, kRev, kVs, kGs, kAlt, kApr, kNav, kRdy, kHdg}) EXPECT_EQ(Frame(e), 1) << "element " << e;
  }

  std::optional<Session> session_;
};

TEST_F(Stec55, ModeButtonsAndKnobSendOneEventEachWhateverThePower) {
  const struct {
    Spot spot;
    uint32_t event;
  } kPresses[] = {
      {kHdgButton, EvtApHeadingHold},
      {{"APR", 183, 90}, EvtApApproachHold},
      {{"REV", 251, 90}, EvtApBackCourseHold},
      {{"ALT", 316, 90}, EvtApAltitudeHold},
      {{"VS", 383, 90}, EvtApVsHold},
      {kKnobRight, EvtApVsRefInc},
      {kKnobLeft, EvtApVsRefDec},
      {{"knob, last column of the left half", 450, 68}, EvtApVsRefDec},
      {{"knob, first column of the right half", 451, 112}, EvtApVsRefInc},
  };
  // Power on with the display test running, then power off.
  for (double power : {1.0, 0.0}) {
    session().Set(VarAvionicsMaster, power);
    session().Run(1);
    for (const auto& p : kPresses) {
      SCOPED_TRACE(std::string(p.spot.name) + " with power " + std::to_string(power));
      Click(p.spot);
      EXPECT_EQ(session().TakeEvents(), (std::vector<SentEvent>{{p.event, 0}}));
    }
  }
  // Between the buttons nothing answers.
  session().Click(kGauge, 90, 90);
  EXPECT_TRUE(session().TakeEvents().empty());
}

TEST_F(Stec55, KnobRepeatsWhileHeldAndButtonsDoNot) {
  const struct {
    Spot spot;
    int updates;
    uint32_t event;
    size_t calls;
  } kHolds[] = {
      {kKnobRight, 5, EvtApVsRefInc, 6},  // the click, then one repeat per update
      {kKnobLeft, 3, EvtApVsRefDec, 4},
      {kHdgButton, 5, EvtApHeadingHold, 1},
  };
  for (const auto& h : kHolds) {
    SCOPED_TRACE(h.spot.name);
    session().Hold(kGauge, h.spot.x, h.spot.y, h.updates);
    EXPECT_EQ(session().TakeEvents(), std::vector<SentEvent>(h.calls, SentEvent{h.event, 0}));
  }
}

TEST_F(Stec55, NavButtonStepsItsOwnCycleWhateverTheHostReports) {
  const struct {
    double host_nav;       // what the host reports before the press
    bool power_cycle;      // avionics off for a pass before the press
    std::vector<SentEvent> sent;
  } kPresses[] = {
      {0, false, {{EvtApNavHoldOn, 0}}},
      {0, false, {{EvtGpsDrivesNavToggle, 0}}},  // the host has left NAV meanwhile
      {1, true, {{EvtApNavHoldOff, 0}, {EvtGpsDrivesNavToggle, 0}}},
      {1, false, {{EvtApNavHoldOn, 0}}},  // the host already in NAV: the cycle still restarts
      {0, true, {{EvtGpsDrivesNavToggle, 0}}},
  };
  int n = 0;
  for (const auto& p : kPresses) {
    SCOPED_TRACE("press " + std::to_string(++n));
    if (p.power_cycle) {
      session().Set(VarAvionicsMaster, 0.0);
      session().Run(1);
      session().Set(VarAvionicsMaster, 1.0);
    }
    session().Set(VarApNavLock, p.host_nav);
    session().Set(VarGpsDrivesNav, p.host_nav);
    session().Run(1);
    Click(kNavButton);
    EXPECT_EQ(session().TakeEvents(), p.sent);
  }
}

TEST_F(Stec55, TestLastsSixSimulatedSecondsAtAnySimRate) {
  const struct {
    double rate;
    int ending_pass;  // 0: never ends
  } kRates[] = {
      {1.0, 108}, {2.0, 54}, {4.0, 27}, {0.5, 216}, {0.25, 432}, {108.0, 1},
      {1.5, 72},  // rate4 6: 6 x 72 / 72 = 6 seconds
      {0.2, 0}, {0.0, 0}, {kNaN, 0},
  };
  for (const auto& r : kRates) {
    SCOPED_TRACE("sim rate " + std::to_string(r.rate));
    Reload();
    session().Set(VarSimRate, r.rate);
    EXPECT_EQ(PassThatEndsTest(), r.ending_pass);
  }
}

TEST_F(Stec55, SlowRateHoldsTheTestUntilTheRateRises) {
  session().Set(VarSimRate, 0.1);
  session().Run(500);
  ExpectRunningTest();
  session().Set(VarSimRate, 1.0);
  // 501 passes counted at rate4 4: 27 seconds, the test ends at once.
  EXPECT_EQ(PassThatEndsTest(), 1);
}

TEST_F(Stec55, AvionicsReadingZeroRestartsTheTest) {
  const struct {
    const char* what;
    int passes_before;
    double off;
    int off_passes;
  } kDrops[] = {
      {"one pass off mid-test", 50, 0.0, 1},
      {"one pass off after the test", 200, 0.0, 1},
      {"off for a while after the test", 200, 0.0, 5},
      {"half power counts as off", 50, 0.5, 300},
      {"a fraction below zero truncates to off", 200, -0.9, 1},
      {"NaN counts as off", 200, kNaN, 2},
  };
  for (const auto& d : kDrops) {
    SCOPED_TRACE(d.what);
    Reload();
    session().Run(d.passes_before);
    session().Set(VarAvionicsMaster, d.off);
    session().Run(d.off_passes);
    // While off the callbacks give a running test's values (the host hides
    // the icons through their failure lists). In the first pass off after the
    // test had ended, the elements drawn before RDY still saw it ended.
    if (d.off_passes > 1) ExpectRunningTest();
    EXPECT_EQ(Frame(kRdy), 1);
    EXPECT_EQ(Frame(kHdg), 1);
    session().Set(VarAvionicsMaster, 1.0);
    EXPECT_EQ(PassThatEndsTest(), 108) << "the test runs in full again";
  }
}

TEST_F(Stec55, InstancesShareOneTest) {
  session().AddGauge(kGauge, 0, 200);
  session().Run(53);  // 106 passes, two an update
  EXPECT_EQ(Frame(kPattern), 0);
  // The second instance makes the 108th pass of the 54th update; the first
  // sees the test ended at the next.
  session().Run(2);
  EXPECT_EQ(Frame(kPattern), kHidden);
}

TEST_F(Stec55, AnnunciatorsAreLitThroughTheTestThenFollowTheHost) {
  const struct {
    uint32_t token;
    int element;
    double value;
  } kLights[] = {
      {VarApHeadingLock, kHdg, 1},    {VarApNavLock, kNav, 0},  {VarApApproachLock, kApr, 1},
      {VarApBackCourseLock, kRev, 0}, {VarApAltitudeLock, kAlt, 1}, {VarApGlideslopeLock, kGs, 0},
      {VarApVsLock, kVs, 1},          {VarGpsDrivesNav, kGpss, 0},
  };
  for (const auto& l : kLights) session().Set(l.token, l.value);
  session().Run(107);
  ExpectRunningTest();

  // The pass that ends the test: the annunciators drawn after the pattern
  // follow the host at once, GPSS and REV (drawn before it) from the next pass.
  session().Run(1);
  EXPECT_EQ(Frame(kPattern), kHidden);
  EXPECT_EQ(Frame(kRdy), 1);
  EXPECT_EQ(Frame(kGpss), 1);
  EXPECT_EQ(Frame(kRev), 1);
  for (const auto& l : kLights) {
    if (l.element > kPattern) EXPECT_EQ(Frame(l.element), static_cast<int>(l.value)) << "element " << l.element;
  }
  session().Run(1);
  for (const auto& l : kLights) EXPECT_EQ(Frame(l.element), static_cast<int>(l.value)) << "element " << l.element;

  for (const auto& l : kLights) session().Set(l.token, 1 - l.value);
  session().Run(1);
  for (const auto& l : kLights) EXPECT_EQ(Frame(l.element), static_cast<int>(1 - l.value)) << "element " << l.element;
}

TEST_F(Stec55, ElectricalOrAvionicsFailureHidesEveryIconButNotTheFace) {
  session().Run(120);
  for (uint32_t key : {kFailElectricalPanel, kFailAvionics}) {
    SCOPED_TRACE("failure " + std::to_string(key));
    session().SetFailure(key, true);
    session().Run(1);
    EXPECT_TRUE(session().Element(kGauge, kFace).drawn);
    for (int e = kSign; e <= kHdg; ++e) EXPECT_FALSE(session().Element(kGauge, e).drawn) << "element " << e;
    session().SetFailure(key, false);
    session().Run(1);
    EXPECT_TRUE(session().Element(kGauge, kHdg).drawn);
  }
}

TEST_F(Stec55, ReadoutShowsTheReferenceInHundreds) {
  const struct {
    double fpm;
    std::optional<int> sign, thousands, hundreds;  // sign: 0 blank, 1 plus, 2 minus
  } kRows[] = {
      {100, 1, kHidden, 1},
      {-100, 2, kHidden, 1},
      {99, 0, kHidden, 0},
      {0, 0, kHidden, 0},
      {-0.0, 0, kHidden, 0},
      {1500, 1, 1, 5},
      {-700, 2, kHidden, 7},
      {1900, 1, 1, 9},
      {2000, 1, 2, 0},
      {-2300, 2, 2, 3},
      {3900, 1, 3, 9},
      {-3900, 2, 3, 9},
      {1000, 1, 1, 0},
      {-99.5, 0, kHidden, 0},
      // A hair above -100 rounds to -100 as a float: the sign is hidden.
      {-99.9999999, kHidden, kHidden, 1},
      // Not whole hundreds: the whole hundreds' last digit.
      {950, 1, kHidden, 9},
      {-950, 2, kHidden, 9},
      {1950, 1, 1, 9},
      {2999, 1, 2, 9},
      {150, 1, kHidden, 1},
      // 4000 and more: the digits go on; from 10000 they stay at 9 9.
      {4000, 1, 4, 0},
      {4500, 1, 4, 5},
      {-5600, 2, 5, 6},
      {9900, 1, 9, 9},
      {12300, 1, 9, 9},
      {-1e300, 2, 9, 9},
      {kInf, 1, 9, 9},
      {kNaN, kHidden, kHidden, kHidden},
  };
  session().Run(120);
  for (const auto& r : kRows) {
    SCOPED_TRACE("VarApVsRef " + std::to_string(r.fpm));
    session().Set(VarApVsRef, r.fpm);
    session().Run(1);
    EXPECT_EQ(Frame(kSign), r.sign);
    EXPECT_EQ(Frame(kThousands), r.thousands);
    EXPECT_EQ(Frame(kHundreds), r.hundreds);
  }
}

TEST_F(Stec55, GoldenDuringAndAfterTheTest) {
  session().Set(VarApVsRef, -700);
  session().Run(20);
  ExpectMatchesGolden(session().RenderGauge(kGauge), "stec55_self_test");

  session().Set(VarApVsRef, 1500);
  session().Set(VarApHeadingLock, 1);
  session().Set(VarApAltitudeLock, 1);
  session().Set(VarGpsDrivesNav, 1);
  session().Set(VarApNavLock, 1);
  session().Run(100);
  ExpectMatchesGolden(session().RenderGauge(kGauge), "stec55_after_test");
}

// The records, read from the loaded module through Linkage as a host does.
class Stec55Records : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(Session::DefaultModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    const auto* linkage = static_cast<const GAUGE_LINKAGE*>(dlsym(handle_, "Linkage"));
    ASSERT_NE(linkage, nullptr);
    gauge_ = linkage->gauges[0];
    ASSERT_NE(gauge_, nullptr);
    ASSERT_STREQ(gauge_->name, kGauge);
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle_ = nullptr;
  const GAUGEHDR* gauge_ = nullptr;
};

TEST_F(Stec55Records, HeaderAndElementChain) {
  EXPECT_EQ(gauge_->width_mm, 498u);
  EXPECT_NE(gauge_->callback, nullptr);
  const struct {
    uint32_t bitmap, frames;
    int x, y;
    uint32_t token;
  } kRows[kElementCount] = {
      {0x1100, 0, 0, 0, 0},
      {0x11b0, 3, 427, 29, VarApVsRef},
      {0x11a0, 10, 455, 29, VarApVsRef},
      {0x11a0, 10, 440, 29, VarApVsRef},
      {0x1190, 2, 203, 28, VarGpsDrivesNav},
      {0x1180, 2, 221, 32, VarApBackCourseLock},
      {0x1102, 1, 29, 24, VarSimRate},
      {0x1170, 2, 396, 32, VarApVsLock},
      {0x1160, 2, 366, 32, VarApGlideslopeLock},
      {0x1150, 2, 325, 32, VarApAltitudeLock},
      {0x1140, 2, 153, 32, VarApApproachLock},
      {0x1130, 2, 96, 32, VarApNavLock},
      {0x1120, 2, 76, 27, VarAvionicsMaster},
      {0x1110, 2, 36, 32, VarApHeadingLock},
  };
  const ELEMENT_HEADER* e = *gauge_->elements;
  for (int i = 0; i < kElementCount; ++i) {
    SCOPED_TRACE("element " + std::to_string(i + 1));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->bitmap_id, kRows[i].bitmap);
    EXPECT_EQ(e->position.x, kRows[i].x);
    EXPECT_EQ(e->position.y, kRows[i].y);
    ASSERT_NE(e->failures, nullptr);
    if (i == 0) {
      EXPECT_EQ(e->kind, static_cast<uint32_t>(kElementStatic));
      EXPECT_EQ(e->image_flags, 0x83u);
      EXPECT_EQ(e->failures[0].key, 0u);
    } else {
      EXPECT_EQ(e->kind, static_cast<uint32_t>(kElementIcon));
      EXPECT_EQ(e->image_flags, 0x3u);
      const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(e);
      EXPECT_EQ(icon->frame_count, kRows[i].frames);
      EXPECT_EQ(icon->source.id, kRows[i].token);
      EXPECT_NE(icon->callback, nullptr);
      const FAILURE_RECORD* f = e->failures;
      EXPECT_EQ(f[0].key, 20u);
      EXPECT_EQ(f[0].action, 3u);
      EXPECT_EQ(f[1].key, 21u);
      EXPECT_EQ(f[1].action, 3u);
      EXPECT_EQ(f[2].key, 0u);
    }
    // A chain: each list holds the next row alone; the last row has none.
    if (i + 1 == kElementCount) {
      EXPECT_EQ(e->next_elements, nullptr);
      e = nullptr;
    } else {
      ASSERT_NE(e->next_elements, nullptr);
      EXPECT_EQ(e->next_elements[1], nullptr);
      e = e->next_elements[0];
    }
  }
}

TEST_F(Stec55Records, MouseList) {
  const int32_t kNone = kCursorNone;
  const struct {
    uint32_t type;
    PIXBOX box;
    int32_t cursor;
    uint32_t help_id, flags;
  } kRows[] = {
      {kMouseParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {32, 72, 37, 30}, kNone, 0xAD87, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {101, 75, 37, 30}, kNone, 0xAD85, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {165, 75, 37, 30}, kNone, 0xAD83, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {233, 75, 37, 30}, kNone, 0xAD82, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {298, 75, 37, 30}, kNone, 0xAD8C, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {365, 75, 37, 30}, kNone, 0xAD8A, 0},
      {kMouseChild, {0, 0, 37, 30}, kCursorHand, 0, 0x20000000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseParent, {426, 67, 50, 46}, kNone, 0xAD94, 0},
      {kMouseChild, {25, 0, 25, 46}, kCursorUpArrow, 0, 0x20200000},
      {kMouseChild, {0, 0, 25, 46}, kCursorDownArrow, 0, 0x20200000},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseEndParent, {0, 0, 0, 0}, kNone, 0, 0},
      {kMouseEnd, {0, 0, 0, 0}, kNone, 0, 0},
  };
  const MOUSERECT* m = gauge_->mouse_rects;
  int i = 0;
  for (const auto& row : kRows) {
    SCOPED_TRACE("mouse entry " + std::to_string(++i));
    EXPECT_EQ(m->type, row.type);
    EXPECT_EQ(m->box.x, row.box.x);
    EXPECT_EQ(m->box.y, row.box.y);
    EXPECT_EQ(m->box.w, row.box.w);
    EXPECT_EQ(m->box.h, row.box.h);
    EXPECT_EQ(m->cursor, row.cursor);
    EXPECT_EQ(m->help_id, row.help_id);
    EXPECT_EQ(m->flags, row.flags);
    EXPECT_EQ(m->event_id, 0u);
    EXPECT_EQ(m->data, nullptr);
    EXPECT_EQ(m->function.mouse != nullptr, row.type == kMouseChild);
    ++m;
  }
}

}  // namespace

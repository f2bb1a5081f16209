// jovAltPreselector driven through the emulator as the host drives it: the
// knob and buttons, the power-up test with its chime, the alerts, the display
// in every mode and unit, its records as a host reads them, and its artwork.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "emulator/bmp.h"
#include "emulator/module_loader.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/golden.h"

namespace {

constexpr char kGauge[] = "jovAltPreselector";
constexpr char kChime[] = "Sound\\dingdong.wav";
constexpr int kHidden = -1;

// Elements by their place in drawing order.
enum Element : int {
  kFace = 1,
  kDhLight,
  kAlrLight,
  kUnitLight,
  kVsSign,
  kVsThousands,
  kVsHundreds,
  kLeft3,
  kLeft2,
  kLeft1,
  kPoint,
  kPowerWatch,
  kPattern,
  kVsModeLight,
  kBaroModeLight,
  kAltModeLight,
  kEntLight,
  kBaroText,
  kAltRefText,
  kVsText,
};

enum class Button { kAlt, kVs, kDta, kBar, kAlr, kDh, kKnobDown, kKnobUp };

// The centre of each control's mouse area, in face pixels.
std::pair<int, int> Centre(Button b) {
  switch (b) {
    case Button::kKnobDown: return {215, 53};
    case Button::kKnobUp: return {241, 53};
    case Button::kAlt: return {46, 98};
    case Button::kVs: return {159, 98};
    case Button::kDta: return {22, 41};
    case Button::kBar: return {22, 70};
    case Button::kAlr: return {80, 98};
    case Button::kDh: return {116, 98};
  }
  return {0, 0};
}

using Events = std::vector<std::pair<uint32_t, uint32_t>>;

// One host session with the preselector on its panel, freshly loaded: the
// gauge's state is the module's initial state.
class Preselector {
 public:
  Preselector() : session_(talvor::Session::DefaultModulePath()) {
    session_.Set(VarAvionicsMaster, 1.0);
    session_.Set(VarSimRate, 1.0);
    session_.AddGauge(kGauge);
  }

  talvor::Session& session() { return session_; }

  void Press(Button b) {
    const auto [x, y] = Centre(b);
    session_.Click(kGauge, x, y);
  }
  void Press(std::initializer_list<Button> buttons) {
    for (Button b : buttons) Press(b);
  }
  // The knob held for `repeats` updates after the click.
  void HoldKnob(Button side, int repeats) {
    const auto [x, y] = Centre(side);
    session_.Hold(kGauge, x, y, repeats);
  }

  void Run(int n = 1) { session_.Run(n); }
  // Runs the power-up test to its end at rate 1.0 and forgets its chime.
  void PowerUp() {
    Run(108);
    Chimes();
    Sent();
  }

  int Frame(int element) const {
    const talvor::ElementState e = session_.Element(kGauge, element);
    return e.frame ? *e.frame : kHidden;
  }
  double Value(int element) const { return session_.Element(kGauge, element).value; }
  std::vector<int> Left() const { return {Frame(kLeft1), Frame(kLeft2), Frame(kLeft3)}; }
  std::vector<int> Right() const { return {Frame(kVsSign), Frame(kVsThousands), Frame(kVsHundreds)}; }
  std::vector<int> ModeLights() const { return {Frame(kAltModeLight), Frame(kVsModeLight), Frame(kBaroModeLight)}; }

  // A whole-foot altitude, set half a foot high so that the gauge's
  // truncation of metres x 3.28083 lands on it.
  void SetAltitudeFeet(int feet) { session_.Set(VarAltitudeMeters, (feet + 0.5) / 3.28083); }

  Events Sent() {
    Events out;
    for (const talvor::SentEvent& e : session_.TakeEvents()) out.emplace_back(e.event, e.value);
    return out;
  }
  // Chimes started since the last call; any other sound fails the test.
  int Chimes() {
    int n = 0;
    for (const talvor::PlayedSound& s : session_.TakeSounds()) {
      EXPECT_EQ(s.name, kChime);
      EXPECT_EQ(s.flags, kSoundAsync) << "the chime plays asynchronously";
      ++n;
    }
    return n;
  }

 private:
  talvor::Session session_;
};

std::string Describe(std::initializer_list<Button> buttons) {
  static const char* const kNames[] = {"ALT", "VS", "DTA", "BAR", "ALR", "DH", "knob-down", "knob-up"};
  std::string s;
  for (Button b : buttons) s += std::string(s.empty() ? "" : " ") + kNames[static_cast<int>(b)];
  return s.empty() ? "(none)" : s;
}

// ---------------------------------------------------------------------------
// Knob and buttons.

TEST(PreselectorKnob, StepsWhatTheModeAndDataEntrySay) {
  enum Mode { kVsMode, kAltMode, kBaroMode, kDhMode };
  struct Case {
    Mode mode;
    bool data_entry;
    uint32_t down, up;  // 0: no event
  };
  const Case cases[] = {
      {kVsMode, true, EvtApVsRefDec, EvtApVsRefInc},
      {kAltMode, true, EvtApAltRefDec, EvtApAltRefInc},
      {kBaroMode, true, EvtKohlsmanDec, EvtKohlsmanInc},
      {kDhMode, true, 0, 0},
      // Data entry off: the vertical-speed reference in every mode.
      {kVsMode, false, EvtApVsRefDec, EvtApVsRefInc},
      {kAltMode, false, EvtApVsRefDec, EvtApVsRefInc},
      {kBaroMode, false, EvtApVsRefDec, EvtApVsRefInc},
      {kDhMode, false, EvtApVsRefDec, EvtApVsRefInc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", data entry " << c.data_entry);
    Preselector p;
    if (c.mode == kVsMode) p.Press(Button::kVs);
    if (c.mode == kAltMode) p.Press(Button::kAlt);
    if (c.mode == kDhMode) p.Press(Button::kDh);
    if (!c.data_entry) p.Press(Button::kDta);
    ASSERT_EQ(p.Sent(), Events{}) << "buttons send nothing";

    p.Press(Button::kKnobDown);
    p.Press(Button::kKnobUp);
    Events expected;
    if (c.down != 0) expected = {{c.down, 0}, {c.up, 0}};
    EXPECT_EQ(p.Sent(), expected);
  }
}

TEST(PreselectorKnob, RepeatsWhileHeldAndActsBeforeTheTestAndWithoutPower) {
  Preselector p;
  p.session().Set(VarAvionicsMaster, 0.0);
  p.Press(Button::kAlt);
  p.HoldKnob(Button::kKnobUp, 4);
  EXPECT_EQ(p.Sent(), Events(5, {EvtApAltRefInc, 0})) << "the click and four repeats";
}

TEST(PreselectorKnob, DecisionHeightStepsByHundredsNeverBelowZero) {
  Preselector p;
  p.PowerUp();
  p.Press(Button::kDh);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 0}));

  p.Press(Button::kKnobDown);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 0})) << "down from 0 stays at 0";

  p.HoldKnob(Button::kKnobUp, 2);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 3})) << "300 ft";

  p.Press(Button::kKnobDown);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 2}));

  // With data entry off the knob leaves the decision height alone.
  p.Press(Button::kDta);
  p.HoldKnob(Button::kKnobUp, 3);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 2}));
  EXPECT_EQ(p.Sent(), Events(4, {EvtApVsRefInc, 0}));

  // Up has no limit of its own: 120 steps read 12.0.
  p.Press(Button::kDta);
  p.HoldKnob(Button::kKnobUp, 117);
  p.Run();
  EXPECT_EQ(p.Left(), (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(p.Sent(), Events{});
}

TEST(PreselectorButtons, SequencesSetModeUnitAndAlerts) {
  struct Expected {
    std::vector<int> modes;  // ALT, VS, BARO lights
    int unit;                // HG 0, MB 1, hidden
    int dh;                  // DH alert light
    int alr;
    int ent;
  };
  const std::vector<int> alt{1, 0, 0}, vs{0, 1, 0}, baro{0, 0, 1}, none{0, 0, 0};
  struct Case {
    std::initializer_list<Button> presses;
    Expected expected;
  };
  using B = Button;
  const Case cases[] = {
      {{}, {baro, 0, 0, 0, 1}},
      {{B::kBar}, {baro, 1, 0, 0, 1}},
      {{B::kBar, B::kBar}, {baro, 0, 0, 0, 1}},
      // The press that enters BARO flips the unit too.
      {{B::kAlt, B::kBar}, {baro, 1, 0, 0, 1}},
      {{B::kAlt, B::kBar, B::kBar}, {baro, 0, 0, 0, 1}},
      {{B::kVs}, {vs, kHidden, 0, 0, 1}},
      {{B::kAlt}, {alt, kHidden, 0, 0, 1}},
      {{B::kDh}, {none, kHidden, 1, 0, 1}},
      {{B::kDh, B::kDh}, {baro, 0, 0, 0, 1}},
      {{B::kVs, B::kDh, B::kDh}, {vs, kHidden, 0, 0, 1}},
      // Another mode keeps the DH alert armed; the next DH press disarms it
      // and stays in that mode.
      {{B::kDh, B::kAlt}, {alt, kHidden, 1, 0, 1}},
      {{B::kDh, B::kAlt, B::kDh}, {alt, kHidden, 0, 0, 1}},
      {{B::kVs, B::kDh, B::kBar, B::kDh}, {baro, 1, 0, 0, 1}},
      {{B::kAlr}, {baro, 0, 0, 1, 1}},
      {{B::kAlr, B::kAlr}, {baro, 0, 0, 0, 1}},
      {{B::kDta}, {baro, 0, 0, 0, 0}},
      {{B::kDta, B::kDta}, {baro, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.presses));
    Preselector p;
    p.PowerUp();
    p.Press(c.presses);
    p.Run();
    EXPECT_EQ(p.ModeLights(), c.expected.modes);
    EXPECT_EQ(p.Frame(kUnitLight), c.expected.unit);
    EXPECT_EQ(p.Frame(kDhLight), c.expected.dh);
    EXPECT_EQ(p.Frame(kAlrLight), c.expected.alr);
    EXPECT_EQ(p.Frame(kEntLight), c.expected.ent);
  }
}

// ---------------------------------------------------------------------------
// The power-up test.

TEST(PreselectorSelfTest, EndsAfterSixSimulatedSecondsWithOneChime) {
  const struct {
    double rate;
    int ending_pass;
  } cases[] = {{1.0, 108}, {2.0, 54}, {0.5, 216}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "rate " << c.rate);
    Preselector p;
    p.session().Set(VarSimRate, c.rate);
    p.Run(c.ending_pass - 1);
    EXPECT_EQ(p.Frame(kPattern), 0) << "the pattern covers the display";
    EXPECT_EQ(p.Frame(kEntLight), kHidden);
    EXPECT_EQ(p.ModeLights(), (std::vector<int>{kHidden, kHidden, kHidden}));
    EXPECT_EQ(p.Chimes(), 0);

    p.Run();
    EXPECT_EQ(p.Frame(kPattern), kHidden);
    EXPECT_EQ(p.Chimes(), 1);
    EXPECT_EQ(p.Frame(kEntLight), 1);
    EXPECT_EQ(p.ModeLights(), (std::vector<int>{0, 0, 1}));

    p.Run(300);
    EXPECT_EQ(p.Frame(kPattern), kHidden);
    EXPECT_EQ(p.Chimes(), 0) << "the test runs once per power-up";
  }
}

TEST(PreselectorSelfTest, NeverEndsBelowAQuarterRate) {
  Preselector p;
  p.session().Set(VarSimRate, 0.2);
  p.Run(2000);
  EXPECT_EQ(p.Frame(kPattern), 0);
  EXPECT_EQ(p.Chimes(), 0);
}

TEST(PreselectorSelfTest, PowerOffForOneUpdateRestartsIt) {
  Preselector p;
  p.Run(100);
  p.session().Set(VarAvionicsMaster, 0.0);
  p.Run();
  EXPECT_EQ(p.Frame(kPattern), kHidden) << "hidden while power reads 0";
  EXPECT_EQ(p.Frame(kEntLight), kHidden);
  p.session().Set(VarAvionicsMaster, 1.0);
  p.Run(107);
  EXPECT_EQ(p.Frame(kPattern), 0) << "counting again from zero";
  EXPECT_EQ(p.Chimes(), 0);
  p.Run();
  EXPECT_EQ(p.Frame(kPattern), kHidden);
  EXPECT_EQ(p.Chimes(), 1);
}

TEST(PreselectorSelfTest, PowerOffAfterTheTestRunsItAgainAndKeepsTheState) {
  Preselector p;
  p.PowerUp();
  p.Press({Button::kAlt, Button::kAlr});
  p.session().Set(VarAvionicsMaster, 0.0);
  p.Run(3);
  EXPECT_EQ(p.ModeLights(), (std::vector<int>{kHidden, kHidden, kHidden}));
  EXPECT_EQ(p.Frame(kAlrLight), 0);
  EXPECT_EQ(p.Frame(kPowerWatch), kHidden) << "the power watch is never drawn";

  p.session().Set(VarAvionicsMaster, 1.0);
  p.Run(107);
  EXPECT_EQ(p.Frame(kPattern), 0);
  p.Run();
  EXPECT_EQ(p.Chimes(), 1);
  EXPECT_EQ(p.ModeLights(), (std::vector<int>{1, 0, 0})) << "ALT mode survived the power cycle";
  p.Run();  // ALR is drawn before the pattern: it lights at the next update
  EXPECT_EQ(p.Frame(kAlrLight), 1);
}

// ---------------------------------------------------------------------------
// Alerts.

TEST(PreselectorAlerts, AltitudeAlertChimesAtExactlyThreeHundredAndAThousandFeetFromTheReference) {
  Preselector p;
  p.session().Set(VarApAltitudeRef, 5000);
  p.PowerUp();
  p.Press(Button::kAlr);
  const struct {
    int feet;
    int chimes;
  } cases[] = {{4000, 1}, {4700, 1}, {5300, 1}, {6000, 1}, {3999, 0}, {4001, 0}, {4699, 0},
               {4701, 0}, {5000, 0}, {5299, 0}, {5301, 0}, {5999, 0}, {6001, 0}, {0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.feet << " ft");
    p.SetAltitudeFeet(c.feet);
    p.Run();
    EXPECT_EQ(p.Frame(kAlrLight), 1);
    EXPECT_EQ(p.Chimes(), c.chimes);
  }
  // Standing on a value chimes again at every update.
  p.SetAltitudeFeet(4700);
  p.Run(3);
  EXPECT_EQ(p.Chimes(), 3);
}

TEST(PreselectorAlerts, DecisionHeightAlertChimesFiftyFeetEitherSide) {
  Preselector p;
  p.PowerUp();
  p.Press(Button::kDh);
  p.HoldKnob(Button::kKnobUp, 1);  // 200 ft
  const struct {
    int feet;
    int chimes;
  } cases[] = {{150, 1}, {250, 1}, {149, 0}, {151, 0}, {200, 0}, {249, 0}, {251, 0}, {-50, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.feet << " ft");
    p.SetAltitudeFeet(c.feet);
    p.Run();
    EXPECT_EQ(p.Frame(kDhLight), 1);
    EXPECT_EQ(p.Chimes(), c.chimes);
  }
}

TEST(PreselectorAlerts, SilentUntilTheTestEnds) {
  Preselector p;
  p.session().Set(VarApAltitudeRef, 5000);
  p.SetAltitudeFeet(4000);
  p.Press(Button::kAlr);
  p.Run(107);
  EXPECT_EQ(p.Frame(kAlrLight), 0) << "armed but dark during the test";
  EXPECT_EQ(p.Chimes(), 0);
  p.Run();
  EXPECT_EQ(p.Chimes(), 1) << "the test's own chime alone";
  p.Run();
  EXPECT_EQ(p.Frame(kAlrLight), 1);
  EXPECT_EQ(p.Chimes(), 1) << "the alert";
}

TEST(PreselectorAlerts, SilentUnlessPowerReadsExactlyOne) {
  // 0.5 and 0 also clear the test; 1.5 keeps it but is not exactly 1.
  for (double power : {0.5, 0.0, 1.5, 1.0000001}) {
    SCOPED_TRACE(testing::Message() << "power " << power);
    Preselector p;
    p.session().Set(VarApAltitudeRef, 5000);
    p.PowerUp();
    p.Press({Button::kAlr, Button::kDh});
    p.session().Set(VarAvionicsMaster, power);
    for (int feet : {4000, 50}) {
      p.SetAltitudeFeet(feet);
      p.Run(2);
      EXPECT_EQ(p.Frame(kAlrLight), 0);
      EXPECT_EQ(p.Frame(kDhLight), 0);
      EXPECT_EQ(p.Chimes(), 0);
    }
  }
}

TEST(PreselectorAlerts, DisarmedAlertsAreDarkAndSilent) {
  Preselector p;
  p.session().Set(VarApAltitudeRef, 5000);
  p.PowerUp();
  p.SetAltitudeFeet(4000);
  p.Run(2);
  EXPECT_EQ(p.Frame(kAlrLight), 0);
  EXPECT_EQ(p.Frame(kDhLight), 0);
  p.SetAltitudeFeet(50);  // decision height 0 + 50
  p.Run(2);
  EXPECT_EQ(p.Chimes(), 0);
}

// ---------------------------------------------------------------------------
// The display.

TEST(PreselectorDisplay, LeftDigitsInEveryModeAndUnit) {
  enum Setup { kAltMode, kVsMode, kDhMode, kHgMode, kMbMode };
  struct Case {
    Setup setup;
    double value;  // altitude reference, decision height (in 100 ft steps), inHg or mb
    std::vector<int> left;
    int unit;
  };
  const Case cases[] = {
      {kAltMode, 9500, {kHidden, 9, 5}, kHidden},
      {kAltMode, 10000, {1, 0, 0}, kHidden},
      {kAltMode, 12500, {1, 2, 5}, kHidden},
      {kAltMode, 8000, {kHidden, 8, 0}, kHidden},
      {kAltMode, 99900, {9, 9, 9}, kHidden},
      {kAltMode, 0, {kHidden, 0, 0}, kHidden},
      {kVsMode, 500, {kHidden, 0, 5}, kHidden},
      {kVsMode, 12500, {1, 2, 5}, kHidden},
      {kDhMode, 0, {kHidden, 0, 0}, kHidden},
      {kDhMode, 200, {kHidden, 0, 2}, kHidden},
      {kHgMode, 29.92, {2, 9, 9}, 0},
      {kHgMode, 30.00, {3, 0, 0}, 0},
      {kMbMode, 1013.25, {1, 3, 2}, 1},
      {kMbMode, 1000.0, {0, 0, 0}, 1},
      {kMbMode, 998.4, {9, 8, 4}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "setup " << c.setup << ", value " << c.value);
    Preselector p;
    p.PowerUp();
    switch (c.setup) {
      case kAltMode: p.Press(Button::kAlt); p.session().Set(VarApAltitudeRef, c.value); break;
      case kVsMode: p.Press(Button::kVs); p.session().Set(VarApAltitudeRef, c.value); break;
      case kDhMode:
        p.Press(Button::kDh);
        for (int i = 0; i < c.value / 100; ++i) p.Press(Button::kKnobUp);
        break;
      case kHgMode: p.session().Set(VarKohlsmanHg, c.value); break;
      case kMbMode: p.Press(Button::kBar); p.session().Set(VarKohlsmanMb, c.value); break;
    }
    p.Run();
    EXPECT_EQ(p.Left(), c.left);
    EXPECT_EQ(p.Frame(kUnitLight), c.unit);
    EXPECT_TRUE(p.session().Element(kGauge, kPoint).drawn);
  }
}

TEST(PreselectorDisplay, AltitudeModesDifferOnlyInTheirLight) {
  Preselector p;
  p.session().Set(VarApAltitudeRef, 500);
  p.PowerUp();
  p.Press(Button::kVs);
  p.Run();
  EXPECT_EQ(p.ModeLights(), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 5}));
  p.Press(Button::kAlt);
  p.Run();
  EXPECT_EQ(p.ModeLights(), (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(p.Left(), (std::vector<int>{kHidden, 0, 5}));
}

TEST(PreselectorDisplay, VerticalSpeedInEveryMode) {
  const struct {
    double fpm;
    std::vector<int> right;  // sign (0 blank, 1 plus, 2 minus), thousands, hundreds
  } cases[] = {
      {-100, {2, kHidden, 1}}, {100, {1, kHidden, 1}}, {0, {0, kHidden, 0}},  {-3900, {2, 3, 9}},
      {1500, {1, 1, 5}},       {-700, {2, kHidden, 7}}, {2500, {1, 2, 5}},     {99, {0, kHidden, 0}},
  };
  for (Button mode : {Button::kBar, Button::kAlt, Button::kVs, Button::kDh}) {
    Preselector p;
    p.PowerUp();
    p.Press(mode);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << Describe({mode}) << " mode, " << c.fpm << " ft/min");
      p.session().Set(VarApVsRef, c.fpm);
      p.Run();
      EXPECT_EQ(p.Right(), c.right);
    }
  }
}

TEST(PreselectorDisplay, DigitsShowUnderThePatternAndWithoutPower) {
  Preselector p;
  p.session().Set(VarKohlsmanHg, 29.92);
  p.session().Set(VarApVsRef, 1500);
  p.Run(10);
  EXPECT_EQ(p.Frame(kPattern), 0);
  EXPECT_EQ(p.Left(), (std::vector<int>{2, 9, 9}));
  EXPECT_EQ(p.Right(), (std::vector<int>{1, 1, 5}));
  EXPECT_EQ(p.Frame(kUnitLight), 0) << "HG does not wait for the test";

  p.session().Set(VarAvionicsMaster, 0.0);
  p.Run();
  EXPECT_EQ(p.Frame(kPattern), kHidden);
  EXPECT_EQ(p.Left(), (std::vector<int>{2, 9, 9}));
  EXPECT_EQ(p.Frame(kEntLight), kHidden);
  EXPECT_EQ(p.Frame(kAlrLight), 0);
}

TEST(PreselectorDisplay, TextElementsCarryTheirValues) {
  Preselector p;
  p.session().Set(VarKohlsmanHg, 29.92);
  p.session().Set(VarApAltitudeRef, 5000);
  p.session().Set(VarApVsRef, -700);
  p.Press(Button::kAlt);
  p.Run();
  EXPECT_FLOAT_EQ(p.Value(kBaroText), 29.92f);
  EXPECT_FLOAT_EQ(p.Value(kAltRefText), 5000) << "feet until the test has ended";
  EXPECT_FLOAT_EQ(p.Value(kVsText), -7);

  p.Run(107);
  EXPECT_FLOAT_EQ(p.Value(kAltRefText), 5) << "thousands in ALT mode after the test";
  p.Press(Button::kBar);
  p.Run();
  EXPECT_FLOAT_EQ(p.Value(kAltRefText), 5000) << "feet in BARO mode";
  p.Press(Button::kVs);
  p.Run();
  EXPECT_FLOAT_EQ(p.Value(kAltRefText), 5) << "thousands in VS mode";
  p.session().Set(VarAvionicsMaster, 1.5);
  p.Run();
  EXPECT_FLOAT_EQ(p.Value(kAltRefText), 5000) << "feet unless power is exactly 1";
}

// Values the host should never send must still leave every element defined
// (a sanitizer build turns any undefined conversion here into a failure).
TEST(PreselectorDisplay, HostileHostValuesAreHarmless) {
  const double kInf = std::numeric_limits<double>::infinity();
  const double values[] = {std::nan(""), kInf, -kInf, 1e300, -1e300, 4.3e9, -4.3e9, 1e-300};
  const uint32_t tokens[] = {VarApAltitudeRef, VarKohlsmanHg, VarKohlsmanMb, VarApVsRef,
                             VarAltitudeMeters, VarSimRate,    VarAvionicsMaster};
  using B = Button;
  for (std::initializer_list<Button> setup : {std::initializer_list<Button>{B::kAlt, B::kAlr},
                                              {B::kBar, B::kAlr},            // millibars
                                              {B::kBar, B::kBar, B::kAlr},   // inches
                                              {B::kDh, B::kAlr, B::kKnobUp}}) {
    Preselector p;
    p.PowerUp();
    p.Press(setup);
    for (double v : values) {
      SCOPED_TRACE(testing::Message() << Describe(setup) << ", value " << v);
      for (uint32_t t : tokens) p.session().Set(t, v);
      p.Run(2);
      for (int i = kDhLight; i <= kEntLight; ++i) {
        const talvor::ElementState e = p.session().Element(kGauge, i);
        if (e.frame) {
          EXPECT_GE(*e.frame, 0);
        }
      }
    }
  }
}

TEST(PreselectorDisplay, GoldenDuringTheTestAndInBaroModeAfterIt) {
  Preselector p;
  p.session().Set(VarApVsRef, 1500);
  p.Run(30);
  ExpectMatchesGolden(p.session().RenderGauge(kGauge), "preselector_test_pattern");
  p.Run(78);
  p.Press(Button::kAlr);
  p.Run();
  ExpectMatchesGolden(p.session().RenderGauge(kGauge), "preselector_baro");
}

// ---------------------------------------------------------------------------
// Records as a host reads them.

enum class Failures { kEmpty, kDefault, kPattern };

void ExpectFailures(const FAILURE_RECORD* list, Failures kind) {
  ASSERT_NE(list, nullptr);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (; list->key != 0; ++list) {
    got.emplace_back(list->key, list->action);
    EXPECT_EQ(list->reserved, 0u);
  }
  EXPECT_EQ(list->action, 0u);
  EXPECT_EQ(list->reserved, 0u);
  switch (kind) {
    case Failures::kEmpty: EXPECT_TRUE(got.empty()); break;
    case Failures::kDefault: EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint32_t>>{{20, 3}, {21, 2}})); break;
    case Failures::kPattern: EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint32_t>>{{20, 3}, {21, 3}})); break;
  }
}

TEST(PreselectorRecords, HeaderAndMouseList) {
  Preselector p;
  const GAUGEHDR* g = p.session().GaugeHeader(kGauge);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->version, 800u);
  EXPECT_EQ(g->width_mm, 249u);
  EXPECT_NE(g->callback, nullptr);
  EXPECT_EQ(g->user_data, 0u);
  EXPECT_EQ(g->parameters, nullptr);
  EXPECT_EQ(g->flags, 0u);
  ASSERT_NE(g->elements, nullptr);

  struct Entry {
    uint32_t type;
    PIXBOX box;
    int32_t cursor;
    uint32_t flags;
  };
  const Entry expected[] = {
      {kMouseParent, {0, 0, 0, 0}, -1, 0},
      {kMouseChild, {209, 47, 12, 12}, 2, 0x20200000},  // knob down
      {kMouseChild, {235, 47, 12, 12}, 1, 0x20200000},  // knob up
      {kMouseChild, {34, 92, 24, 12}, 5, 0x20000000},   // ALT
      {kMouseChild, {147, 92, 24, 12}, 5, 0x20000000},  // VS
      {kMouseChild, {7, 33, 31, 16}, 5, 0x20000000},    // DTA
      {kMouseChild, {7, 62, 31, 16}, 5, 0x20000000},    // BAR
      {kMouseChild, {68, 92, 24, 12}, 5, 0x20000000},   // ALR
      {kMouseChild, {104, 92, 24, 12}, 5, 0x20000000},  // DH
      {kMouseEndParent, {0, 0, 0, 0}, -1, 0},
      {kMouseEnd, {0, 0, 0, 0}, -1, 0},
  };
  const MOUSERECT* m = g->mouse_rects;
  ASSERT_NE(m, nullptr);
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(testing::Message() << "mouse entry " << i + 1);
    const Entry& e = expected[i];
    EXPECT_EQ(m[i].type, e.type);
    EXPECT_EQ((std::vector<int>{m[i].box.x, m[i].box.y, m[i].box.w, m[i].box.h}),
              (std::vector<int>{e.box.x, e.box.y, e.box.w, e.box.h}));
    EXPECT_EQ(m[i].cursor, e.cursor);
    EXPECT_EQ(m[i].help_id, 0u);
    EXPECT_EQ(m[i].flags, e.flags);
    EXPECT_EQ(m[i].event_id, 0u);
    EXPECT_EQ(m[i].function.mouse != nullptr, e.type == kMouseChild);
    EXPECT_EQ(m[i].data, nullptr);
  }
  // The cursors a host shows over the controls.
  EXPECT_EQ(p.session().CursorAt(kGauge, 215, 53), 2);
  EXPECT_EQ(p.session().CursorAt(kGauge, 241, 53), 1);
  EXPECT_EQ(p.session().CursorAt(kGauge, 116, 98), 5);
  EXPECT_EQ(p.session().CursorAt(kGauge, 190, 98), -1) << "MAN has no mouse area";
}

TEST(PreselectorRecords, ElementChainInDrawingOrder) {
  struct Row {
    uint32_t kind;
    uint32_t bitmap;
    int x, y;
    uint32_t frames;  // icons
    uint32_t source;  // first source token
    Failures failures;
    uint32_t flags;
  };
  constexpr uint32_t S = kElementStatic, I = kElementIcon, T = kElementString, kText = kStringBitmapId;
  const Row rows[] = {
      {S, 0x1200, 0, 0, 0, 0, Failures::kEmpty, 0x83},
      {I, 0x12a0, 128, 58, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1290, 100, 58, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1280, 52, 45, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1270, 149, 32, 3, 0, Failures::kDefault, 0x3},
      {I, 0x1250, 163, 32, 10, 0, Failures::kDefault, 0x3},
      {I, 0x1250, 181, 32, 10, 0, Failures::kDefault, 0x3},
      {I, 0x1250, 125, 32, 10, 0, Failures::kDefault, 0x3},
      {I, 0x1250, 94, 32, 10, 0, Failures::kDefault, 0x3},
      {I, 0x1250, 75, 32, 10, 0, Failures::kDefault, 0x3},
      {S, 0x1260, 115, 48, 0, 0, Failures::kDefault, 0x83},
      {I, 0x1230, 167, 58, 2, VarAvionicsMaster, Failures::kDefault, 0x3},
      {I, 0x1202, 51, 31, 1, VarSimRate, Failures::kPattern, 0x3},
      {I, 0x1240, 147, 58, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1230, 167, 58, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1220, 51, 58, 2, 0, Failures::kDefault, 0x3},
      {I, 0x1210, 52, 31, 2, 0, Failures::kDefault, 0x3},
      {T, kText, 75, 24, 0, VarKohlsmanHg, Failures::kDefault, 0x83},
      {T, kText, 75, 24, 0, VarApAltitudeRef, Failures::kDefault, 0x83},
      {T, kText, 147, 24, 0, VarApVsRef, Failures::kDefault, 0x83},
  };
  struct Text {
    int w, h;
    uint32_t chars, second_source;
  };
  const Text texts[] = {{70, 50, 4, 0}, {70, 50, 4, 0}, {50, 50, 3, VarPreselectorAux}};

  Preselector p;
  const GAUGEHDR* g = p.session().GaugeHeader(kGauge);
  ASSERT_NE(g, nullptr);
  const ELEMENT_HEADER* e = *g->elements;
  int text = 0;
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "element " << i + 1);
    ASSERT_NE(e, nullptr);
    const Row& r = rows[i];
    EXPECT_EQ(e->kind, r.kind);
    EXPECT_EQ(e->bitmap_id, r.bitmap);
    EXPECT_EQ((std::pair<int, int>{e->position.x, e->position.y}), (std::pair<int, int>{r.x, r.y}));
    EXPECT_EQ((std::pair<int, int>{e->offset.x, e->offset.y}), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(e->gauge, g);
    EXPECT_EQ(e->image_flags, r.flags);
    EXPECT_EQ(e->special_flags, 0u);
    ExpectFailures(e->failures, r.failures);
    if (r.kind == kElementIcon) {
      const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(e);
      EXPECT_EQ(icon->source.id, r.source);
      EXPECT_NE(icon->callback, nullptr);
      EXPECT_EQ(icon->frame_count, r.frames);
      EXPECT_EQ(icon->switch_type, 0u);
      EXPECT_EQ(icon->scale, 0.0);
      EXPECT_EQ(icon->offset, 0.0);
    } else if (r.kind == kElementString) {
      const auto* s = reinterpret_cast<const ELEMENT_STRING*>(e);
      const Text& t = texts[text++];
      EXPECT_EQ(s->sources[0].id, r.source);
      EXPECT_EQ(s->sources[1].id, t.second_source);
      EXPECT_EQ(s->sources[2].id, 0u);
      EXPECT_NE(s->callback, nullptr);
      EXPECT_EQ((std::pair<int, int>{s->box_size.x, s->box_size.y}), (std::pair<int, int>{t.w, t.h}));
      EXPECT_EQ(s->fg_color, 0x00010101u);
      EXPECT_EQ(s->bg_color, 0x00408080u);
      EXPECT_EQ(s->highlight_color, 0u);
      ASSERT_NE(s->font_face, nullptr);
      EXPECT_EQ(std::string(s->font_face), "Quartz");
      EXPECT_EQ(s->font_weight, 400u);
      EXPECT_EQ(s->charset, 1u);
      EXPECT_EQ(s->draw_flags, 6u);
      EXPECT_EQ(s->char_count, t.chars);
    }
    // A chain: every list holds exactly the next element, the last none.
    if (i + 1 < std::size(rows)) {
      ASSERT_NE(e->next_elements, nullptr);
      ASSERT_NE(e->next_elements[0], nullptr);
      EXPECT_EQ(e->next_elements[1], nullptr);
      e = e->next_elements[0];
    } else {
      EXPECT_TRUE(e->next_elements == nullptr || e->next_elements[0] == nullptr);
    }
  }
  EXPECT_EQ(p.session().ElementCount(kGauge), 20);
}

// ---------------------------------------------------------------------------
// Artwork.

TEST(PreselectorArtwork, EveryBitmapAtItsSizeIn24BitsAndTheDisplayBitmapsFreeOfPureBlack) {
  const struct {
    uint32_t first, last;
    int w, h;
  } bitmaps[] = {
      {0x1200, 0x1200, 249, 116}, {0x1202, 0x1202, 145, 35}, {0x1210, 0x1211, 20, 8}, {0x1220, 0x1221, 20, 8},
      {0x1230, 0x1231, 29, 8},    {0x1240, 0x1241, 14, 8},   {0x1250, 0x1259, 13, 22}, {0x1260, 0x1260, 3, 6},
      {0x1270, 0x1272, 13, 22},   {0x1280, 0x1280, 14, 8},   {0x1281, 0x1281, 15, 8},  {0x1290, 0x1291, 21, 8},
      {0x12a0, 0x12a1, 14, 8},
  };
  const talvor::ModuleFile module(talvor::Session::DefaultModulePath());
  for (const auto& b : bitmaps) {
    for (uint32_t id = b.first; id <= b.last; ++id) {
      SCOPED_TRACE(testing::Message() << "bitmap 0x" << std::hex << id);
      const talvor::BitmapBytes bytes = module.ReadBitmap(id);
      const size_t info = bytes.has_file_header ? 14 : 0;
      ASSERT_GT(bytes.data.size(), info + 16);
      EXPECT_EQ(bytes.data[info + 14] | bytes.data[info + 15] << 8, 24) << "bits per pixel";
      const talvor::Raster r = bytes.has_file_header ? talvor::DecodeBmp(bytes.data.data(), bytes.data.size())
                                                     : talvor::DecodeDib(bytes.data.data(), bytes.data.size());
      EXPECT_EQ(r.width, b.w);
      EXPECT_EQ(r.height, b.h);
      int black = 0;
      for (size_t i = 0; i < r.rgba.size(); i += 4) {
        black += r.rgba[i] == 0 && r.rgba[i + 1] == 0 && r.rgba[i + 2] == 0;
      }
      EXPECT_EQ(black, 0) << "pure black would let what lies beneath show through";
    }
  }
  // A blank frame is the plain window green, like the window behind it.
  const talvor::BitmapBytes blank = module.ReadBitmap(0x1270);
  const talvor::Raster r = blank.has_file_header ? talvor::DecodeBmp(blank.data.data(), blank.data.size())
                                                 : talvor::DecodeDib(blank.data.data(), blank.data.size());
  for (size_t i = 0; i < r.rgba.size(); i += 4) {
    ASSERT_EQ((std::vector<int>{r.rgba[i], r.rgba[i + 1], r.rgba[i + 2]}), (std::vector<int>{218, 234, 136}));
  }
}

}  // namespace

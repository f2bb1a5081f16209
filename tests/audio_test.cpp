// GMA340 driven through the emulator as the host drives it: power,
// sensitivity, the selectors, the panel's own switches, the marker test and
// lamps, failures, its records as a host reads them, and its artwork.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "emulator/bmp.h"
#include "emulator/module_loader.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/golden.h"

namespace {

using talvor::SentEvent;
using talvor::Session;

constexpr char kGauge[] = "GMA340";
constexpr char kInner[] = "Sound\\Innermk.wav";
constexpr char kOuter[] = "Sound\\Outermk.wav";
constexpr char kMiddle[] = "Sound\\Middmk.wav";

// The seventeen areas in list order, with their boxes on the face.
enum Area { kPilotKnob, kSens, kTest, kNav1, kNav2, kCom1, kCom2, kMkr, kDme, kAdf, kComBoth,
            kCom1Mic, kCom2Mic, kSpkr, kIcsPilot, kPa, kIcsCrew, kAreaCount };
const PIXBOX kBoxes[kAreaCount] = {
    {6, 43, 34, 39},  {78, 75, 33, 18}, {448, 14, 36, 20}, {261, 9, 35, 29},  {303, 9, 35, 29},  {121, 9, 35, 29},
    {163, 9, 35, 29}, {78, 9, 35, 29},  {344, 9, 35, 29},  {386, 9, 35, 29},  {262, 44, 33, 48}, {120, 44, 36, 49},
    {162, 44, 36, 49}, {303, 44, 51, 20}, {368, 44, 51, 20}, {303, 74, 51, 20}, {368, 74, 51, 20},
};

// Elements by their place in drawing order.
enum Element { kFace = 1, kHiLo, kNav1Led, kNav2Led, kCom1Led, kCom2Led, kMkrLed, kDmeLed, kAdfLed, kComBothLed,
               kPowerLamp, kLampA, kLampO, kLampM, kCom1MicLight, kCom2MicLight, kSpkrLight, kIcsPilotLight,
               kPaLight, kIcsCrewLight, kElementCount = kIcsCrewLight };

struct Selector {
  Area area;
  uint32_t event;
  uint32_t token;
  Element led;
};
const Selector kSelectors[] = {
    {kNav1, EvtAudioNav1, VarAudioNav1, kNav1Led},       {kNav2, EvtAudioNav2, VarAudioNav2, kNav2Led},
    {kCom1, EvtAudioCom1, VarAudioCom1, kCom1Led},       {kCom2, EvtAudioCom2, VarAudioCom2, kCom2Led},
    {kMkr, EvtAudioMarker, VarAudioMarker, kMkrLed},     {kDme, EvtAudioDme, VarAudioDme, kDmeLed},
    {kAdf, EvtAudioAdf, VarAudioAdf, kAdfLed},           {kComBoth, EvtAudioComBoth, VarAudioComBoth, kComBothLed},
};

struct LocalSwitch {
  Area area;
  Element light;
  bool at_load;
};
const LocalSwitch kLocalSwitches[] = {
    {kCom1Mic, kCom1MicLight, true}, {kCom2Mic, kCom2MicLight, false}, {kSpkr, kSpkrLight, true},
    {kIcsPilot, kIcsPilotLight, true}, {kPa, kPaLight, false},         {kIcsCrew, kIcsCrewLight, false},
};

// One session with the panel on it, freshly loaded: the module's initial state.
class Gma340 {
 public:
  Gma340() : s(Session::DefaultModulePath()) {
    s.AddGauge(kGauge, 0, 0, 500, 102);
    s.Run(1);
  }

  void Press(Area a) {
    const PIXBOX& b = kBoxes[a];
    s.Click(kGauge, b.x + b.w / 2, b.y + b.h / 2);
  }
  // Presses, then one update to show the result.
  void PressAndRun(Area a) {
    Press(a);
    s.Run(1);
  }
  std::optional<int> Frame(Element e) const { return s.Element(kGauge, e).frame; }
  bool Lit(Element e) const { return Frame(e) == 0; }
  std::vector<SentEvent> Events() {
    std::vector<SentEvent> out;
    for (const SentEvent& e : s.TakeEvents()) out.push_back({e.event, e.value});
    return out;
  }
  std::vector<std::string> Sounds() {
    std::vector<std::string> out;
    for (const talvor::PlayedSound& p : s.TakeSounds()) {
      EXPECT_EQ(p.flags, 1u) << p.name << " plays asynchronously";
      out.push_back(p.name);
    }
    return out;
  }
  // Which of A, O, M are lit, as a word ("", "A", "AO", ...).
  std::string Lamps() const {
    std::string lit;
    if (Lit(kLampA)) lit += 'A';
    if (Lit(kLampO)) lit += 'O';
    if (Lit(kLampM)) lit += 'M';
    return lit;
  }

  Session s;
};

// -- power and sensitivity --

TEST(Gma340Power, OffShowsDarkLedsAndNothingElse) {
  Gma340 g;
  for (const Selector& sel : kSelectors) g.s.Set(sel.token, 1.0);
  g.s.Set(VarMarkerBeacon, 1.0);
  g.Press(kSens);
  g.s.Run(1);
  for (const Selector& sel : kSelectors) {
    EXPECT_EQ(g.Frame(sel.led), 0) << "LED " << sel.led << " dark, not hidden";
    EXPECT_EQ(g.s.Element(kGauge, sel.led).value, 0.0);
  }
  for (const Element e : {kHiLo, kPowerLamp, kLampA, kLampO, kLampM, kCom1MicLight, kCom2MicLight, kSpkrLight,
                          kIcsPilotLight, kPaLight, kIcsCrewLight}) {
    EXPECT_EQ(g.Frame(e), std::nullopt) << "element " << e;
  }
  EXPECT_TRUE(g.s.Element(kGauge, kFace).drawn);
}

TEST(Gma340Power, OnShowsTheStateAtLoad) {
  Gma340 g;
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Frame(kPowerLamp), 0);
  EXPECT_EQ(g.Frame(kHiLo), 0) << "LO";
  for (const LocalSwitch& sw : kLocalSwitches) {
    EXPECT_EQ(g.Lit(sw.light), sw.at_load) << "light " << sw.light;
  }
  EXPECT_EQ(g.Lamps(), "");
  for (const Selector& sel : kSelectors) EXPECT_EQ(g.Frame(sel.led), 0);
  EXPECT_TRUE(g.Events().empty());
  EXPECT_TRUE(g.Sounds().empty());
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Frame(kPowerLamp), std::nullopt);
}

// SENS works powered or not; switching off always returns LO, switching on
// restores nothing.
TEST(Gma340Power, SensitivityFlipsUnpoweredAndPowerOffReturnsLo) {
  Gma340 g;
  g.PressAndRun(kSens);
  EXPECT_EQ(g.Frame(kHiLo), std::nullopt);
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Frame(kHiLo), 1) << "HI, flipped while off";
  g.PressAndRun(kPilotKnob);
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Frame(kHiLo), 0) << "off returned LO";
  g.PressAndRun(kSens);
  EXPECT_EQ(g.Frame(kHiLo), 1);
  g.PressAndRun(kSens);
  EXPECT_EQ(g.Frame(kHiLo), 0);
  EXPECT_TRUE(g.Events().empty());
}

// -- selectors and local switches --

TEST(Gma340Selectors, SendOneEventOnlyWhenPowered) {
  for (const Selector& sel : kSelectors) {
    Gma340 g;
    g.PressAndRun(sel.area);
    EXPECT_TRUE(g.Events().empty()) << "area " << sel.area << " unpowered";
    EXPECT_EQ(g.s.Get(sel.token), 0.0);

    g.PressAndRun(kPilotKnob);
    g.PressAndRun(sel.area);
    EXPECT_EQ(g.Events(), (std::vector<SentEvent>{{sel.event, 0}})) << "area " << sel.area;
    EXPECT_EQ(g.s.Get(sel.token), 1.0) << "the host selected it";
    EXPECT_EQ(g.Frame(sel.led), 1) << "lit strip";
    for (const Selector& other : kSelectors) {
      if (other.led != sel.led) EXPECT_EQ(g.Frame(other.led), 0) << "LED " << other.led;
    }
    g.PressAndRun(kPilotKnob);
    EXPECT_EQ(g.Frame(sel.led), 0) << "dark while off, the host's selection kept";
    EXPECT_EQ(g.s.Get(sel.token), 1.0);
  }
}

// The host's value passes unchanged while on; what it draws for other values
// is the host's affair.
TEST(Gma340Selectors, LedPassesTheHostsValueWhilePowered) {
  Gma340 g;
  g.PressAndRun(kPilotKnob);
  for (const double v : {0.0, 1.0, 0.5, 7.0, -1.0}) {
    g.s.Set(VarAudioDme, v);
    g.s.Run(1);
    EXPECT_EQ(g.s.Element(kGauge, kDmeLed).value, v);
  }
}

TEST(Gma340LocalSwitches, FlipOnlyWhenPoweredAndSurviveAPowerCycle) {
  for (const LocalSwitch& sw : kLocalSwitches) {
    Gma340 g;
    g.PressAndRun(sw.area);  // unpowered: ignored
    g.PressAndRun(kPilotKnob);
    EXPECT_EQ(g.Lit(sw.light), sw.at_load) << "area " << sw.area;
    g.PressAndRun(sw.area);
    EXPECT_EQ(g.Lit(sw.light), !sw.at_load) << "area " << sw.area;
    g.PressAndRun(kPilotKnob);
    EXPECT_FALSE(g.Lit(sw.light));
    g.PressAndRun(kPilotKnob);
    EXPECT_EQ(g.Lit(sw.light), !sw.at_load) << "kept through the power cycle";
    for (const LocalSwitch& other : kLocalSwitches) {
      if (other.light != sw.light) EXPECT_EQ(g.Lit(other.light), other.at_load) << "light " << other.light;
    }
    EXPECT_TRUE(g.Events().empty()) << "the panel keeps these to itself";
  }
}

// COM3, COM3 MIC and the COPILOT knob have no area.
TEST(Gma340, UnwiredControlsDoNothing) {
  Gma340 g;
  g.PressAndRun(kPilotKnob);
  for (const auto& [x, y] : {std::pair{222, 23}, std::pair{222, 68}, std::pair{460, 64}}) {
    EXPECT_EQ(g.s.CursorAt(kGauge, x, y), kCursorNone);
    g.s.Click(kGauge, x, y);
  }
  g.s.Run(1);
  EXPECT_TRUE(g.Events().empty());
  for (const LocalSwitch& sw : kLocalSwitches) EXPECT_EQ(g.Lit(sw.light), sw.at_load);
  EXPECT_EQ(g.Frame(kPowerLamp), 0);
}

// -- marker test and lamps --

TEST(Gma340Marker, TestStepsThroughTheThreeTones) {
  Gma340 g;
  g.PressAndRun(kTest);
  EXPECT_TRUE(g.Sounds().empty()) << "unpowered";
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Lamps(), "") << "the step stayed at 0";

  struct Step {
    std::vector<std::string> sounds;
    const char* lamps;
  };
  const Step steps[] = {{{kInner}, "A"}, {{kOuter}, "O"}, {{kMiddle}, "M"}, {{}, ""}, {{kInner}, "A"}};
  for (const Step& step : steps) {
    g.PressAndRun(kTest);
    EXPECT_EQ(g.Sounds(), step.sounds);
    EXPECT_EQ(g.Lamps(), step.lamps);
    g.s.Run(3);
    EXPECT_EQ(g.Lamps(), step.lamps) << "held between clicks";
  }
  EXPECT_TRUE(g.Events().empty());
}

// The step holds while off, unchanged by TEST, and shows again at power-on
// without a tone.
TEST(Gma340Marker, StepSurvivesAPowerCycle) {
  Gma340 g;
  g.PressAndRun(kPilotKnob);
  g.PressAndRun(kTest);
  g.PressAndRun(kTest);
  g.Sounds();
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Lamps(), "");
  g.PressAndRun(kTest);
  g.PressAndRun(kPilotKnob);
  EXPECT_EQ(g.Lamps(), "O");
  EXPECT_TRUE(g.Sounds().empty());
}

// Beacon 1 outer (O), 2 middle (M), 3 inner (A), compared exactly; a test
// step lights its lamp beside the beacon's.
TEST(Gma340Marker, LampsByExactBeaconValueAndTestStep) {
  struct Case {
    double beacon;
    int test_clicks;
    const char* lamps;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0.0, 0, ""},  {1.0, 0, "O"},        {2.0, 0, "M"},   {3.0, 0, "A"},     {2.5, 0, ""},
      {4.0, 0, ""},  {1.0000000001, 0, ""}, {-1.0, 0, ""},  {nan, 0, ""},      {1.0, 1, "AO"},
      {1.0, 2, "O"}, {3.0, 3, "AM"},       {2.0, 3, "M"},   {nan, 2, "O"},
  };
  for (const Case& c : cases) {
    Gma340 g;
    g.PressAndRun(kPilotKnob);
    for (int i = 0; i < c.test_clicks; ++i) g.Press(kTest);
    g.s.Set(VarMarkerBeacon, c.beacon);
    g.s.Run(1);
    EXPECT_EQ(g.Lamps(), c.lamps) << "beacon " << c.beacon << ", " << c.test_clicks << " TEST clicks";
    g.PressAndRun(kPilotKnob);
    EXPECT_EQ(g.Lamps(), "") << "unpowered, beacon " << c.beacon;
  }
}

// -- failures --

TEST(Gma340, PanelAndAvionicsFailuresHideTheLightsNotTheFace) {
  for (const uint32_t key : {kFailElectricalPanel, kFailAvionics}) {
    Gma340 g;
    g.PressAndRun(kPilotKnob);
    g.s.SetFailure(key, true);
    g.s.Run(1);
    EXPECT_TRUE(g.s.Element(kGauge, kFace).drawn);
    for (int e = kHiLo; e <= kElementCount; ++e) {
      EXPECT_FALSE(g.s.Element(kGauge, e).drawn) << "failure " << key << ", element " << e;
    }
    g.s.SetFailure(key, false);
    g.s.Run(1);
    EXPECT_EQ(g.Frame(kPowerLamp), 0);
    EXPECT_EQ(g.Frame(kNav1Led), 0);
  }
}

// -- records --

TEST(Gma340, RecordsAsAHostReadsThem) {
  Session s(Session::DefaultModulePath());
  const GAUGEHDR* h = s.GaugeHeader(kGauge);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->version, 800u);
  EXPECT_STREQ(h->name, kGauge);
  EXPECT_EQ(h->width_mm, 500u);
  EXPECT_NE(h->callback, nullptr);
  EXPECT_EQ(h->user_data, 0u);
  EXPECT_EQ(h->parameters, nullptr);
  EXPECT_EQ(h->flags, 0u);

  const ELEMENT_HEADER* root = *h->elements;
  EXPECT_EQ(root->kind, kElementStatic);
  EXPECT_EQ(root->bitmap_id, 0x1700u);
  EXPECT_EQ(root->image_flags, 0x83u);
  EXPECT_EQ(root->failures, nullptr);
  EXPECT_EQ(root->gauge, h);

  struct Light {
    uint32_t bitmap;
    uint32_t frames;
    int x, y;
    uint32_t token;
  };
  const Light lights[] = {
      {0x1701, 2, 77, 49, 0},  {0x1710, 2, 270, 14, VarAudioNav1}, {0x1710, 2, 311, 14, VarAudioNav2},
      {0x1710, 2, 130, 14, VarAudioCom1}, {0x1710, 2, 171, 14, VarAudioCom2}, {0x1710, 2, 84, 14, VarAudioMarker},
      {0x1710, 2, 352, 14, VarAudioDme},  {0x1710, 2, 393, 14, VarAudioAdf},  {0x1710, 2, 269, 49, VarAudioComBoth},
      {0x1703, 1, 245, 36, 0}, {0x1715, 1, 7, 16, 0},   {0x1716, 1, 28, 15, 0},  {0x1717, 1, 50, 15, 0},
      {0x1711, 1, 129, 49, 0}, {0x1711, 1, 170, 49, 0}, {0x1711, 1, 306, 50, 0}, {0x1711, 1, 370, 50, 0},
      {0x1711, 1, 307, 80, 0}, {0x1711, 1, 370, 80, 0},
  };
  ASSERT_NE(root->next_elements, nullptr);
  size_t i = 0;
  for (; root->next_elements[i] != nullptr && i < std::size(lights); ++i) {
    const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(root->next_elements[i]);
    const Light& l = lights[i];
    const std::string what = "light " + std::to_string(i + 1);
    EXPECT_EQ(icon->header.kind, kElementIcon) << what;
    EXPECT_EQ(icon->header.bitmap_id, l.bitmap) << what;
    EXPECT_EQ(icon->frame_count, l.frames) << what;
    EXPECT_EQ(icon->header.position.x, l.x) << what;
    EXPECT_EQ(icon->header.position.y, l.y) << what;
    EXPECT_EQ(icon->source.id, l.token) << what;
    EXPECT_NE(icon->callback, nullptr) << what;
    EXPECT_EQ(icon->switch_type, 0u) << what;
    EXPECT_EQ(icon->scale, 0.0) << what;
    EXPECT_EQ(icon->offset, 0.0) << what;
    EXPECT_EQ(icon->header.image_flags, 0x7u) << what;
    EXPECT_EQ(icon->header.next_elements, nullptr) << what;
    EXPECT_EQ(icon->header.gauge, h) << what;
    EXPECT_EQ(icon->header.special_flags, 0u) << what;
    const FAILURE_RECORD* f = icon->header.failures;
    ASSERT_NE(f, nullptr) << what;
    EXPECT_EQ(f[0].key, 20u);
    EXPECT_EQ(f[0].action, 3u);
    EXPECT_EQ(f[1].key, 21u);
    EXPECT_EQ(f[1].action, 3u);
    EXPECT_EQ(f[2].key, 0u);
  }
  EXPECT_EQ(i, std::size(lights));
  EXPECT_EQ(root->next_elements[i], nullptr) << "nineteen lights, then the end of the list";

  const MOUSERECT* m = h->mouse_rects;
  const auto expect_end = [](const MOUSERECT& e, uint32_t type) {
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.cursor, kCursorNone);
    EXPECT_EQ(e.box.x | e.box.y | e.box.w | e.box.h, 0);
    EXPECT_EQ(e.help_id | e.flags | e.event_id, 0u);
    EXPECT_EQ(e.function.mouse, nullptr);
  };
  EXPECT_EQ(m[0].type, kMouseParent);
  EXPECT_EQ(m[0].box.x | m[0].box.y | m[0].box.w | m[0].box.h, 0) << "the outer parent is the whole gauge";
  EXPECT_EQ(m[0].help_id, 0u);
  ++m;
  for (int a = 0; a < kAreaCount; ++a, m += 3) {
    const PIXBOX& b = kBoxes[a];
    const std::string what = "area " + std::to_string(a + 1);
    EXPECT_EQ(m[0].type, kMouseParent) << what;
    EXPECT_EQ(m[0].box.x, b.x) << what;
    EXPECT_EQ(m[0].box.y, b.y) << what;
    EXPECT_EQ(m[0].box.w, b.w) << what;
    EXPECT_EQ(m[0].box.h, b.h) << what;
    EXPECT_EQ(m[0].cursor, kCursorNone) << what;
    EXPECT_EQ(m[0].help_id | m[0].flags, 0u) << what;
    EXPECT_EQ(m[0].function.mouse, nullptr) << what;
    EXPECT_EQ(m[1].type, kMouseChild) << what;
    EXPECT_EQ(m[1].box.x | m[1].box.y, 0) << what;
    EXPECT_EQ(m[1].box.w, b.w) << what;
    EXPECT_EQ(m[1].box.h, b.h) << what;
    EXPECT_EQ(m[1].cursor, kCursorHand) << what;
    EXPECT_EQ(m[1].help_id, 0u) << what;
    EXPECT_EQ(m[1].flags, 0x20000000u) << what;
    EXPECT_EQ(m[1].event_id, 0u) << what;
    EXPECT_NE(m[1].function.mouse, nullptr) << what;
    EXPECT_EQ(m[1].data, nullptr) << what;
    expect_end(m[2], kMouseEndParent);
  }
  expect_end(m[0], kMouseEndParent);
  expect_end(m[1], kMouseEnd);
}

// -- artwork --

TEST(Gma340Artwork, SizesDepthsAndNoPureBlack) {
  struct Case {
    uint32_t id;
    int w, h;
  };
  const Case cases[] = {{0x1700, 500, 102}, {0x1701, 19, 18}, {0x1702, 19, 18}, {0x1703, 9, 11}, {0x1710, 19, 6},
                        {0x1711, 19, 6},    {0x1715, 23, 19}, {0x1716, 23, 21}, {0x1717, 23, 21}};
  const talvor::ModuleFile module(Session::DefaultModulePath());
  for (const Case& c : cases) {
    const talvor::BitmapBytes bytes = module.ReadBitmap(c.id);
    const size_t info = bytes.has_file_header ? 14 : 0;
    ASSERT_GT(bytes.data.size(), info + 20);
    const std::string what = "bitmap " + talvor::BitmapHexName(c.id);
    EXPECT_EQ(bytes.data[info + 14] | bytes.data[info + 15] << 8, 24) << what;
    const talvor::Raster r = bytes.has_file_header ? talvor::DecodeBmp(bytes.data.data(), bytes.data.size())
                                                   : talvor::DecodeDib(bytes.data.data(), bytes.data.size());
    EXPECT_EQ(r.width, c.w) << what;
    EXPECT_EQ(r.height, c.h) << what;
    int black = 0;
    for (size_t p = 0; p < r.rgba.size(); p += 4) black += (r.rgba[p] | r.rgba[p + 1] | r.rgba[p + 2]) == 0;
    EXPECT_EQ(black, 0) << what << ": transparency would leave a hole";
  }
}

TEST(Gma340Golden, OnWithLamps) {
  Gma340 g;
  g.PressAndRun(kPilotKnob);
  g.PressAndRun(kSens);
  g.PressAndRun(kCom1);
  g.PressAndRun(kNav1);
  g.PressAndRun(kPa);
  g.PressAndRun(kTest);  // lamp A
  g.s.Set(VarMarkerBeacon, 1.0);  // lamp O
  g.s.Run(1);
  ASSERT_EQ(g.Lamps(), "AO");
  ExpectMatchesGolden(g.s.RenderGauge(kGauge), "audio_on_lamps");
}

}  // namespace

// Throttle Lever, Mixture Lever, Elevator Trim and Spoiler driven through the
// emulator as the host drives them, their records as a host reads them, and
// their artwork.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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

struct LeverCase {
  const char* gauge;
  uint32_t event;
  uint32_t token;
  uint32_t background, knob;
  int width;
  uint32_t help_id;
};
const LeverCase kLevers[] = {
    {"Throttle Lever", EvtThrottleSet, VarThrottleLever, 0x1600, 0x1601, 89, 0xAB6C},
    {"Mixture Lever", EvtMixtureSet, VarMixtureLever, 0x1605, 0x1606, 60, 0xAB6B},
};

// Events without the update they were sent at, for comparison.
std::vector<SentEvent> Sent(Session& s) {
  std::vector<SentEvent> out;
  for (const SentEvent& e : s.TakeEvents()) out.push_back({e.event, e.value});
  return out;
}

std::vector<SentEvent> Repeated(uint32_t event, uint32_t value, size_t n) {
  return std::vector<SentEvent>(n, SentEvent{event, value});
}

// A failure list as a host reads it, up to its end record.
std::vector<std::pair<uint32_t, uint32_t>> Failures(const FAILURE_RECORD* list) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (; list != nullptr && list->key != 0; ++list) {
    EXPECT_EQ(list->reserved, 0u);
    out.push_back({list->key, list->action});
  }
  return out;
}

void ExpectBox(const PIXBOX& b, int x, int y, int w, int h, const std::string& what) {
  EXPECT_EQ(b.x, x) << what;
  EXPECT_EQ(b.y, y) << what;
  EXPECT_EQ(b.w, w) << what;
  EXPECT_EQ(b.h, h) << what;
}

// An end entry: the cursor none and every other field zero.
void ExpectEnd(const MOUSERECT& m, uint32_t type, const std::string& what) {
  EXPECT_EQ(m.type, type) << what;
  ExpectBox(m.box, 0, 0, 0, 0, what);
  EXPECT_EQ(m.cursor, kCursorNone) << what;
  EXPECT_EQ(m.help_id, 0u) << what;
  EXPECT_EQ(m.flags, 0u) << what;
  EXPECT_EQ(m.event_id, 0u) << what;
  EXPECT_EQ(m.function.mouse, nullptr) << what;
  EXPECT_EQ(m.data, nullptr) << what;
}

void ExpectParent(const MOUSERECT& m, int x, int y, int w, int h, uint32_t help_id, const std::string& what) {
  EXPECT_EQ(m.type, kMouseParent) << what;
  ExpectBox(m.box, x, y, w, h, what);
  EXPECT_EQ(m.cursor, kCursorNone) << what;
  EXPECT_EQ(m.help_id, help_id) << what;
  EXPECT_EQ(m.flags, 0u) << what;
  EXPECT_EQ(m.event_id, 0u) << what;
  EXPECT_EQ(m.function.mouse, nullptr) << what;
  EXPECT_EQ(m.data, nullptr) << what;
}

void ExpectChild(const MOUSERECT& m, int w, int h, int32_t cursor, uint32_t flags, const std::string& what) {
  EXPECT_EQ(m.type, kMouseChild) << what;
  ExpectBox(m.box, 0, 0, w, h, what);
  EXPECT_EQ(m.cursor, cursor) << what;
  EXPECT_EQ(m.help_id, 0u) << what;
  EXPECT_EQ(m.flags, flags) << what;
  EXPECT_EQ(m.event_id, 0u) << what;
  EXPECT_NE(m.function.mouse, nullptr) << what;
  EXPECT_EQ(m.data, nullptr) << what;
}

void ExpectHeader(const GAUGEHDR* h, const char* name, uint32_t width_mm) {
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->version, 800u) << name;
  EXPECT_STREQ(h->name, name);
  EXPECT_EQ(h->width_mm, width_mm) << name;
  EXPECT_NE(h->callback, nullptr) << name;
  EXPECT_EQ(h->user_data, 0u) << name;
  EXPECT_EQ(h->parameters, nullptr) << name;
  EXPECT_EQ(h->flags, 0u) << name;
  ASSERT_NE(h->elements, nullptr) << name;
  ASSERT_NE(*h->elements, nullptr) << name;
  const ELEMENT_HEADER* root = *h->elements;
  EXPECT_EQ(root->kind, kElementStatic) << name;
  EXPECT_EQ(root->position.x, 0) << name;
  EXPECT_EQ(root->position.y, 0) << name;
  EXPECT_EQ(root->gauge, h) << name;
  EXPECT_EQ(root->image_flags, 0x83u) << name;
}

// The host's own fields, and the fields every element of these gauges leaves zero.
void ExpectPlainElement(const ELEMENT_HEADER* e, const GAUGEHDR* gauge, const std::string& what) {
  EXPECT_EQ(e->gauge, gauge) << what;
  EXPECT_EQ(e->offset.x, 0) << what;
  EXPECT_EQ(e->offset.y, 0) << what;
  EXPECT_EQ(e->previous_position.x, 0) << what;
  EXPECT_EQ(e->previous_position.y, 0) << what;
  EXPECT_EQ(e->previous_element, nullptr) << what;
  EXPECT_EQ(e->special_flags, 0u) << what;
}

// -- levers --

// The drag rule: 16383 - (y * 16383) / 174 with y clamped to 0..174. The
// points outside the strip arrive as drags that started on it.
TEST(Levers, DragSendsTheValueOfThePointersHeight) {
  struct Case {
    int y;
    uint32_t value;
  };
  const Case cases[] = {{-5, 16383}, {0, 16383}, {1, 16289},  {87, 8192},
                        {173, 95},   {174, 0},   {223, 0},    {300, 0}};
  for (const LeverCase& lever : kLevers) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(lever.gauge);
    for (const Case& c : cases) {
      // Pressed at y 50 (16383 - 819150 / 174 = 11676), then dragged to y.
      s.Drag(lever.gauge, 10, 50, 10, c.y, 1);
      EXPECT_EQ(Sent(s), (std::vector<SentEvent>{{lever.event, 11676}, {lever.event, c.value}}))
          << lever.gauge << " y " << c.y;
    }
  }
}

TEST(Levers, EveryCallSendsAnEventEvenWhenTheValueRepeats) {
  for (const LeverCase& lever : kLevers) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(lever.gauge);
    s.Click(lever.gauge, 5, 87);
    s.Click(lever.gauge, 30, 87);
    EXPECT_EQ(Sent(s), Repeated(lever.event, 8192, 2)) << lever.gauge;
    s.Drag(lever.gauge, 2, 87, 42, 87, 4);  // across the strip at one height
    EXPECT_EQ(Sent(s), Repeated(lever.event, 8192, 5)) << lever.gauge;
    s.Drag(lever.gauge, 20, 200, 20, 400, 3);  // below the bottom throughout
    EXPECT_EQ(Sent(s), Repeated(lever.event, 0, 4)) << lever.gauge;
  }
}

// The knob shows the host's lever, not the last value sent: its top edge at
// 174 - 0.01 x value. An engine failure changes nothing.
TEST(Levers, KnobFollowsTheHostsLeverThroughAnEngineFailure) {
  for (const LeverCase& lever : kLevers) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(lever.gauge);
    for (const bool engine_failed : {false, true}) {
      s.SetFailure(kFailEngine, engine_failed);
      for (const double v : {0.0, 8192.0, 16383.0}) {
        s.Set(lever.token, v);
        s.Run(1);
        const talvor::ElementState knob = s.Element(lever.gauge, 2);
        EXPECT_EQ(knob.kind, kElementSlider);
        EXPECT_TRUE(knob.drawn) << lever.gauge;
        EXPECT_DOUBLE_EQ(knob.value, v) << lever.gauge;
        EXPECT_NEAR(knob.y, 174 - 0.01 * v, 1e-9) << lever.gauge << " at " << v;
        EXPECT_DOUBLE_EQ(knob.x, 0.0) << lever.gauge;
        EXPECT_TRUE(s.Element(lever.gauge, 1).drawn);
      }
      // Pressing at the top sets the host's lever, and the knob follows it.
      s.Click(lever.gauge, 10, 0);
      s.Run(1);
      EXPECT_EQ(Sent(s), (std::vector<SentEvent>{{lever.event, 16383}})) << lever.gauge;
      EXPECT_NEAR(s.Element(lever.gauge, 2).y, 174 - 163.83, 1e-9) << lever.gauge;
    }
  }
}

TEST(Levers, RecordsAsAHostReadsThem) {
  Session s(Session::DefaultModulePath());
  for (const LeverCase& lever : kLevers) {
    const GAUGEHDR* h = s.GaugeHeader(lever.gauge);
    ExpectHeader(h, lever.gauge, static_cast<uint32_t>(lever.width));
    const ELEMENT_HEADER* root = *h->elements;
    ExpectPlainElement(root, h, lever.gauge);
    EXPECT_EQ(root->bitmap_id, lever.background);
    EXPECT_EQ(Failures(root->failures), (std::vector<std::pair<uint32_t, uint32_t>>{{kFailEngine, kFailActionNone}}));
    ASSERT_NE(root->next_elements, nullptr);
    ASSERT_NE(root->next_elements[0], nullptr);
    EXPECT_EQ(root->next_elements[1], nullptr) << "the knob alone follows the background";

    const auto* knob = reinterpret_cast<const ELEMENT_SLIDER*>(root->next_elements[0]);
    ExpectPlainElement(&knob->header, h, lever.gauge);
    EXPECT_EQ(knob->header.kind, kElementSlider);
    EXPECT_EQ(knob->header.bitmap_id, lever.knob);
    EXPECT_EQ(knob->header.position.x, 0);
    EXPECT_EQ(knob->header.position.y, 174);
    EXPECT_EQ(knob->header.image_flags, 0x3u);
    EXPECT_EQ(knob->header.next_elements, nullptr);
    EXPECT_EQ(Failures(knob->header.failures),
              (std::vector<std::pair<uint32_t, uint32_t>>{{kFailEngine, kFailActionNone}}));
    EXPECT_EQ(knob->source_x.id, 0u);
    EXPECT_EQ(knob->callback_x, nullptr);
    EXPECT_EQ(knob->scale_x, 0.0);
    EXPECT_EQ(knob->source_y.id, lever.token);
    EXPECT_EQ(knob->callback_y, nullptr);
    EXPECT_EQ(knob->scale_y, -0.01);

    const MOUSERECT* m = h->mouse_rects;
    ExpectParent(m[0], 0, 0, 0, 0, lever.help_id, lever.gauge);
    ExpectChild(m[1], lever.width, 224, kCursorHand, 0x20800000, lever.gauge);
    ExpectEnd(m[2], kMouseEndParent, lever.gauge);
    ExpectEnd(m[3], kMouseEnd, lever.gauge);
  }
}

// -- elevator trim --

constexpr char kTrim[] = "Elevator Trim";
constexpr int kTrimUpX = 20, kTrimUpY = 80;     // lower left
constexpr int kTrimDownX = 120, kTrimDownY = 25;  // upper right
constexpr int kTrimApX = 73, kTrimApY = 50;     // middle

// A press shows on the icon at the next update and is gone after it; with both
// sides pressed since the last post-update the up side shows.
TEST(Trim, IconShowsThePressedSideForOneUpdate) {
  struct Press {
    int x, y;
  };
  struct Case {
    const char* what;
    std::vector<Press> presses;
    std::optional<int> frame;
    std::vector<SentEvent> events;
  };
  const Case cases[] = {
      {"no press", {}, std::nullopt, {}},
      {"up", {{kTrimUpX, kTrimUpY}}, 0, {{EvtElevTrimUp, 0}}},
      {"down", {{kTrimDownX, kTrimDownY}}, 1, {{EvtElevTrimDown, 0}}},
      {"down then up", {{kTrimDownX, kTrimDownY}, {kTrimUpX, kTrimUpY}}, 0, {{EvtElevTrimDown, 0}, {EvtElevTrimUp, 0}}},
      {"up then down", {{kTrimUpX, kTrimUpY}, {kTrimDownX, kTrimDownY}}, 0, {{EvtElevTrimUp, 0}, {EvtElevTrimDown, 0}}},
      {"A/P", {{kTrimApX, kTrimApY}}, std::nullopt, {{EvtApMaster, 0}}},
  };
  for (const Case& c : cases) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(kTrim);
    s.Run(1);
    for (const Press& p : c.presses) s.Click(kTrim, p.x, p.y);
    s.Run(1);
    EXPECT_EQ(s.Element(kTrim, 2).frame, c.frame) << c.what;
    EXPECT_TRUE(s.Element(kTrim, 1).drawn) << c.what;
    EXPECT_EQ(Sent(s), c.events) << c.what;
    s.Run(1);
    EXPECT_EQ(s.Element(kTrim, 2).frame, std::nullopt) << c.what << ": cleared at post-update";
    EXPECT_FALSE(s.Element(kTrim, 2).drawn) << c.what;
  }
}

// Held, a side trims again at every repeat and stays pushed; the A/P button
// does not repeat.
TEST(Trim, HeldSideRepeatsAndStaysPushed) {
  struct Case {
    const char* what;
    int x, y;
    uint32_t event;
    std::optional<int> frame;
    size_t events;  // for a hold of 5 updates
  };
  const Case cases[] = {
      {"up", kTrimUpX, kTrimUpY, EvtElevTrimUp, 0, 6},
      {"down", kTrimDownX, kTrimDownY, EvtElevTrimDown, 1, 6},
      {"A/P", kTrimApX, kTrimApY, EvtApMaster, std::nullopt, 1},
  };
  for (const Case& c : cases) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(kTrim);
    s.Hold(kTrim, c.x, c.y, 5);
    EXPECT_EQ(Sent(s), Repeated(c.event, 0, c.events)) << c.what;
    EXPECT_EQ(s.Element(kTrim, 2).frame, c.frame) << c.what;
  }
  Session s(Session::DefaultModulePath());
  s.AddGauge(kTrim);
  s.Hold(kTrim, kTrimUpX, kTrimUpY, 5);
  EXPECT_GT(s.Get(talvor::kTokenElevatorTrim), 0.0) << "the host trims nose up";
  s.Click(kTrim, kTrimApX, kTrimApY);
  EXPECT_EQ(s.Get(talvor::kTokenAutopilotMaster), 1.0);
}

TEST(Trim, ElectricalFailureHidesThePicture) {
  Session s(Session::DefaultModulePath());
  s.AddGauge(kTrim);
  s.SetFailure(kFailElectricalPanel, true);
  s.Click(kTrim, kTrimDownX, kTrimDownY);
  s.Run(1);
  EXPECT_FALSE(s.Element(kTrim, 1).drawn);
  EXPECT_FALSE(s.Element(kTrim, 2).drawn);
  EXPECT_EQ(s.Element(kTrim, 2).value, 1.0) << "the callback runs whatever failures hold";
  EXPECT_EQ(Sent(s), (std::vector<SentEvent>{{EvtElevTrimDown, 0}}));
}

TEST(Trim, RecordsAsAHostReadsThem) {
  Session s(Session::DefaultModulePath());
  const GAUGEHDR* h = s.GaugeHeader(kTrim);
  ExpectHeader(h, kTrim, 60);
  const ELEMENT_HEADER* root = *h->elements;
  ExpectPlainElement(root, h, "face");
  EXPECT_EQ(root->bitmap_id, 0x1610u);
  EXPECT_EQ(Failures(root->failures), (std::vector<std::pair<uint32_t, uint32_t>>{{20, 3}}));
  ASSERT_NE(root->next_elements, nullptr);
  ASSERT_NE(root->next_elements[0], nullptr);
  EXPECT_EQ(root->next_elements[1], nullptr);
  const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(root->next_elements[0]);
  ExpectPlainElement(&icon->header, h, "icon");
  EXPECT_EQ(icon->header.kind, kElementIcon);
  EXPECT_EQ(icon->header.bitmap_id, 0x1611u);
  EXPECT_EQ(icon->header.position.x, 0);
  EXPECT_EQ(icon->header.position.y, 0);
  EXPECT_EQ(icon->header.image_flags, 0x3u);
  EXPECT_EQ(icon->header.next_elements, nullptr);
  EXPECT_EQ(Failures(icon->header.failures), (std::vector<std::pair<uint32_t, uint32_t>>{{20, 3}}));
  EXPECT_EQ(icon->source.id, 0u);
  EXPECT_NE(icon->callback, nullptr);
  EXPECT_EQ(icon->frame_count, 2u);
  EXPECT_EQ(icon->switch_type, 0u);
  EXPECT_EQ(icon->scale, 0.0);
  EXPECT_EQ(icon->offset, 0.0);

  // Three top-level parents, each with one child that fills it.
  struct Area {
    int x, y;
    uint32_t help_id;
    int32_t cursor;
    uint32_t flags;
  };
  const Area areas[] = {
      {1, 54, 0xAB55, kCursorUpArrow, 0x20200000},
      {98, 1, 0xAB55, kCursorDownArrow, 0x20200000},
      {49, 25, 0xAB0E, kCursorHand, 0x20000000},
  };
  const MOUSERECT* m = h->mouse_rects;
  for (const Area& a : areas) {
    const std::string what = "area at " + std::to_string(a.x) + "," + std::to_string(a.y);
    ExpectParent(m[0], a.x, a.y, 48, 51, a.help_id, what);
    ExpectChild(m[1], 48, 51, a.cursor, a.flags, what);
    ExpectEnd(m[2], kMouseEndParent, what);
    m += 3;
  }
  ExpectEnd(m[0], kMouseEnd, "end of list");
  s.AddGauge(kTrim);
  EXPECT_EQ(s.CursorAt(kTrim, kTrimUpX, kTrimUpY), kCursorUpArrow);
  EXPECT_EQ(s.CursorAt(kTrim, kTrimDownX, kTrimDownY), kCursorDownArrow);
  EXPECT_EQ(s.CursorAt(kTrim, kTrimApX, kTrimApY), kCursorHand);
}

// -- spoiler --

TEST(Spoiler, SendsItsEventAtEveryUpdateWhileOnTheGround) {
  struct Case {
    double on_ground;
    size_t events;  // over 3 updates
  };
  const Case cases[] = {{1.0, 3}, {0.5, 3}, {-1.0, 3}, {0.0, 0}, {-0.0, 0}};
  for (const Case& c : cases) {
    Session s(Session::DefaultModulePath());
    s.AddGauge("Spoiler");
    s.Set(VarOnGround, c.on_ground);
    s.Run(3);
    const std::vector<SentEvent> sent = s.TakeEvents();
    EXPECT_EQ(sent.size(), c.events) << "on ground " << c.on_ground;
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].event, EvtSpoiler);
      EXPECT_EQ(sent[i].value, 0u);
      EXPECT_EQ(sent[i].update, sent[0].update + i) << "one a update";
    }
    EXPECT_EQ(s.Get(talvor::kTokenSpoilersArmed), c.events > 0 ? 1.0 : 0.0) << "on ground " << c.on_ground;
  }
  // Take-off stops it, landing starts it again.
  Session s(Session::DefaultModulePath());
  s.AddGauge("Spoiler");
  s.Set(VarOnGround, 1.0);
  s.Run(2);
  s.Set(VarOnGround, 0.0);
  s.Run(2);
  s.Set(VarOnGround, 1.0);
  s.Run(1);
  EXPECT_EQ(Sent(s), Repeated(EvtSpoiler, 0, 3));
}

TEST(Spoiler, RecordsAsAHostReadsThem) {
  Session s(Session::DefaultModulePath());
  const GAUGEHDR* h = s.GaugeHeader("Spoiler");
  ExpectHeader(h, "Spoiler", 78);
  const ELEMENT_HEADER* root = *h->elements;
  ExpectPlainElement(root, h, "face");
  EXPECT_EQ(root->bitmap_id, 0x1800u);
  EXPECT_EQ(root->next_elements, nullptr);
  ASSERT_NE(root->failures, nullptr) << "an empty list, not none";
  EXPECT_TRUE(Failures(root->failures).empty());
  ExpectParent(h->mouse_rects[0], 0, 0, 78, 60, 0, "the whole gauge");
  ExpectEnd(h->mouse_rects[1], kMouseEndParent, "end of parent");
  ExpectEnd(h->mouse_rects[2], kMouseEnd, "end of list");

  s.AddGauge("Spoiler");
  s.Set(VarOnGround, 0.0);
  s.Click("Spoiler", 39, 30);
  s.Run(1);
  EXPECT_TRUE(s.TakeEvents().empty());
  EXPECT_EQ(s.CursorAt("Spoiler", 39, 30), kCursorNone);
}

// -- artwork --

talvor::Raster ReadBitmap(const talvor::ModuleFile& module, uint32_t id, int* bpp, int* compression) {
  const talvor::BitmapBytes bytes = module.ReadBitmap(id);
  const size_t info = bytes.has_file_header ? 14 : 0;
  EXPECT_GT(bytes.data.size(), info + 20);
  *bpp = bytes.data[info + 14] | bytes.data[info + 15] << 8;
  *compression = bytes.data[info + 16];
  return bytes.has_file_header ? talvor::DecodeBmp(bytes.data.data(), bytes.data.size())
                               : talvor::DecodeDib(bytes.data.data(), bytes.data.size());
}

int BlackPixels(const talvor::Raster& r) {
  int n = 0;
  for (size_t i = 0; i < r.rgba.size(); i += 4) n += r.rgba[i] == 0 && r.rgba[i + 1] == 0 && r.rgba[i + 2] == 0;
  return n;
}

// Pure black is what a host leaves undrawn: the backgrounds and the spoiler
// are nothing else, the knobs stand on it, the trim pictures hold none.
TEST(ControlsArtwork, SizesDepthsAndWhereBlackLies) {
  enum class Black { kAll, kSurround, kNone };
  struct Case {
    uint32_t id;
    int w, h, bpp, compression;
    Black black;
  };
  const Case cases[] = {
      {0x1600, 89, 224, 8, 0, Black::kAll},  {0x1601, 89, 50, 8, 0, Black::kSurround},
      {0x1605, 60, 224, 24, 0, Black::kAll}, {0x1606, 60, 50, 8, 0, Black::kSurround},
      {0x1610, 152, 106, 8, 1, Black::kNone}, {0x1611, 152, 106, 8, 0, Black::kNone},
      {0x1612, 152, 106, 8, 0, Black::kNone}, {0x1800, 78, 60, 8, 1, Black::kAll},
  };
  const talvor::ModuleFile module(Session::DefaultModulePath());
  for (const Case& c : cases) {
    int bpp = 0, compression = -1;
    const talvor::Raster r = ReadBitmap(module, c.id, &bpp, &compression);
    const std::string what = "bitmap " + talvor::BitmapHexName(c.id);
    EXPECT_EQ(r.width, c.w) << what;
    EXPECT_EQ(r.height, c.h) << what;
    EXPECT_EQ(bpp, c.bpp) << what;
    EXPECT_EQ(compression, c.compression) << what;
    const int black = BlackPixels(r), all = c.w * c.h;
    switch (c.black) {
      case Black::kAll: EXPECT_EQ(black, all) << what; break;
      case Black::kNone: EXPECT_EQ(black, 0) << what; break;
      case Black::kSurround:
        EXPECT_GT(black, all / 5) << what;
        EXPECT_LT(black, all * 4 / 5) << what << ": the knob shows";
        EXPECT_EQ(r.rgba[0] | r.rgba[1] | r.rgba[2], 0) << what << ": corner";
        break;
    }
  }
}

TEST(ControlsGolden, TrimPushedUpAndDown) {
  struct Case {
    const char* name;
    int x, y;
  };
  for (const Case& c : {Case{"controls_trim_up", kTrimUpX, kTrimUpY}, Case{"controls_trim_down", kTrimDownX, kTrimDownY}}) {
    Session s(Session::DefaultModulePath());
    s.AddGauge(kTrim, 0, 0, 152, 106);  // the picture's own size, not the default width
    s.Click(kTrim, c.x, c.y);
    s.Run(1);
    ExpectMatchesGolden(s.RenderGauge(kTrim), c.name);
  }
}

}  // namespace

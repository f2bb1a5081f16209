// Hostile and broken input: the module driven by a host that never wrote its
// function table or that sends values no host should, the host's records
// outliving a session, and talvor-panel given files that are missing,
// malformed or incomplete. Every error names what is wrong, exits nonzero and
// leaves no half-written output behind.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "emulator/png.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/convert.h"
#include "host/records.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using talvor::testing::ReadText;
using talvor::testing::WriteText;

// ---- The module before the host has written ImportTable ----------------------

void CollectElements(ELEMENT_HEADER* element, std::vector<ELEMENT_HEADER*>& out) {
  if (element == nullptr) return;
  out.push_back(element);
  if (element->next_elements == nullptr) return;
  for (ELEMENT_HEADER** next = element->next_elements; *next != nullptr; ++next) CollectElements(*next, out);
}

void CallValueCallbacks(ELEMENT_HEADER* element) {
  switch (element->kind) {
    case kElementIcon: {
      auto* e = reinterpret_cast<ELEMENT_ICON*>(element);
      if (e->callback != nullptr) e->callback(element);
      break;
    }
    case kElementNeedle: {
      auto* e = reinterpret_cast<ELEMENT_NEEDLE*>(element);
      if (e->callback != nullptr) e->callback(element);
      break;
    }
    case kElementString: {
      auto* e = reinterpret_cast<ELEMENT_STRING*>(element);
      if (e->callback != nullptr) e->callback(element);
      break;
    }
    case kElementSlider: {
      auto* e = reinterpret_cast<ELEMENT_SLIDER*>(element);
      if (e->callback_x != nullptr) e->callback_x(element);
      if (e->callback_y != nullptr) e->callback_y(element);
      break;
    }
    default:
      break;
  }
}

// A copy of the module under its own name, so that this load is not one a
// Session of another test has already given a host table.
TEST(ModuleWithoutHost, EveryCallbackIsSafeBeforeImportTableIsWritten) {
  const std::string dir = talvor::testing::FreshDir("unbound-module");
  const std::string copy = dir + "/unbound.so";
  fs::copy_file(talvor::Session::DefaultModulePath(), copy);
  void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  auto* import_table = static_cast<IMPORT_ENTRY*>(::dlsym(handle, "ImportTable"));
  auto* linkage = static_cast<GAUGE_LINKAGE*>(::dlsym(handle, "Linkage"));
  ASSERT_NE(import_table, nullptr);
  ASSERT_NE(linkage, nullptr);
  ASSERT_EQ(import_table[0].table, nullptr);

  linkage->init();
  int gauges = 0;
  // Twice over, so that state left by the first round (a powered audio panel,
  // a test under way) is driven as well.
  for (int round = 0; round < 2; ++round) {
    for (GAUGEHDR* const* g = linkage->gauges; *g != nullptr; ++g) {
      GAUGEHDR* gauge = *g;
      SCOPED_TRACE(gauge->name);
      if (round == 0) ++gauges;
      for (int32_t service : {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, INT32_MAX}) {
        gauge->callback(gauge, service, 0);
      }
      std::vector<ELEMENT_HEADER*> elements;
      CollectElements(*gauge->elements, elements);
      for (int pass = 0; pass < 120; ++pass) {  // past the display tests' six seconds
        for (ELEMENT_HEADER* element : elements) CallValueCallbacks(element);
      }
      for (const MOUSERECT* r = gauge->mouse_rects; r->type != kMouseEnd; ++r) {
        if (r->type == kMouseChild && r->function.mouse != nullptr) {
          for (uint32_t flags : {kMouseLeftSingle, kMouseRepeat, kMouseLeftDrag, 0u}) {
            PIXPOINT point = {r->box.w / 2, r->box.h / 2};
            EXPECT_EQ(r->function.mouse(&point, flags), 0);
          }
        }
        if (r->type == kMouseUser && r->data != nullptr) {
          for (auto* arg = static_cast<MOUSE_ARG*>(r->data); arg->source.id != 0 || arg->callback != nullptr; ++arg) {
            if (arg->callback != nullptr) {
              EXPECT_EQ(arg->callback(0.0, arg->source.id, r->function.tooltip, &arg->source, gauge), 0.0)
                  << "no host, no GPS record: the tooltip reads 0";
            }
          }
        }
      }
    }
  }
  linkage->deinit();
  EXPECT_EQ(gauges, 9);
  EXPECT_EQ(import_table[0].table, nullptr) << "the module never writes the host's slot itself";
  ::dlclose(handle);
}

// ---- Host values no host should send -------------------------------------------

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// NaN counts as 0; everything else truncates toward zero and saturates at the
// target's limits, where a plain cast would be undefined.
TEST(HostConversions, DefinedForEveryDouble) {
  const struct {
    double in;
    int32_t i32;
    uint32_t u32;
    uint16_t rate4;
  } cases[] = {
      {kNaN, 0, 0, 0},
      {kInf, INT32_MAX, UINT32_MAX, 0xFFFF},
      {-kInf, INT32_MIN, 0, 0},
      {-0.9, 0, 0, 0xFFFD},  // rate x 4 = -3.6 -> -3, its low 16 bits
      {-7.9, -7, 0, 0xFFE1},
      {1e-300, 0, 0, 0},
      {2147483647.9, INT32_MAX, 2147483647u, 0xFFFF},
      {2147483648.0, INT32_MAX, 2147483648u, 0},
      {-2147483648.9, INT32_MIN, 0, 0xFFFD},
      {-2147483649.0, INT32_MIN, 0, 0xFFFC},
      {4294967295.9, INT32_MAX, UINT32_MAX, 0xFFFF},
      {4294967296.0, INT32_MAX, UINT32_MAX, 0},
      {1e300, INT32_MAX, UINT32_MAX, 0xFFFF},
      {-1e300, INT32_MIN, 0, 0},
      {0.2499, 0, 0, 0},
      {108.0, 108, 108, 432},
      {16384.0, 16384, 16384, 0},  // 65536 keeps none of its low 16 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(host::TruncToInt32(c.in), c.i32);
    EXPECT_EQ(host::TruncToUint32(c.in), c.u32);
    EXPECT_EQ(host::SimRateQuarters(c.in), c.rate4);
  }
  EXPECT_EQ(host::ToFloat(1e300), FLT_MAX);
  EXPECT_EQ(host::ToFloat(-1e300), -FLT_MAX);
  EXPECT_EQ(host::ToFloat(kInf), std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(host::ToFloat(kNaN)));
  EXPECT_EQ(host::ToFloat(29.92), 29.92f);
}

bool IsCatalogueEvent(uint32_t event) {
#define TALVOR_ERRORS_EVENT(name, number) \
  if (event == (number)) return true;
  TALVOR_HOST_EVENTS(TALVOR_ERRORS_EVENT)
#undef TALVOR_ERRORS_EVENT
  return false;
}

// Every token the module reads set to what no host should send, the whole
// panel updated and its controls used: the module goes on sending only its
// own events and sounds, and the tooltip stays a whole number. (The
// sanitizer build turns any undefined step on the way into a failure.)
TEST(HostileHostValues, EveryGaugeKeepsToItsEventsAndSounds) {
  static const uint32_t kTokens[] = {
#define TALVOR_ERRORS_TOKEN(name, number) number,
      TALVOR_HOST_VARS(TALVOR_ERRORS_TOKEN)
#undef TALVOR_ERRORS_TOKEN
  };
  talvor::Session s(talvor::Session::DefaultModulePath());
  for (const std::string& gauge : s.GaugeNames()) s.AddGauge(gauge);
  // Power the audio panel and put the preselector in DH mode with its alert armed.
  s.Click("GMA340", 20, 60);
  s.Click("jovAltPreselector", 110, 95);
  s.Click("jovAltPreselector", 72, 95);
  const std::vector<std::string> sounds = {"Sound\\dingdong.wav", "Sound\\Innermk.wav", "Sound\\Outermk.wav",
                                           "Sound\\Middmk.wav"};
  int lever_events = 0, sounds_played = 0;
  for (double v : {kNaN, kInf, -kInf, 1e300, -1e300, 4.3e9, -4.3e9, 2147483648.0, -2147483649.0, 1e-310}) {
    SCOPED_TRACE(v);
    for (uint32_t token : kTokens) {
      if (token < VarClockHour || token > VarZuluMinute) s.Set(token, v);  // the clocks follow the emulator's
    }
    s.SetGroundSpeed(v);
    s.Run(3);
    s.Hold("jovAltPreselector", 240, 52, 3);
    s.Click("S_TEC55", 110, 85);
    s.Click("GMA340", 460, 20);
    s.Drag("Throttle Lever", 40, 10, 40, 400, 6);
    s.Run(2);
    for (const talvor::SentEvent& e : s.TakeEvents()) {
      EXPECT_TRUE(IsCatalogueEvent(e.event)) << e.event;
      const bool lever = e.event == EvtThrottleSet || e.event == EvtMixtureSet;
      EXPECT_LE(e.value, lever ? 16383u : 0u) << e.event;
      lever_events += lever;
    }
    for (const talvor::PlayedSound& sound : s.TakeSounds()) {
      EXPECT_NE(std::find(sounds.begin(), sounds.end(), sound.name), sounds.end()) << sound.name;
      ++sounds_played;
    }
    const std::string tip = s.TooltipAt("Airspeed", 150, 150);
    EXPECT_NE(tip.find("Ground Speed: "), std::string::npos) << tip;
    EXPECT_EQ(tip.find("nan"), std::string::npos) << tip;
  }
  // Pointer positions at the ends of int's range.
  s.Drag("Throttle Lever", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 7);
  s.Drag("Throttle Lever", INT32_MAX, 0, INT32_MIN, 0, 3);
  s.Click("S_TEC55", INT32_MAX, INT32_MIN);
  EXPECT_EQ(s.TooltipAt("Airspeed", INT32_MIN, INT32_MAX), "");
  EXPECT_GT(lever_events, 0) << "the drags reached the throttle";
  EXPECT_GT(sounds_played, 0) << "the powered audio panel's marker test played";
}

// The module keeps the GPS record's address until it is unloaded. When
// something else holds it open past a session's end, the next session drives
// that same module: the record it reads must still be there, and current.
TEST(HostLifetime, GpsRecordOutlivesTheSessionThatBoundIt) {
  const std::string path = talvor::Session::DefaultModulePath();
  void* held = ::dlopen(path.c_str(), RTLD_NOW);
  ASSERT_NE(held, nullptr) << ::dlerror();
  for (double metres_per_second : {10.0, 20.0}) {
    talvor::Session s(path);
    s.AddGauge("Airspeed");
    s.SetGroundSpeed(metres_per_second);
    s.Run(1);  // binds the record at pre-draw, the first time only
    EXPECT_EQ(s.TooltipAt("Airspeed", 150, 150),
              "Airspeed Indicator - Ground Speed: " + std::to_string(static_cast<int>(metres_per_second * 1.943844)) +
                  " knots");
  }
  ::dlclose(held);
}

// ---- talvor-panel given broken files --------------------------------------

struct Result {
  int code = -1;
  std::string err;
};

// A folder holding a copy of the built module and its bitmaps, a panel that
// places the airspeed indicator, and whatever a case breaks in it.
class PanelErrors : public ::testing::Test {
 protected:
  std::string NewCase(const std::string& name) {
    const std::string dir = talvor::testing::FreshDir("errors-" + name);
    const fs::path module = talvor::Session::DefaultModulePath();
    fs::copy_file(module, dir + "/jovTalvor.so");
    fs::copy(module.parent_path() / "jovTalvor.bitmaps", dir + "/jovTalvor.bitmaps");
    fs::create_directory(dir + "/empty");
    WriteText(dir + "/panel.cfg", "[Window00]\nsize_mm=320,320\ngauge00=jovTalvor!Airspeed, 0,0\n");
    // What a failed command must leave as it was.
    WriteText(dir + "/out.png", "the picture of an earlier run");
    return dir;
  }

  Result Panel(const std::string& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir + "' && '" + talvor::testing::BinaryPath("emulator/talvor-panel") + "' " + args +
                            " >/dev/null 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadText(dir + "/stderr.txt");
    fs::remove(dir + "/stderr.txt");
    return r;
  }

  // Nothing half-written: the earlier picture untouched, no temporary file,
  // and a trace, where there is one, made of whole JSON lines.
  void ExpectNoPartialOutput(const std::string& dir) {
    EXPECT_EQ(ReadText(dir + "/out.png"), "the picture of an earlier run");
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
#if TALVOR_HAVE_RASTER
      if (entry.path().extension() == ".png" && name != "out.png") {
        EXPECT_NO_THROW(talvor::ReadPng(entry.path().string())) << name;
      }
#endif
      if (entry.path().extension() == ".jsonl") {
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
          EXPECT_TRUE(!line.empty() && line.front() == '{' && line.back() == '}') << name << ": " << line;
        }
      }
    }
  }
};

TEST_F(PanelErrors, EachBrokenInputIsNamedAndStopsTheRun) {
  const auto cut = [](const std::string& path, std::uintmax_t size) { fs::resize_file(path, size); };
  const struct {
    std::string name;
    std::function<void(const std::string& dir)> breaks;
    std::string args;
    int code;
    std::vector<std::string> says;
  } cases[] = {
      {"missing-module", [](const std::string&) {}, "render panel.cfg -o out.png --gauges empty", 1,
       {"talvor-panel: module 'jovTalvor' not found in empty", "looked for empty/jovTalvor.so"}},
      {"unknown-gauge",
       [](const std::string& d) {
         WriteText(d + "/panel.cfg", "[Window00]\nsize_mm=320,320\ngauge00=jovTalvor!Airspeedo, 0,0\n");
       },
       "render panel.cfg -o out.png", 2,
       {"panel.cfg:3: no gauge 'Airspeedo' in the module; it has 'S_TEC55', 'jovAltPreselector', 'Airspeed', "
        "'Davtron 803', 'Throttle Lever', 'Mixture Lever', 'Elevator Trim', 'GMA340', 'Spoiler'"}},
      {"bitmap-not-shipped", [](const std::string& d) { fs::remove(d + "/jovTalvor.bitmaps/1310.bmp"); },
       "render panel.cfg -o out.png", 1, {"gauge 'Airspeed' names bitmap 0x1310, which is not shipped"}},
      {"truncated-bmp", [&](const std::string& d) { cut(d + "/jovTalvor.bitmaps/1310.bmp", 200); },
       "render panel.cfg -o out.png", 1, {"bitmap 0x1310", "does not decode", "truncated"}},
      {"malformed-bmp", [](const std::string& d) { WriteText(d + "/jovTalvor.bitmaps/1300.bmp", "BM not a bitmap"); },
       "render panel.cfg -o out.png", 1, {"bitmap 0x1300", "1300.bmp in ./jovTalvor.bitmaps/", "does not decode"}},
      {"panel-line",
       [](const std::string& d) {
         WriteText(d + "/panel.cfg", "[Window00]\nsize_mm=320,320\ngauge00=jovTalvor!Airspeed, 0,zz\n");
       },
       "render panel.cfg -o out.png", 2, {"panel.cfg:3: gauge entry 'jovTalvor!Airspeed, 0,zz'", "'zz' is not a whole number"}},
      {"panel-position-out-of-range",
       [](const std::string& d) {
         WriteText(d + "/panel.cfg", "[Window00]\ngauge00=jovTalvor!Airspeed, 2147483647,0, 400\n");
       },
       "render panel.cfg -o out.png", 2,
       {"panel.cfg:2: gauge 'Airspeed' at (2147483647, 0): panel positions are limited to 16777216 pixels"}},
      {"gauge-too-large-to-draw",
       [](const std::string& d) {
         WriteText(d + "/panel.cfg", "[Window00]\nsize_mm=300,300\ngauge00=jovTalvor!Airspeed, 0,0, 40215\n");
       },
       "render panel.cfg -o out.png", 2,
       {"panel.cfg:3: gauge 'Airspeed' sized 40215x40215: a gauge is drawn at most 16384 pixels a side"}},
      {"scenario-line", [](const std::string& d) { WriteText(d + "/s.scenario", "gauge Airspeed\nrun 2\nrun many\n"); },
       "run s.scenario --trace t.jsonl", 2, {"s.scenario:3: run: expected a whole number, got 'many'"}},
      {"unknown-variable", [](const std::string& d) { WriteText(d + "/s.scenario", "gauge Airspeed\nset VarAirspede 3\n"); },
       "run s.scenario --trace t.jsonl", 2,
       {"s.scenario:2: unknown variable 'VarAirspede' (did you mean VarAirspeed"}},
      // Failing after a snapshot and some trace lines: both stay whole.
      {"failure-after-output",
       [](const std::string& d) {
         WriteText(d + "/s.scenario",
                   "gauge Airspeed\nset VarAirspeed 80\nrun 2\nsnapshot snap.png\nexpect var VarAirspeed 81\n");
       },
       "run s.scenario --trace t.jsonl --trace-values", 1, {"s.scenario:5: "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = NewCase(c.name);
    c.breaks(dir);
    const Result r = Panel(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.err.rfind("talvor-panel: ", 0), 0u) << r.err;
    for (const std::string& text : c.says) EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    ExpectNoPartialOutput(dir);
  }
}

}  // namespace

#endif  // !_WIN32

// The emulated host against a small test module: loading, the update cycle,
// element states, failures, variables, the GPS record, time and sounds.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "emulator/host_state.h"
#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/fixtures/fixture_log.h"
#include "tests/test_support.h"

namespace {

using talvor::ElementState;
using talvor::Session;
using talvor::testing::TestModulePath;

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Element places in the test gauge's drawing order.
constexpr int kRoot = 1, kIcon = 2, kString = 3, kNeedle = 4, kSlider = 5;

// The test module's log as "what tag a" lines (services carry their id).
class Fixture {
 public:
  Fixture() : session_(TestModulePath()) { log_ = talvor::testing::ModuleSymbol<FixtureLog>(TestModulePath(), "FixtureLogData"); }
  Session& s() { return session_; }

  std::vector<std::string> TakeLog() {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < log_->count; ++i) {
      const FixtureLogEntry& e = log_->entries[i];
      std::string line = std::string(e.what) + " " + e.tag;
      if (std::string(e.what) == "svc") line += " " + std::to_string(e.a);
      out.push_back(line);
    }
    log_->count = 0;
    return out;
  }
  std::vector<FixtureLogEntry> TakeEntries(const std::string& what) {
    std::vector<FixtureLogEntry> out;
    for (uint32_t i = 0; i < log_->count; ++i) {
      if (what == log_->entries[i].what) out.push_back(log_->entries[i]);
    }
    log_->count = 0;
    return out;
  }

 private:
  Session session_;
  FixtureLog* log_ = nullptr;
};

TEST(EmulatorLoad, RefusesWhatIsNotAGaugeModuleWithAClearMessage) {
  const std::string dir = talvor::testing::FreshDir("load-errors");
  talvor::testing::WriteText(dir + "/text.so", "not an ELF file");
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {dir + "/missing.so", "module not found: " + dir + "/missing.so"},
      {dir + "/text.so", "cannot load module " + dir + "/text.so"},
      // A shared object without ImportTable and Linkage.
      {"/lib/x86_64-linux-gnu/libm.so.6", "not a gauge module"},
  };
  for (const auto& c : cases) {
    if (!std::filesystem::exists(c.path) && c.message.rfind("not a gauge", 0) == 0) continue;
    try {
      Session s(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(EmulatorLoad, RefusesGaugesItCannotDrawNamingWhatIsWrong) {
  Session s(TestModulePath());
  EXPECT_EQ(s.GaugeNames(), (std::vector<std::string>{"Fixture", "Fixture Mouse", "Fixture Missing", "Fixture Loop",
                                                      "Fixture Bad Bitmap"}));
  const struct {
    const char* gauge;
    std::vector<std::string> fragments;
  } cases[] = {
      {"fixture", {"no gauge 'fixture'", "'Fixture', 'Fixture Mouse'"}},  // case matters
      {"Fixture  Mouse", {"no gauge 'Fixture  Mouse'"}},                  // so do blanks
      {"Fixture Missing", {"bitmap 0x1f1", "not shipped", "talvor_test_module.bitmaps/"}},
      {"Fixture Loop", {"Fixture Loop", "loop"}},
  };
  for (const auto& c : cases) {
    try {
      s.AddGauge(c.gauge);
      ADD_FAILURE() << c.gauge << " was added";
    } catch (const std::exception& e) {
      for (const std::string& f : c.fragments) EXPECT_NE(std::string(e.what()).find(f), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(s.InstanceCount(), 0) << "a refused gauge leaves nothing behind";
}

#if TALVOR_HAVE_RASTER
TEST(EmulatorLoad, ABitmapThatDoesNotDecodeIsNamedWhenDrawn) {
  Session s(TestModulePath());
  s.AddGauge("Fixture Bad Bitmap");
  s.Run();
  try {
    s.RenderGauge("Fixture Bad Bitmap");
    ADD_FAILURE() << "rendered";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("bitmap 0x1fe (1fe.bmp in"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("does not decode: "), std::string::npos) << e.what();
  }
}
#endif

TEST(EmulatorLoad, OneSessionAtATimeAndEachStartsWithFreshModuleState) {
  {
    Fixture f;
    f.s().AddGauge("Fixture");
    f.s().Run(3);
    EXPECT_THROW(Session second(TestModulePath()), std::runtime_error);
  }
  Fixture again;
  EXPECT_EQ(again.TakeLog(), (std::vector<std::string>{"init -"})) << "the module was unloaded and loaded afresh";
}

TEST(EmulatorUpdate, ServicesAndCallbacksRunInTheHostsOrder) {
  Fixture f;
  f.TakeLog();
  f.s().AddGauge("Fixture");
  f.s().AddGauge("Fixture Mouse");
  EXPECT_EQ(f.TakeLog(), (std::vector<std::string>{"svc F 2", "svc F 3", "svc F 4", "svc F 5", "svc M 2", "svc M 3",
                                                   "svc M 4", "svc M 5"}));
  f.s().Run();
  // Gauge by gauge: pre-update, the value callbacks in drawing order (the
  // icon, then the string listed under it), post-update, then the draw.
  EXPECT_EQ(f.TakeLog(), (std::vector<std::string>{"svc F 6", "cb A", "cb C", "svc F 7", "svc F 10", "gps rec",
                                                   "svc F 11", "svc M 6", "svc M 7", "svc M 10", "svc M 11"}));
  EXPECT_EQ(f.s().UpdateCount(), 1u);
}

TEST(EmulatorUpdate, KillServicesAndDeinitRunWhenTheSessionEnds) {
  void* keep = nullptr;
  FixtureLog* log = nullptr;
  {
    Fixture f;
    f.s().AddGauge("Fixture");
    f.TakeLog();
    // An extra reference keeps the module, and its log, past the session.
    keep = ::dlopen(TestModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(keep, nullptr);
    log = static_cast<FixtureLog*>(::dlsym(keep, "FixtureLogData"));
  }
  std::vector<std::string> seen;
  for (uint32_t i = 0; i < log->count; ++i) {
    seen.push_back(std::string(log->entries[i].what) + " " + log->entries[i].tag + " " + std::to_string(log->entries[i].a));
  }
  ::dlclose(keep);
  EXPECT_EQ(seen, (std::vector<std::string>{"svc F 12", "svc F 13", "deinit - 0"}));
}

TEST(EmulatorUpdate, CallbacksSeeTheirSourcesRefreshed) {
  Fixture f;
  f.s().AddGauge("Fixture");
  f.s().Set(VarApHeadingLock, 2.0);
  f.TakeLog();
  f.s().Run();
  const std::vector<FixtureLogEntry> cb = f.TakeEntries("cb");
  ASSERT_EQ(cb.size(), 2u);
  EXPECT_EQ(cb[0].value, 2.0) << "the icon's source holds the token's value";
}

TEST(EmulatorUpdate, ElementStatesFollowDrawingOrderAndValues) {
  Fixture f;
  f.s().AddGauge("Fixture");
  f.s().Set(VarApHeadingLock, 1.5);
  f.s().Set(VarApVsRef, 500);
  f.s().Set(VarApAltitudeRef, 3000);
  f.s().Set(VarAirspeed, 50);
  f.s().Set(VarThrottleLever, 1000);
  f.s().Run();
  const int kinds[] = {kElementStatic, kElementIcon, kElementString, kElementNeedle, kElementSlider};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(f.s().Element("Fixture", i).kind, static_cast<uint32_t>(kinds[i - 1]));

  EXPECT_TRUE(f.s().Element("Fixture", kRoot).drawn);
  EXPECT_FALSE(f.s().Element("Fixture", kRoot).frame.has_value());
  EXPECT_EQ(f.s().Element("Fixture", kIcon).frame, 1);
  EXPECT_EQ(f.s().Element("Fixture", kString).value, 3500.0) << "the callback's result";
  EXPECT_NEAR(f.s().Element("Fixture", kNeedle).angle, -kPi / 4, 1e-9) << "half way from up to right";
  const ElementState slider = f.s().Element("Fixture", kSlider);
  EXPECT_EQ(slider.value, 1000.0);
  EXPECT_DOUBLE_EQ(slider.y, 60 - 10.0);
  EXPECT_DOUBLE_EQ(slider.x, 80);
  EXPECT_THROW(f.s().Element("Fixture", 6), std::out_of_range);
  EXPECT_THROW(f.s().Element("Fixture", 0), std::out_of_range);
}

TEST(EmulatorUpdate, IconFramesHaveDefinedResultsForEveryValue) {
  Fixture f;
  f.s().AddGauge("Fixture");
  const struct {
    double value;
    std::optional<int> frame;
  } cases[] = {
      {0.0, 0},   {0.99, 0},        {2.999, 2},        {3.0, std::nullopt},  {-0.01, std::nullopt},
      {-1.0, std::nullopt},         {kNaN, std::nullopt}, {kInf, std::nullopt}, {-kInf, std::nullopt},
      {1e300, std::nullopt},        {-1e300, std::nullopt}, {4294967296.0, std::nullopt},
  };
  for (const auto& c : cases) {
    f.s().Set(VarApHeadingLock, c.value);
    f.s().Run();
    const ElementState icon = f.s().Element("Fixture", kIcon);
    EXPECT_EQ(icon.frame, c.frame) << c.value;
    EXPECT_EQ(icon.drawn, c.frame.has_value()) << c.value;
  }
}

TEST(EmulatorUpdate, FailuresActOnTheElementsThatListThem) {
  Fixture f;
  f.s().AddGauge("Fixture");
  f.s().Set(VarApHeadingLock, 2.0);
  f.s().Set(VarAirspeed, 200);
  f.s().Set(VarThrottleLever, 1000);
  struct Seen {
    bool root_drawn;
    std::optional<int> icon_frame;
    bool needle_drawn;
    double needle_angle;
  };
  const struct {
    std::vector<uint32_t> keys;
    Seen seen;
  } cases[] = {
      {{}, {true, 2, true, kPi / 2}},
      {{kFailElectricalPanel}, {false, 2, true, kPi / 2}},  // action 3 on the face only
      {{kFailAvionics}, {true, 0, true, -kPi / 2}},         // action 2: icon and needle as if 0
      {{kFailPitotStatic}, {true, 2, false, kPi / 2}},      // needle not drawn
      {{kFailPitotStatic, kFailAvionics}, {true, 0, false, 0}},  // not drawn wins
      {{kFailEngine}, {true, 2, true, kPi / 2}},            // action 0: nothing
  };
  for (const auto& c : cases) {
    for (uint32_t key : {kFailEngine, kFailPitotStatic, kFailElectricalPanel, kFailAvionics}) f.s().SetFailure(key, false);
    for (uint32_t key : c.keys) f.s().SetFailure(key, true);
    f.TakeLog();
    f.s().Run();
    const std::string what = "failures " + std::to_string(c.keys.size()) + (c.keys.empty() ? "" : " first " + std::to_string(c.keys[0]));
    EXPECT_EQ(f.s().Element("Fixture", kRoot).drawn, c.seen.root_drawn) << what;
    EXPECT_EQ(f.s().Element("Fixture", kIcon).frame, c.seen.icon_frame) << what;
    EXPECT_EQ(f.s().Element("Fixture", kIcon).value, 2.0) << what << ": the value is kept as the callback gave it";
    EXPECT_EQ(f.s().Element("Fixture", kNeedle).drawn, c.seen.needle_drawn) << what;
    if (c.seen.needle_drawn) {
      EXPECT_NEAR(f.s().Element("Fixture", kNeedle).angle, c.seen.needle_angle, 1e-9) << what;
    }
    EXPECT_EQ(f.TakeEntries("cb").size(), 2u) << what << ": value callbacks run whatever failures hold";
  }
  EXPECT_THROW(f.s().SetFailure(0, true), std::invalid_argument);
}

TEST(EmulatorUpdate, NonFiniteSliderValuesHideTheSlider) {
  Fixture f;
  f.s().AddGauge("Fixture");
  for (double v : {kNaN, kInf, -kInf}) {
    f.s().Set(VarThrottleLever, v);
    f.s().Run();
    EXPECT_FALSE(f.s().Element("Fixture", kSlider).drawn) << v;
  }
  f.s().Set(VarThrottleLever, 16383);
  f.s().Run();
  EXPECT_TRUE(f.s().Element("Fixture", kSlider).drawn);
  EXPECT_NEAR(f.s().Element("Fixture", kSlider).y, 60 - 163.83, 1e-9);
}

TEST(EmulatorVariables, DefaultsAndUnknownTokens) {
  Session s(TestModulePath());
  const struct {
    uint32_t token;
    double value;
  } cases[] = {
      {VarAvionicsMaster, 1.0}, {VarSimRate, 1.0},         {VarKohlsmanHg, 29.92},
      {VarKohlsmanMb, 1013.25}, {VarBusVoltage, 28.0},     {VarOutsideAirTemp, 15.0 / 256.0},
      {VarOnGround, 1.0},       {VarApHeadingLock, 0.0},   {9999, 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(s.Get(c.token), c.value) << c.token;
  s.Set(9999, 4.5);
  EXPECT_EQ(s.Get(9999), 4.5);
  EXPECT_THROW(s.Set(VarClockHour, 3), std::invalid_argument) << "the clock tokens follow the clock";
}

TEST(EmulatorVariables, ClocksAdvanceOneEighteenthOfASecondPerUpdate) {
  Session s(TestModulePath());
  auto clocks = [&] {
    return std::vector<double>{s.Get(VarClockHour), s.Get(VarClockMinute), s.Get(VarClockSecond), s.Get(VarZuluHour),
                               s.Get(VarZuluMinute)};
  };
  s.SetTime(23, 59, 59, 2.0);
  EXPECT_EQ(clocks(), (std::vector<double>{23, 59, 59, 21, 59}));
  s.Run(17);
  EXPECT_EQ(s.Get(VarClockSecond), 59) << "17/18 s later";
  s.Run(1);
  EXPECT_EQ(clocks(), (std::vector<double>{0, 0, 0, 22, 0})) << "midnight local";
  s.SetTime(1, 30, 0, -5.5);
  EXPECT_EQ(clocks(), (std::vector<double>{1, 30, 0, 7, 0}));
  s.SetTime(0, 10, 0, 3);
  EXPECT_EQ(s.Get(VarZuluHour), 21) << "UTC is the previous evening";
  EXPECT_THROW(s.SetTime(24, 0, 0), std::invalid_argument);
  EXPECT_THROW(s.SetTime(1, 0, 0, std::nan("")), std::invalid_argument);
}

TEST(EmulatorVariables, GpsRecordIsBoundWhileItExists) {
  Fixture f;
  f.s().AddGauge("Fixture");
  f.s().SetGpsAbsentUntil(2);
  f.s().SetGroundSpeed(10.0);
  f.TakeLog();
  f.s().Run(3);
  const std::vector<FixtureLogEntry> gps = f.TakeEntries("gps");
  ASSERT_EQ(gps.size(), 3u) << "an unknown name binds to null (the module logs 'bad' otherwise)";
  EXPECT_STREQ(gps[0].tag, "null");
  EXPECT_STREQ(gps[1].tag, "null");
  EXPECT_STREQ(gps[2].tag, "rec");
  EXPECT_EQ(gps[2].a, 176);
  EXPECT_EQ(gps[2].value, 10.0);
  f.s().SetGpsSizeField(175);
  f.s().Run();
  const std::vector<FixtureLogEntry> shorter = f.TakeEntries("gps");
  ASSERT_EQ(shorter.size(), 1u);
  EXPECT_EQ(shorter[0].a, 175);
}

TEST(EmulatorSounds, RecordsEachCallResolvedAgainstTheSoundFolder) {
  const std::string dir = talvor::testing::FreshDir("sounds") + "/Sound";
  std::filesystem::create_directories(dir);
  Session s(TestModulePath());
  s.SetSoundDir(dir);
  s.AddGauge("Fixture Mouse");
  s.Click("Fixture Mouse", 15, 15);
  talvor::testing::WriteText(dir + "/fixture.wav", "RIFF");
  s.Run(2);
  s.Click("Fixture Mouse", 15, 15);
  const std::vector<talvor::PlayedSound> sounds = s.TakeSounds();
  ASSERT_EQ(sounds.size(), 2u);
  EXPECT_EQ(sounds[0].name, "Sound\\fixture.wav");
  EXPECT_EQ(sounds[0].flags, kSoundAsync);
  EXPECT_EQ(sounds[0].path, dir + "/fixture.wav");
  EXPECT_FALSE(sounds[0].found) << "a missing file is noted, not an error";
  EXPECT_TRUE(sounds[1].found);
  EXPECT_EQ(sounds[1].update, 2u);
  EXPECT_TRUE(s.TakeSounds().empty());
}

TEST(EmulatorSounds, NamesResolveWithinTheHostsFolder) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"Sound\\dingdong.wav", "/host/Sound/dingdong.wav"},
      {"sound\\Innermk.wav", "/host/Sound/Innermk.wav"},
      {"Sound/sub\\x.wav", "/host/Sound/sub/x.wav"},
      {"other.wav", "/host/other.wav"},
      {"Sound\\..\\..\\etc\\passwd", ""},
      {"\\Windows\\x.wav", ""},
      {"C:\\x.wav", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(talvor::ResolveSoundPath("/host/Sound", c.name), c.path) << c.name;
}

}  // namespace

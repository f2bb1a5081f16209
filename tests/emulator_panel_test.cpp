// Panel configuration files: parsing, warnings, errors, and loading a panel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "emulator/panel_config.h"
#include "emulator/session.h"
#include "tests/test_support.h"

namespace {

using talvor::PanelConfig;
using talvor::PanelError;
using talvor::ParsePanelConfig;

TEST(EmulatorPanelFile, ReadsWindowsAndTheirGauges) {
  const std::string text =
      "// A panel\r\n"
      "[Window Titles]\r\n"
      "Window00=Main Panel\r\n"
      "Window01=Radio Stack ; a comment\r\n"
      "\r\n"
      "[Window01]\r\n"
      "size_mm=300,200\r\n"
      "visible=0\r\n"
      "gauge00=jovTalvor!GMA340, 0,0,300,60\r\n"
      "\r\n"
      "[Window00]\r\n"
      "Size_MM=1200,620\r\n"
      "position=7\r\n"
      "background_color=28,30,34 // dark grey\r\n"
      "gauge02=jovTalvor!Davtron 803, 280,20,180,180\r\n"
      "gauge00=jovTalvor!S_TEC55, 480,140,498,119\r\n"
      "gauge01=jovTalvor.gau!Airspeed,20,20,240\r\n"
      "gauge10= jovTalvor ! Spoiler ,  20 , 540\r\n";
  const PanelConfig c = ParsePanelConfig(text, "panel.cfg");
  EXPECT_TRUE(c.warnings.empty());
  ASSERT_EQ(c.windows.size(), 2u);
  const talvor::PanelWindowConfig& main = c.MainWindow();
  EXPECT_EQ(main.number, 0);
  EXPECT_EQ(main.title, "Main Panel");
  EXPECT_EQ(main.width, 1200);
  EXPECT_EQ(main.height, 620);
  EXPECT_EQ(main.position, 7);
  EXPECT_EQ(main.background_rgb, 0x1C1E22u);
  EXPECT_TRUE(main.visible);
  const struct {
    const char* gauge;
    int x, y, w, h, line;
  } want[] = {{"S_TEC55", 480, 140, 498, 119, 16},
              {"Airspeed", 20, 20, 240, 0, 17},
              {"Davtron 803", 280, 20, 180, 180, 15},
              {"Spoiler", 20, 540, 0, 0, 18}};
  ASSERT_EQ(main.gauges.size(), 4u) << "in gaugeNN order";
  for (size_t i = 0; i < 4; ++i) {
    const talvor::PanelGauge& g = main.gauges[i];
    EXPECT_EQ(g.module, "jovTalvor");
    EXPECT_EQ(g.gauge, want[i].gauge);
    EXPECT_EQ(g.x, want[i].x);
    EXPECT_EQ(g.y, want[i].y);
    EXPECT_EQ(g.width, want[i].w);
    EXPECT_EQ(g.height, want[i].h);
    EXPECT_EQ(g.line, want[i].line);
  }
  EXPECT_EQ(c.windows[1].title, "Radio Stack");
  EXPECT_FALSE(c.windows[1].visible);
}

TEST(EmulatorPanelFile, UnknownKeysAndSectionsAreIgnoredWithAWarning) {
  const PanelConfig c = ParsePanelConfig(
      "[fltsim]\nx=1\n[Window00]\nsize_mm=100,100\npixel_size=100,100\ngauge00=jovTalvor!Spoiler,0,0\n", "p.cfg");
  EXPECT_EQ(c.warnings, (std::vector<std::string>{"p.cfg:1: section [fltsim] is not used by the emulator; ignored",
                                                  "p.cfg:5: unknown key 'pixel_size' in [Window00] ignored"}));
  ASSERT_EQ(c.MainWindow().gauges.size(), 1u) << "the rest of the file is kept";
}

TEST(EmulatorPanelFile, MalformedLinesAreErrorsNamingFileAndLine) {
  const struct {
    const char* line;  // written as line 3, after "[Window00]" and a valid size
    const char* message;
  } cases[] = {
      {"[Window01", "p.cfg:3: expected a section name in brackets"},
      {"just words", "p.cfg:3: expected key=value or [Section], got 'just words'"},
      {"=5", "p.cfg:3: expected key=value"},
      {"size_mm=1200", "p.cfg:3: size_mm: expected two positive whole numbers W,H, got '1200'"},
      {"size_mm=-5,10", "p.cfg:3: size_mm"},
      {"background_color=1,2,300", "p.cfg:3: background_color: expected R,G,B"},
      {"visible=yes", "p.cfg:3: visible: expected 0 or 1"},
      {"position=left", "p.cfg:3: position: expected a whole number"},
      {"gauge01=jovTalvorS_TEC55, 1,2", "p.cfg:3: gauge entry without '!'"},
      {"gauge01=jovTalvor!S_TEC55, 1", "p.cfg:3: gauge entry 'jovTalvor!S_TEC55, 1': expected module!gauge name, x, y"},
      {"gauge01=jovTalvor!S_TEC55, x, 2", "p.cfg:3: gauge entry 'jovTalvor!S_TEC55, x, 2': 'x' is not a whole number"},
      {"gauge01=jovTalvor!S_TEC55, 1, 2, -3", "a size cannot be negative"},
      {"gauge01=jovTalvor!S_TEC55,1,2,3,4,5", "p.cfg:3: gauge entry"},
      {"gauge01=!S_TEC55,1,2", "p.cfg:3: gauge entry"},
  };
  for (const auto& c : cases) {
    try {
      ParsePanelConfig(std::string("[Window00]\nsize_mm=10,10\n") + c.line + "\n", "p.cfg");
      ADD_FAILURE() << c.line << " parsed";
    } catch (const PanelError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(ParsePanelConfig("x=1\n", "p.cfg"), PanelError) << "a key before any section";
  EXPECT_THROW(ParsePanelConfig("[Window Titles]\nWindow00=Main\n", "p.cfg").MainWindow(), PanelError);
  EXPECT_THROW(talvor::ReadPanelConfig("/nonexistent/panel.cfg"), PanelError);
}

TEST(EmulatorPanelFile, LoadsTheMainWindowsGaugesIntoASession) {
  const std::string dir = talvor::testing::FreshDir("panel-load");
  const std::string panel = dir + "/panel.cfg";
  talvor::testing::WriteText(panel,
                             "[Window00]\nsize_mm=400,300\nbackground_color=10,20,30\n"
                             "gauge00=talvor_test_module!Fixture Mouse, 10,20\n"
                             "gauge01=talvor_test_module!Fixture, 200,100,50\n"
                             "gauge02=talvor_test_module!Fixture Mouse, 0,200,30,40\n");
  talvor::Session s(talvor::testing::TestModulePath());
  s.LoadPanel(panel);
  ASSERT_EQ(s.InstanceCount(), 3);
  const struct {
    const char* gauge;
    int x, y, w, h;
  } want[] = {{"Fixture Mouse", 10, 20, 100, 80},  // default width, the face's aspect
              {"Fixture", 200, 100, 50, 40},       // the face's aspect at the given width
              {"Fixture Mouse", 0, 200, 30, 40}};
  for (int i = 0; i < 3; ++i) {
    const talvor::InstanceInfo info = s.Info(i);
    EXPECT_EQ(info.gauge, want[i].gauge);
    EXPECT_EQ(info.x, want[i].x);
    EXPECT_EQ(info.y, want[i].y);
    EXPECT_EQ(info.width, want[i].w) << i;
    EXPECT_EQ(info.height, want[i].h) << i;
  }
  EXPECT_EQ(s.Instance("Fixture"), 1);
  EXPECT_EQ(s.Window().width, 400);
  EXPECT_EQ(s.Window().background_rgb, 0x0A141Eu);
}

TEST(EmulatorPanelFile, GaugesTheSessionCannotPlaceAreErrorsNamingTheLine) {
  const std::string dir = talvor::testing::FreshDir("panel-errors");
  const struct {
    const char* gauge_line;
    const char* message;
  } cases[] = {
      {"gauge00=talvor_test_module!fixture mouse, 0,0", "panel.cfg:2: no gauge 'fixture mouse' in the module; it has"},
      {"gauge00=jovTalvor!S_TEC55, 0,0", "panel.cfg:2: gauge of module 'jovTalvor', but this session loaded"},
  };
  for (const auto& c : cases) {
    talvor::testing::WriteText(dir + "/panel.cfg", std::string("[Window00]\n") + c.gauge_line + "\n");
    talvor::Session s(talvor::testing::TestModulePath());
    try {
      s.LoadPanel(dir + "/panel.cfg");
      ADD_FAILURE() << c.gauge_line << " loaded";
    } catch (const PanelError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.InstanceCount(), 0);
  }
}

TEST(EmulatorPanelFile, ModulesAreFoundByNameInTheGaugesFolder) {
  const std::string dir = std::filesystem::path(talvor::testing::TestModulePath()).parent_path().string();
  EXPECT_EQ(talvor::FindModuleFile("talvor_test_module", dir), dir + "/talvor_test_module.so");
  for (const char* bad : {"missing", "../fixtures/talvor_test_module", "", "C:module"}) {
    EXPECT_THROW(talvor::FindModuleFile(bad, dir), std::runtime_error) << bad;
  }
}

}  // namespace

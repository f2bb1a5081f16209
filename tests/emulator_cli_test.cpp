// talvor-panel's command line: exit codes, messages, and outputs that appear
// whole or not at all.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "emulator/png.h"
#include "emulator/session.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using talvor::testing::ReadText;
using talvor::testing::WriteText;

struct Result {
  int code = -1;
  std::string out, err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = talvor::testing::FreshDir(std::string("cli-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    module = talvor::testing::TestModulePath();
    gauges = fs::path(module).parent_path().string();
    WriteText(dir + "/ok.scenario", "gauge \"Fixture Mouse\"\nclick \"Fixture Mouse\" 35 35\nexpect events EvtApVsRefInc\n");
    WriteText(dir + "/fail.scenario",
              "gauge \"Fixture Mouse\"\nclick \"Fixture Mouse\" 35 35\nexpect events none\nrun 1\n");
    WriteText(dir + "/bad.scenario", "gauge \"Fixture Mouse\"\nwobble\n");
    WriteText(dir + "/panel.cfg", "[Window00]\nsize_mm=300,100\ngauge00=talvor_test_module!Fixture Mouse, 10,10\n");
    WriteText(dir + "/malformed.cfg", "[Window00]\nsize_mm=300\n");
    WriteText(dir + "/unknown.cfg", "[Window00]\ngauge00=talvor_test_module!No Such Gauge, 10,10\n");
  }

  Result Panel(const std::string& args) {
    const std::string cmd = "cd '" + dir + "' && '" + talvor::testing::BinaryPath("emulator/talvor-panel") + "' " + args +
                            " >'" + dir + "/stdout.txt' 2>'" + dir + "/stderr.txt'";
    const int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(dir + "/stdout.txt");
    r.err = ReadText(dir + "/stderr.txt");
    fs::remove(dir + "/stdout.txt");
    fs::remove(dir + "/stderr.txt");
    return r;
  }

  std::set<std::string> Files() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
  }

  std::string dir, module, gauges;
};

TEST_F(CliTest, ExitCodesAndMessages) {
  const std::string m = " --module '" + module + "'";
  const std::string g = " --gauges '" + gauges + "'";
  const struct {
    std::string args;
    int code;
    std::string err;  // the start of stderr's first line
  } cases[] = {
      {"", 2, "talvor-panel: A subcommand is required"},
      {"fly", 2, "talvor-panel: "},
      {"run missing.scenario", 2, "talvor-panel: missing.scenario: cannot read the scenario file"},
      {"run bad.scenario" + m, 2, "talvor-panel: bad.scenario:2: unknown command 'wobble'"},
      {"run fail.scenario" + m, 1, "talvor-panel: fail.scenario:3: expected events none, saw EvtApVsRefInc:0"},
      {"run ok.scenario" + m, 0, ""},
      {"run ok.scenario --module missing.so", 1, "talvor-panel: ok.scenario:1: module not found: missing.so"},
      {"render malformed.cfg -o out.png" + g, 2, "talvor-panel: malformed.cfg:2: size_mm"},
      {"render unknown.cfg -o out.png" + g, 2, "talvor-panel: unknown.cfg:2: no gauge 'No Such Gauge'"},
      {"render panel.cfg -o out.png --scale 0" + g, 2, "talvor-panel: --scale"},
      {"render panel.cfg -o out.png", 1, "talvor-panel: module 'talvor_test_module' not found"},
  };
  for (const auto& c : cases) {
    const Result r = Panel(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
    if (c.code == 0) EXPECT_EQ(r.out, "ok.scenario: passed\n");
  }
  EXPECT_EQ(Files().count("out.png"), 0u) << "no picture from a failed render";
}

#if TALVOR_HAVE_RASTER
TEST_F(CliTest, RenderWritesThePanelsPicture) {
  const Result r = Panel("render panel.cfg -o out.png --updates 3 --scale 2 --gauges '" + gauges + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  const talvor::Raster png = talvor::ReadPng(dir + "/out.png");
  EXPECT_EQ(png.width, 600);
  EXPECT_EQ(png.height, 200);
  EXPECT_EQ(Files(), (std::set<std::string>{"ok.scenario", "fail.scenario", "bad.scenario", "panel.cfg", "malformed.cfg",
                                            "unknown.cfg", "out.png"}))
      << "no temporary files left";
  const Result bad = Panel("render panel.cfg -o nowhere/out.png --gauges '" + gauges + "'");
  EXPECT_EQ(bad.code, 1);
  EXPECT_FALSE(fs::exists(dir + "/nowhere"));
}
#endif

TEST_F(CliTest, TracesAreWholeFilesEvenWhenAnExpectationFails) {
  const std::string m = " --module '" + module + "'";
  const Result failed = Panel("run fail.scenario --trace t.jsonl --trace-values" + m);
  EXPECT_EQ(failed.code, 1);
  EXPECT_EQ(ReadText(dir + "/t.jsonl"), "{\"update\":0,\"event\":65894,\"name\":\"EvtApVsRefInc\",\"value\":0}\n")
      << "everything up to the failed line";

  const Result unwritable = Panel("run ok.scenario --trace nowhere/t.jsonl" + m);
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_EQ(unwritable.err.rfind("talvor-panel: cannot write nowhere/t.jsonl", 0), 0u) << unwritable.err;
  EXPECT_EQ(Files().count("t.jsonl"), 1u);
  for (const std::string& f : Files()) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
}

}  // namespace

// Scenarios: parsing errors, running against the test module, failed
// expectations and traces.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "emulator/scenario.h"
#include "emulator/trace.h"
#include "tests/test_support.h"

namespace {

using talvor::ParseScenario;
using talvor::ScenarioFailure;
using talvor::ScenarioParseError;

talvor::ScenarioOptions TestOptions() {
  talvor::ScenarioOptions o;
  o.module_path = talvor::testing::TestModulePath();
  o.snapshots = false;
  return o;
}

void RunText(const std::string& text, talvor::ScenarioOptions options = TestOptions()) {
  talvor::RunScenario(ParseScenario(text, "t.scenario"), options);
}

TEST(EmulatorScenarioParse, UnparsableLinesNameTheLineAndWhatWasExpected) {
  const struct {
    const char* line;  // written as line 2
    const char* message;
  } cases[] = {
      {"run", "t.scenario:2: expected: run N"},
      {"run -1", "t.scenario:2: run: -1 is out of range"},
      {"run many", "t.scenario:2: run: expected a whole number, got 'many'"},
      {"jump 3", "t.scenario:2: unknown command 'jump'; expected panel, gauge, set"},
      {"set VarAvionicMaster 1", "t.scenario:2: unknown variable 'VarAvionicMaster' (did you mean VarAvionicsMaster"},
      {"set altitude-feet 10", "(did you mean altitude-ft"},
      {"set VarSimRate fast", "t.scenario:2: set VarSimRate: expected a number, got 'fast'"},
      {"expect events EvtApHeadinHold", "unknown event 'EvtApHeadinHold' (did you mean EvtApHeadingHold"},
      {"expect events EvtApMaster:x", "t.scenario:2: event value: expected a whole number"},
      {"expect events", "expected: expect events EVENT[:VALUE] ... | expect events none"},
      {"click \"Davtron 803 10 10", "t.scenario:2: a quoted text has no closing \""},
      {"click Airspeed 10", "t.scenario:2: expected: click GAUGE X Y"},
      {"gauge Airspeed 10", "expected: gauge NAME [x y [w [h]]]"},
      {"drag G 1 2 3 4", "expected: drag GAUGE X1 Y1 X2 Y2 STEPS"},
      {"time 24:00:00", "t.scenario:2: time: expected HH:MM:SS"},
      {"time 10:00:00 utc 2", "expected: time HH:MM:SS [utc-offset H]"},
      {"fail 3 maybe", "t.scenario:2: fail: expected on or off, got 'maybe'"},
      {"fail wings on", "failure key (a number or engine"},
      {"gps lost 3", "expected: gps absent-until N | gps size N"},
      {"expect tooltip \"x\"", "expect tooltip without a tooltip command before it"},
      {"expect value G 0 1", "element index (1 = the root): 0 is out of range"},
      {"expect value G 2 bright", "expected value (or hidden): expected a number, got 'bright'"},
      {"expect colour G", "expected: expect tooltip|value|events|sounds|var"},
  };
  for (const auto& c : cases) {
    try {
      ParseScenario(std::string("# comment\n") + c.line + "\n", "t.scenario");
      ADD_FAILURE() << c.line << " parsed";
    } catch (const ScenarioParseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(EmulatorScenarioParse, QuotesCommentsAndBlankLines) {
  const talvor::Scenario s = ParseScenario(
      "\n  # intro\nclick \"Fixture Mouse\" 15 15   # press A\nexpect sounds \"Sound\\fixture.wav\" \"none\"\n"
      "expect sounds none\n",
      "t.scenario");
  ASSERT_EQ(s.steps.size(), 3u);
  EXPECT_EQ(s.steps[0].text, "Fixture Mouse");
  EXPECT_EQ(s.steps[0].line, 3);
  EXPECT_EQ(s.steps[1].sounds, (std::vector<std::string>{"Sound\\fixture.wav", "none"}))
      << "backslashes are kept; a quoted none is a name";
  EXPECT_TRUE(s.steps[2].sounds.empty());
}

TEST(EmulatorScenarioRun, DrivesTheModuleAndChecksWhatItShowsAndSends) {
  RunText(R"sc(
gauge Fixture
gauge "Fixture Mouse" 200 0
set VarApHeadingLock 2.5
set VarAirspeed 150
set VarThrottleLever 500
run 1
expect value Fixture 1 0
expect value Fixture 2 2
expect value Fixture 4 150
expect value Fixture 5 500
set VarApHeadingLock -1
fail electrical-panel on
fail 3 on
run 1
expect value Fixture 1 hidden
expect value Fixture 2 hidden
expect value Fixture 4 hidden
expect events none
click "Fixture Mouse" 35 35
hold "Fixture Mouse" 35 35 2
expect events EvtApVsRefInc EvtApVsRefInc:0 EvtApVsRefInc EvtApVsRefInc
expect var VarApVsRef 400
drag "Fixture Mouse" 70 20 70 40 2
expect events EvtThrottleSet:5 EvtThrottleSet:15 EvtThrottleSet:25
click "Fixture Mouse" 15 15
expect sounds "Sound\fixture.wav"
expect sounds none
tooltip "Fixture Mouse" 15 15
expect tooltip "Autopilot heading mode (HDG)"
set altitude-ft 4000
expect var altitude-ft 4000
set oat-c -12
expect var VarOutsideAirTemp -0.046875
expect var oat-c -12
set ground-speed-mps 10
expect var ground-speed-mps 10
time 12:00:00 utc-offset -3
expect var VarZuluHour 15
gps absent-until 1000
gps size 100
set elevator-trim 0.5
expect var elevator-trim 0.5
snapshot skipped.png
)sc");
}

TEST(EmulatorScenarioRun, AFailedExpectationNamesTheLineAndWhatWasSeen) {
  const std::string head = "gauge Fixture\ngauge \"Fixture Mouse\"\nset VarApHeadingLock 1\nrun 1\n";
  const struct {
    const char* line;  // line 5
    const char* message;
  } cases[] = {
      {"expect value Fixture 2 2", "t.scenario:5: expected element 2 of 'Fixture' 2, saw frame 1"},
      {"expect value Fixture 2 hidden", "t.scenario:5: expected element 2 of 'Fixture' hidden, saw frame 1"},
      {"expect value Fixture 4 1", "t.scenario:5: expected element 4 of 'Fixture' 1, saw value 0"},
      {"expect value Fixture 9 1", "t.scenario:5: gauge 'Fixture' has elements 1..5, not 9"},
      {"expect var VarAvionicsMaster 0", "t.scenario:5: expected VarAvionicsMaster 0, saw 1"},
      {"expect events EvtApMaster", "t.scenario:5: expected events EvtApMaster, saw none"},
      {"expect sounds \"a.wav\"", "t.scenario:5: expected sounds \"a.wav\", saw none"},
      {"click Nothing 1 1", "t.scenario:5: no instance of gauge 'Nothing' on the panel; it has 'Fixture', 'Fixture Mouse'"},
      {"gauge Nothing", "t.scenario:5: no gauge 'Nothing' in the module"},
      {"tooltip \"Fixture Mouse\" 15 15\nexpect tooltip \"HDG\"",
       "t.scenario:6: expected tooltip \"HDG\", saw \"Autopilot heading mode (HDG)\""},
      {"click \"Fixture Mouse\" 35 35\nexpect events EvtApVsRefInc:1",
       "t.scenario:6: expected events EvtApVsRefInc:1, saw EvtApVsRefInc:0"},
  };
  for (const auto& c : cases) {
    try {
      RunText(head + c.line + "\nexpect var VarSimRate 99\n");
      ADD_FAILURE() << c.line << " passed";
    } catch (const ScenarioFailure& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(EmulatorScenarioRun, APanelFileThatCannotBeReadIsBadInput) {
  try {
    RunText("gauge Fixture\npanel missing.cfg\n");
    ADD_FAILURE() << "ran";
  } catch (const ScenarioParseError& e) {
    EXPECT_NE(std::string(e.what()).find("t.scenario:2: ./missing.cfg: cannot read the panel file"), std::string::npos)
        << e.what();
  }
}

TEST(EmulatorScenarioRun, ATraceHoldsEventsSoundsAndValuesInOrder) {
  std::ostringstream out;
  talvor::TraceWriter trace(out);
  talvor::ScenarioOptions options = TestOptions();
  options.trace = &trace;
  options.trace_values = true;
  RunText("gauge \"Fixture Mouse\"\nrun 1\nhold \"Fixture Mouse\" 35 35 1\nclick \"Fixture Mouse\" 15 15\n", options);
  EXPECT_EQ(out.str(),
            "{\"update\":1,\"instance\":0,\"gauge\":\"Fixture Mouse\",\"values\":[0.0],\"drawn\":[1]}\n"
            "{\"update\":1,\"event\":65894,\"name\":\"EvtApVsRefInc\",\"value\":0}\n"
            "{\"update\":1,\"event\":65894,\"name\":\"EvtApVsRefInc\",\"value\":0}\n"
            "{\"update\":2,\"instance\":0,\"gauge\":\"Fixture Mouse\",\"values\":[0.0],\"drawn\":[1]}\n"
            "{\"update\":2,\"sound\":\"Sound\\\\fixture.wav\",\"flags\":1,\"found\":false}\n");
}

TEST(EmulatorScenarioRun, PanelsAreFoundBesideTheScenario) {
  const std::string dir = talvor::testing::FreshDir("scenario-panel");
  talvor::testing::WriteText(dir + "/panel.cfg", "[Window00]\ngauge00=talvor_test_module!Fixture Mouse, 0,0\n");
  talvor::testing::WriteText(dir + "/a.scenario", "panel panel.cfg\nclick \"Fixture Mouse\" 15 15\nexpect sounds \"Sound\\fixture.wav\"\n");
  talvor::ScenarioOptions options;
  options.gauges_dir = std::filesystem::path(talvor::testing::TestModulePath()).parent_path().string();
  talvor::RunScenario(talvor::ReadScenario(dir + "/a.scenario"), options);
}

TEST(EmulatorScenarioRun, AltitudeInFeetReadsBackAsTheSameWholeFeet) {
  for (double feet = -2000; feet <= 60000; feet += 1) {
    const double m = talvor::AltitudeMetresForFeet(feet);
    ASSERT_EQ(std::trunc(m * 3.28083), feet);
  }
}

}  // namespace

// Scenarios: small line-based scripts that drive a panel and check what the
// module shows and sends, for tests, users and bug reports.
//
//   panel FILE                        a panel file (relative to the scenario)
//   gauge NAME [x y [w [h]]]          one instance, without a panel file
//   set VAR VALUE                     VAR: catalogue name, token number, or
//                                     altitude-ft, oat-c, ground-speed-mps,
//                                     elevator-trim, autopilot-master, spoilers-armed
//   gps absent-until N | gps size N   the GPS record
//   time HH:MM:SS [utc-offset H]      the host's clocks
//   fail KEY on|off                   a host failure (2, 3, 6, 20, 21 or a name)
//   run N                             N updates
//   click GAUGE X Y | hold GAUGE X Y N | drag GAUGE X1 Y1 X2 Y2 STEPS
//   tooltip GAUGE X Y                 then: expect tooltip "TEXT"
//   expect value GAUGE INDEX VALUE|hidden
//   expect events EVENT[:VALUE] ... | expect events none
//   expect sounds "NAME" ... | expect sounds none
//   expect var VAR VALUE
//   snapshot FILE.png
//
// '#' starts a comment; names with blanks go in double quotes. The whole
// file is parsed before anything runs; the run stops at the first failed
// expectation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvor {

class Session;
class TraceWriter;

// A line that cannot be parsed: "file:line: what was expected".
class ScenarioParseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed expectation or an error while running: "file:line: ...".
class ScenarioFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A variable as a scenario names it: a token, or a unit conversion of one.
struct ScenarioVar {
  enum class Kind { kToken, kAltitudeFeet, kOatCelsius, kGroundSpeedMps };
  Kind kind = Kind::kToken;
  uint32_t token = 0;
  std::string name;  // as written
};

struct ScenarioStep {
  enum class Verb {
    kPanel, kGauge, kSet, kGpsAbsentUntil, kGpsSize, kTime, kFail, kRun, kClick, kHold, kDrag, kTooltip,
    kExpectTooltip, kExpectValue, kExpectEvents, kExpectSounds, kExpectVar, kSnapshot,
  };
  Verb verb = Verb::kRun;
  int line = 0;
  std::string text;            // file, gauge name, tooltip text
  std::vector<int64_t> ints;   // coordinates, counts, index, time, key
  double number = 0;           // values, UTC offset
  bool flag = false;           // fail on; expect value hidden
  ScenarioVar var;
  struct Event {
    uint32_t event;
    std::optional<uint32_t> value;  // any value when absent
  };
  std::vector<Event> events;
  std::vector<std::string> sounds;
};

struct Scenario {
  std::string path;  // file name for messages; its folder anchors `panel`
  std::vector<ScenarioStep> steps;
};

// Parses a scenario's text; throws ScenarioParseError.
Scenario ParseScenario(const std::string& text, const std::string& path);
// Reads and parses a file; throws ScenarioParseError when it cannot be read.
Scenario ReadScenario(const std::string& path);

struct ScenarioOptions {
  std::string module_path;   // for `gauge`; "" = Session::DefaultModulePath()
  std::string gauges_dir;    // for `panel`; "" = beside the panel file, else the default module's folder
  std::string snapshot_dir;  // where `snapshot` files go; "" = the current folder
  bool snapshots = true;     // false: `snapshot` lines are skipped
  std::string sound_dir;     // "" = Session::DefaultSoundDir()
  TraceWriter* trace = nullptr;
  bool trace_values = false;
};

// Runs a parsed scenario in a new Session; throws ScenarioFailure at the
// first failed expectation or error, naming the line and what was seen, and
// ScenarioParseError for a panel file that cannot be read or parsed.
void RunScenario(const Scenario& scenario, const ScenarioOptions& options);

// The altitude in metres that a module reading whole feet as
// trunc(metres x 3.28083) reads back as `feet` (what `set altitude-ft` sets).
double AltitudeMetresForFeet(double feet);

// The gauges folder for a panel file: `gauges_dir` when given, else the
// panel's own folder when the module is there, else the default module's.
std::string GaugesDirForPanel(const std::string& panel_path, const std::string& module_name,
                              const std::string& gauges_dir);

}  // namespace talvor

// The scenario reader on any text: a scenario, or a ScenarioParseError naming
// the line and what was expected. A scenario that parses and is quick to run
// (at most 2000 updates, drag steps and hold updates in all, and panels only
// from examples/) is then run on the real module, with snapshots off and no
// trace, so that no file is written: it passes, or stops with a
// ScenarioFailure or ScenarioParseError naming its line. Any other exception
// escapes and is reported.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "emulator/scenario.h"
#include "emulator/session.h"

namespace {

namespace fs = std::filesystem;
using Verb = talvor::ScenarioStep::Verb;

const fs::path kExamples = fs::path(TALVOR_SOURCE_DIR) / "examples";

// The module held open for the life of the process, so that each run's
// session does not map it afresh.
void KeepModuleLoaded() {
  static const bool loaded = [] {
    const std::string path = talvor::Session::DefaultModulePath();
    if (::dlopen(path.c_str(), RTLD_NOW) == nullptr) {
      std::fprintf(stderr, "scenario_fuzz: cannot load %s: %s\n", path.c_str(), ::dlerror());
      std::abort();
    }
    return true;
  }();
  (void)loaded;
}

bool QuickAndContained(const talvor::Scenario& scenario) {
  int64_t work = 0;
  for (const talvor::ScenarioStep& s : scenario.steps) {
    if (s.verb == Verb::kRun && !s.ints.empty()) work += s.ints[0];
    if (s.verb == Verb::kHold && s.ints.size() > 2) work += s.ints[2];
    if (s.verb == Verb::kDrag && s.ints.size() > 4) work += s.ints[4];
    if (work > 2000) return false;
    if (s.verb == Verb::kPanel) {
      std::error_code ec;
      const fs::path panel = fs::weakly_canonical(kExamples / s.text, ec);
      if (ec || panel.parent_path() != fs::weakly_canonical(kExamples) || !fs::is_regular_file(panel)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  talvor::Scenario scenario;
  try {
    scenario = talvor::ParseScenario(text, (kExamples / "fuzz.scenario").string());
  } catch (const talvor::ScenarioParseError&) {
    return 0;
  }
  if (!QuickAndContained(scenario)) return 0;
  KeepModuleLoaded();
  talvor::ScenarioOptions options;
  options.gauges_dir = fs::path(talvor::Session::DefaultModulePath()).parent_path().string();
  options.snapshots = false;
  try {
    talvor::RunScenario(scenario, options);
  } catch (const talvor::ScenarioFailure&) {
  } catch (const talvor::ScenarioParseError&) {
  }
  return 0;
}

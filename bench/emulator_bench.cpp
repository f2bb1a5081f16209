// The emulator's speed on the example panel: headless updates, rastered
// frames, PNG encoding, and scenario replay through the library and the
// command line.
//
//   talvor-bench-emulator [--benchmark_... options]
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulator/raster.h"
#include "emulator/scenario.h"
#include "emulator/session.h"
#include "host/catalogue.h"

extern char** environ;

namespace {

const std::string kPanel = TALVOR_SOURCE_DIR "/examples/panel.cfg";
const std::string kReplay = TALVOR_SOURCE_DIR "/bench/replay.scenario";

// Updates run before timing: both display tests are over.
constexpr int kWarmUp = 200;

// Airspeed along a slow sweep, so that the needle moves at every update.
double Airspeed(int64_t update) { return 90.0 + static_cast<double>(update % 400) * 0.1; }

void Load(talvor::Session& s) {
  s.LoadPanel(kPanel);
  s.SetTime(10, 0, 0, -5);
  s.Set(VarOnGround, 0);
  s.Set(VarAirspeed, 120);
  s.Run(kWarmUp);
}

void EmulatorUpdate(benchmark::State& state) {
  talvor::Session s(talvor::Session::DefaultModulePath());
  Load(s);
  int64_t update = 0;
  for (auto _ : state) {
    s.Set(VarAirspeed, Airspeed(++update));
    s.Run(1);
  }
  state.counters["updates_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}
BENCHMARK(EmulatorUpdate);

// One update and the panel drawn. `changes`: 0 only what the panel does by
// itself (the clock's seconds), 1 the airspeed needle moving at every
// update too, 2 every gauge redrawn (night lighting switched at each frame).
void EmulatorFrame(benchmark::State& state) {
  const double scale = static_cast<double>(state.range(0));
  const int64_t changes = state.range(1);
  talvor::Session s(talvor::Session::DefaultModulePath());
  Load(s);
  s.RenderPanel(scale);  // the bitmaps decoded once, as a session's first picture does
  int64_t update = 0;
  for (auto _ : state) {
    ++update;
    if (changes >= 1) s.Set(VarAirspeed, Airspeed(update));
    if (changes >= 2) s.SetNight(update % 2 == 0);
    s.Run(1);
    talvor::Raster panel = s.RenderPanel(scale);
    benchmark::DoNotOptimize(panel.rgba.data());
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(EmulatorFrame)
    ->ArgNames({"scale", "changes"})
    ->ArgsProduct({{1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

void PngEncode(benchmark::State& state) {
  talvor::Raster panel;
  {
    talvor::Session s(talvor::Session::DefaultModulePath());
    Load(s);
    panel = s.RenderPanel(static_cast<double>(state.range(0)));
  }
  for (auto _ : state) {
    std::vector<uint8_t> png = talvor::EncodePng(panel);
    benchmark::DoNotOptimize(png.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(panel.rgba.size()));
  state.counters["pixels"] = static_cast<double>(panel.width) * panel.height;
}
BENCHMARK(PngEncode)->ArgName("scale")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Simulated seconds in a scenario: its runs and holds, 18 updates a second.
double SimulatedSeconds(const talvor::Scenario& scenario) {
  int64_t updates = 0;
  for (const talvor::ScenarioStep& s : scenario.steps) {
    if (s.verb == talvor::ScenarioStep::Verb::kRun) updates += s.ints[0];
    if (s.verb == talvor::ScenarioStep::Verb::kHold) updates += s.ints[2];
  }
  return static_cast<double>(updates) / 18.0;
}

void ReplayCounters(benchmark::State& state, double simulated_seconds) {
  state.counters["sim_s_per_s"] =
      benchmark::Counter(simulated_seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["sim_s"] = simulated_seconds;
}

// The scenario read once, replayed in a new Session each time (the module
// loaded, the panel read, every check made).
void ScenarioReplay(benchmark::State& state) {
  const talvor::Scenario scenario = talvor::ReadScenario(kReplay);
  talvor::ScenarioOptions options;
  options.snapshots = false;
  for (auto _ : state) talvor::RunScenario(scenario, options);
  ReplayCounters(state, SimulatedSeconds(scenario));
}
BENCHMARK(ScenarioReplay)->Unit(benchmark::kMillisecond);

// `talvor-panel run` as a user runs it: a new process each time, timed by
// the wall clock.
void CliReplay(benchmark::State& state) {
  const std::string program = TALVOR_PANEL_PROGRAM;
  std::vector<std::string> args = {program, "run", kReplay, "--no-snapshots"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError(("cannot start " + program).c_str());
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("talvor-panel run failed");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&quiet);
  ReplayCounters(state, SimulatedSeconds(talvor::ReadScenario(kReplay)));
}
BENCHMARK(CliReplay)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

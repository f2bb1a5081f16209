// The module's own cost: one update cycle (services 6, 7, 10 and every value
// callback with its sources refreshed) of each gauge and of the nine-gauge
// panel, against a host whose lookup_var is an array index.
//
//   talvor-bench-module [MODULE.so] [--benchmark_... options]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/module_host.h"

namespace {

// Updates run before timing: both display tests (six simulated seconds)
// are over, so the figure is a cruising panel's.
constexpr int kWarmUp = 200;

bench::ModuleHost* g_host = nullptr;

void Warm(const std::vector<bench::GaugePlan>& plans) {
  for (int i = 0; i < kWarmUp; ++i) {
    for (const bench::GaugePlan& p : plans) bench::Cycle(p);
    bench::ModuleHost::Tick();
  }
}

void GaugeCycle(benchmark::State& state, const std::string& name) {
  bench::ModuleHost::SetCruise();
  const std::vector<bench::GaugePlan> plans = {g_host->AddGauge(name)};
  Warm(plans);
  const bench::GaugePlan& plan = plans.front();
  for (auto _ : state) {
    bench::Cycle(plan);
    bench::ModuleHost::Tick();
  }
  state.counters["elements"] = static_cast<double>(plan.steps.size());
}

void PanelCycle(benchmark::State& state) {
  bench::ModuleHost::SetCruise();
  std::vector<bench::GaugePlan> plans;
  size_t elements = 0;
  for (const std::string& name : g_host->GaugeNames()) {
    plans.push_back(g_host->AddGauge(name));
    elements += plans.back().steps.size();
  }
  Warm(plans);
  for (auto _ : state) {
    for (const bench::GaugePlan& p : plans) bench::Cycle(p);
    bench::ModuleHost::Tick();
  }
  state.counters["elements"] = static_cast<double>(elements);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string module = TALVOR_BENCH_MODULE;
  if (const char* env = std::getenv("TALVOR_MODULE"); env != nullptr && *env != '\0') module = env;
  if (argc > 1) module = argv[1];
  std::unique_ptr<bench::ModuleHost> host;
  try {
    host = std::make_unique<bench::ModuleHost>(module);
  } catch (const std::exception& e) {
    std::cerr << "talvor-bench-module: " << e.what() << "\n";
    return 1;
  }
  g_host = host.get();
  for (const std::string& name : host->GaugeNames()) {
    benchmark::RegisterBenchmark(("GaugeCycle/" + name).c_str(), GaugeCycle, name);
  }
  benchmark::RegisterBenchmark("PanelCycle", PanelCycle);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

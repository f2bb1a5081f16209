// A fixed number of update cycles of one gauge or of the whole panel, for
// counting the module's instructions under callgrind (bench/callgrind.sh):
// only talvor_measured_cycles is collected, after a warm-up past the display
// tests.
//
//   talvor-module-cycles MODULE.so (GAUGE | panel) CYCLES
//   talvor-module-cycles MODULE.so --list
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "bench/module_host.h"

namespace {

void Cycles(const std::vector<bench::GaugePlan>& plans, long cycles) {
  for (long i = 0; i < cycles; ++i) {
    for (const bench::GaugePlan& p : plans) bench::Cycle(p);
    bench::ModuleHost::Tick();
  }
}

}  // namespace

// The collected part; the warm-up runs the same cycles outside it.
extern "C" __attribute__((noinline)) void talvor_measured_cycles(const std::vector<bench::GaugePlan>* plans,
                                                                 long cycles) {
  Cycles(*plans, cycles);
}

int main(int argc, char** argv) {
  const std::string usage = "usage: talvor-module-cycles MODULE.so (GAUGE | panel) CYCLES | MODULE.so --list";
  if (argc == 3 && std::string(argv[2]) == "--list") {
    try {
      bench::ModuleHost host(argv[1]);
      for (const std::string& name : host.GaugeNames()) std::cout << name << "\n";
      return 0;
    } catch (const std::exception& e) {
      std::cerr << "talvor-module-cycles: " << e.what() << "\n";
      return 1;
    }
  }
  if (argc != 4) {
    std::cerr << usage << "\n";
    return 2;
  }
  char* end = nullptr;
  const long cycles = std::strtol(argv[3], &end, 10);
  if (end == argv[3] || *end != '\0' || cycles <= 0) {
    std::cerr << "talvor-module-cycles: CYCLES must be a positive number, not '" << argv[3] << "'\n";
    return 2;
  }
  try {
    bench::ModuleHost host(argv[1]);
    bench::ModuleHost::SetCruise();
    std::vector<bench::GaugePlan> plans;
    const std::string target = argv[2];
    if (target == "panel") {
      for (const std::string& name : host.GaugeNames()) plans.push_back(host.AddGauge(name));
    } else {
      plans.push_back(host.AddGauge(target));
    }
    Cycles(plans, 200);  // past both display tests
    talvor_measured_cycles(&plans, cycles);
  } catch (const std::exception& e) {
    std::cerr << "talvor-module-cycles: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

// A host for measuring the module alone: it loads the module with dlopen as
// any host would, and answers lookup_var by indexing a flat array, so that a
// cycle's cost is the module's. Shared by the Google Benchmark program and
// the fixed-count driver run under callgrind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/records.h"

namespace bench {

// Token values the host answers lookup_var with; tokens at or above the
// table's size read 0.0, as the interface asks for unknown tokens.
constexpr uint32_t kTokenSlots = 1024;

// One element as the cycle visits it: its sources with a nonzero token and
// its value callbacks (a slider has two).
struct ElementStep {
  ELEMENT_HEADER* element = nullptr;
  MODULE_VAR* sources[3] = {};
  int source_count = 0;
  VALUE_CALLBACK callbacks[2] = {};
  int callback_count = 0;
  // What the callbacks returned at the latest cycle: stored, so that no call
  // can be dropped, and with no chain of dependent additions to time.
  mutable double results[2] = {};
};

// A gauge instance prepared for cycles: its elements in drawing order.
struct GaugePlan {
  GAUGEHDR* gauge = nullptr;
  std::vector<ElementStep> steps;
};

// The host's token values, indexed by token.
extern double g_token_values[kTokenSlots];

class ModuleHost {
 public:
  // Loads the module, writes the host's table into ImportTable and calls
  // init. Throws std::runtime_error naming the path and what is wrong.
  explicit ModuleHost(const std::string& module_path);
  ~ModuleHost();
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  std::vector<std::string> GaugeNames() const;

  // Creates an instance (services 2, 3, 4, 5) and returns its plan; throws
  // std::invalid_argument for a name the module does not have.
  GaugePlan AddGauge(const std::string& name);

  // A cruising aircraft with its avionics on, the autopilot holding heading
  // and altitude.
  static void SetCruise();
  static void Set(uint32_t token, double value);
  // One update: the host's clocks advance 1/18 s (their tokens change once
  // a second).
  static void Tick();

 private:
  void* handle_ = nullptr;
  IMPORT_ENTRY* import_entry_ = nullptr;
  GAUGE_LINKAGE* linkage_ = nullptr;
  std::vector<GAUGEHDR*> gauges_;
};

// One update cycle of a gauge instance as the host runs it: service 6; every
// element in drawing order, sources refreshed, then its value callbacks;
// service 7; service 10.
inline void Cycle(const GaugePlan& plan) {
  GAUGEHDR* const g = plan.gauge;
  g->callback(g, kServicePreUpdate, 0);
  for (const ElementStep& s : plan.steps) {
    for (int i = 0; i < s.source_count; ++i) {
      MODULE_VAR* v = s.sources[i];
      v->value = v->id < kTokenSlots ? g_token_values[v->id] : 0.0;
    }
    for (int i = 0; i < s.callback_count; ++i) s.results[i] = s.callbacks[i](s.element);
  }
  g->callback(g, kServicePostUpdate, 0);
  g->callback(g, kServicePreDraw, 0);
}

}  // namespace bench

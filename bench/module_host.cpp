#include "bench/module_host.h"

#include <dlfcn.h>

#include <cstring>
#include <stdexcept>

#include "host/catalogue.h"

namespace bench {

double g_token_values[kTokenSlots] = {};

namespace {

constexpr size_t kMaxElements = 4096;
constexpr size_t kMaxGauges = 1024;

// The GPS record as the host hands it out: its size, and the ground speed
// (m/s) at byte 40.
alignas(8) unsigned char g_gps_record[kGpsRecordMinSize] = {};
uint64_t g_ticks = 0;  // updates since the clocks were set
uint64_t g_events = 0;
uint64_t g_sounds = 0;

void HOSTCALL LookupVar(MODULE_VAR* var) { var->value = var->id < kTokenSlots ? g_token_values[var->id] : 0.0; }

void HOSTCALL InitializeVarByName(MODULE_VAR* var, const char* name) {
  var->var_ptr = name != nullptr && std::strcmp(name, kGpsDataName) == 0 ? g_gps_record : nullptr;
}

void HOSTCALL TriggerKeyEvent(uint32_t, uint32_t) { ++g_events; }

HOST_PANELS g_panels = {sizeof(HOST_PANELS), LookupVar, InitializeVarByName, TriggerKeyEvent};

// 10:00:00 local, 15:00:00 UTC at tick 0.
void SetClocks() {
  const uint64_t seconds = 10 * 3600 + g_ticks / 18;
  const uint64_t zulu = seconds + 5 * 3600;
  g_token_values[VarClockHour] = static_cast<double>(seconds / 3600 % 24);
  g_token_values[VarClockMinute] = static_cast<double>(seconds / 60 % 60);
  g_token_values[VarClockSecond] = static_cast<double>(seconds % 60);
  g_token_values[VarZuluHour] = static_cast<double>(zulu / 3600 % 24);
  g_token_values[VarZuluMinute] = static_cast<double>(zulu / 60 % 60);
}

ElementStep StepOf(ELEMENT_HEADER* e) {
  ElementStep s;
  s.element = e;
  auto source = [&s](MODULE_VAR& v) {
    if (v.id != 0) s.sources[s.source_count++] = &v;
  };
  auto callback = [&s](VALUE_CALLBACK c) {
    if (c != nullptr) s.callbacks[s.callback_count++] = c;
  };
  switch (e->kind) {
    case kElementIcon: {
      auto* icon = reinterpret_cast<ELEMENT_ICON*>(e);
      source(icon->source);
      callback(icon->callback);
      break;
    }
    case kElementNeedle: {
      auto* needle = reinterpret_cast<ELEMENT_NEEDLE*>(e);
      source(needle->source);
      callback(needle->callback);
      break;
    }
    case kElementString: {
      auto* str = reinterpret_cast<ELEMENT_STRING*>(e);
      for (MODULE_VAR& v : str->sources) source(v);
      callback(str->callback);
      break;
    }
    case kElementSlider: {
      auto* slider = reinterpret_cast<ELEMENT_SLIDER*>(e);
      source(slider->source_x);
      source(slider->source_y);
      callback(slider->callback_x);
      callback(slider->callback_y);
      break;
    }
    default:
      break;
  }
  return s;
}

// The root, then each element of its list followed at once by its own list.
void Visit(ELEMENT_HEADER* e, const std::string& gauge, std::vector<ElementStep>& out) {
  if (out.size() >= kMaxElements) throw std::runtime_error("gauge '" + gauge + "': too many elements (a loop?)");
  out.push_back(StepOf(e));
  if (e->next_elements == nullptr) return;
  for (ELEMENT_HEADER** next = e->next_elements; *next != nullptr; ++next) Visit(*next, gauge, out);
}

}  // namespace

ModuleHost::ModuleHost(const std::string& module_path) {
  handle_ = ::dlopen(module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error("cannot load " + module_path + ": " + ::dlerror());
  auto* imports = static_cast<IMPORT_ENTRY*>(::dlsym(handle_, "ImportTable"));
  linkage_ = static_cast<GAUGE_LINKAGE*>(::dlsym(handle_, "Linkage"));
  if (imports == nullptr || linkage_ == nullptr) {
    ::dlclose(handle_);
    throw std::runtime_error(module_path + " is not a gauge module: no ImportTable or Linkage");
  }
  for (IMPORT_ENTRY* e = imports; e->id != 0; ++e) {
    if (e->id == kImportHostPanelsId) import_entry_ = e;
  }
  if (import_entry_ == nullptr) {
    ::dlclose(handle_);
    throw std::runtime_error(module_path + ": ImportTable has no entry for the host's table");
  }
  for (size_t i = 0; i < kMaxGauges && linkage_->gauges[i] != nullptr; ++i) gauges_.push_back(linkage_->gauges[i]);
  import_entry_->table = &g_panels;
  if (linkage_->init != nullptr) linkage_->init();
}

ModuleHost::~ModuleHost() {
  if (linkage_->deinit != nullptr) linkage_->deinit();
  import_entry_->table = nullptr;
  ::dlclose(handle_);
}

std::vector<std::string> ModuleHost::GaugeNames() const {
  std::vector<std::string> names;
  for (GAUGEHDR* g : gauges_) names.emplace_back(g->name);
  return names;
}

GaugePlan ModuleHost::AddGauge(const std::string& name) {
  for (GAUGEHDR* g : gauges_) {
    if (name != g->name) continue;
    GaugePlan plan;
    plan.gauge = g;
    if (g->elements != nullptr && *g->elements != nullptr) Visit(*g->elements, name, plan.steps);
    for (int32_t service : {kServicePreInstall, kServicePostInstall, kServicePreInitialize, kServicePostInitialize}) {
      g->callback(g, service, 0);
    }
    return plan;
  }
  throw std::invalid_argument("no gauge '" + name + "' in the module");
}

void ModuleHost::SetCruise() {
  std::memset(g_token_values, 0, sizeof g_token_values);
  std::memset(g_gps_record, 0, sizeof g_gps_record);
  const uint32_t size = kGpsRecordMinSize;
  const double ground_speed = 64.0;  // m/s
  std::memcpy(g_gps_record, &size, sizeof size);
  std::memcpy(g_gps_record + kGpsGroundSpeedOffset, &ground_speed, sizeof ground_speed);
  g_ticks = 0;
  SetClocks();
  Set(VarOnGround, 0);
  Set(VarAirspeed, 125);
  Set(VarAltitudeMeters, 1676.4);  // 5500 ft
  Set(VarKohlsmanMb, 1013.25);
  Set(VarKohlsmanHg, 29.92);
  Set(VarApHeadingLock, 1);
  Set(VarApAltitudeLock, 1);
  Set(VarApAltitudeRef, 5500);
  Set(VarApVsRef, 500);
  Set(VarThrottleLever, 12000);
  Set(VarMixtureLever, 14000);
  Set(VarSimRate, 1);
  Set(VarOutsideAirTemp, 8.0 / 256.0);
  Set(VarMarkerBeacon, 0);
  Set(VarAvionicsMaster, 1);
  Set(VarBusVoltage, 28.1);
  Set(VarAudioCom1, 1);
  Set(VarAudioMarker, 1);
}

void ModuleHost::Set(uint32_t token, double value) {
  if (token >= kTokenSlots) throw std::out_of_range("token " + std::to_string(token) + " beyond the host's table");
  g_token_values[token] = value;
}

void ModuleHost::Tick() {
  if (++g_ticks % 18 == 0) SetClocks();
}

}  // namespace bench

// The module leaves sndPlaySoundA undefined; this program exports it.
extern "C" __attribute__((visibility("default"))) int sndPlaySoundA(const char*, uint32_t) {
  ++bench::g_sounds;
  return 1;
}

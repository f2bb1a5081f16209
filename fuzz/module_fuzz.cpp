// The module under a host that sends it anything: host variables set to any
// double (NaN, infinities, denormals, huge), gauge callbacks with any service
// id, value callbacks, mouse functions at any point with any flags, tooltips,
// a GPS record that is absent, short or whole, and the host's table written
// or not, in any order across all nine gauges. The module's sources are built
// into this program, so the sanitizers see every line of it.
//
// The module keeps its state for as long as it is loaded, so one input
// continues where the last left off; a report names the whole run's input
// files to replay.
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "host/catalogue.h"
#include "host/records.h"

extern "C" IMPORT_ENTRY ImportTable[2];
extern "C" GAUGE_LINKAGE Linkage;

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "module_fuzz: %s\n", what);
  std::abort();
}

// ---- The host ----------------------------------------------------------------

// Tokens as a flat table; the host reads 0.0 for a token it does not know.
constexpr uint32_t kTokenCount = 1024;
std::array<double, kTokenCount> g_tokens{};

double TokenValue(uint32_t token) { return token < kTokenCount ? g_tokens[token] : 0.0; }

void HOSTCALL HostLookupVar(MODULE_VAR* var) {
  if (var == nullptr) Fail("lookup_var with a null record");
  var->value = TokenValue(var->id);
}

// The GPS record lives as long as the process: the module keeps the pointer
// once it has it. Bytes past the size the record claims are poisoned, so a
// module that reads beyond the claimed size is caught at once.
constexpr size_t kGpsCapacity = 256;
alignas(8) unsigned char g_gps[kGpsCapacity];
enum class GpsMode { kAbsent, kShort, kWhole };
GpsMode g_gps_mode = GpsMode::kAbsent;
void* g_gps_bound = nullptr;  // what the host last handed out

void SetGpsRecord(uint32_t size, double ground_speed) {
  ASAN_UNPOISON_MEMORY_REGION(g_gps, kGpsCapacity);
  std::memset(g_gps, 0, kGpsCapacity);
  std::memcpy(g_gps, &size, sizeof size);
  const size_t readable = std::max<size_t>(sizeof size, std::min<size_t>(size, kGpsCapacity));
  if (readable >= kGpsGroundSpeedOffset + sizeof ground_speed) {
    std::memcpy(g_gps + kGpsGroundSpeedOffset, &ground_speed, sizeof ground_speed);
  }
  ASAN_POISON_MEMORY_REGION(g_gps + readable, kGpsCapacity - readable);
}

void HOSTCALL HostInitializeVarByName(MODULE_VAR* var, const char* name) {
  if (var == nullptr || name == nullptr) Fail("initialize_var_by_name with a null argument");
  const bool gps = std::strcmp(name, "FS2002 GPS DATA") == 0;
  var->var_ptr = gps && g_gps_mode != GpsMode::kAbsent ? g_gps : nullptr;
  if (var->var_ptr != nullptr) g_gps_bound = var->var_ptr;
}

bool IsCatalogueEvent(uint32_t event) {
#define TALVOR_FUZZ_EVENT(name, number) \
  if (event == (number)) return true;
  TALVOR_HOST_EVENTS(TALVOR_FUZZ_EVENT)
#undef TALVOR_FUZZ_EVENT
  return false;
}

// Every event is one of the catalogue's; the levers send 0 to 16383, every
// other control 0.
void HOSTCALL HostTriggerKeyEvent(uint32_t event, uint32_t value) {
  if (!IsCatalogueEvent(event)) Fail("an event outside the catalogue");
  const bool lever = event == EvtThrottleSet || event == EvtMixtureSet;
  if (lever ? value > 16383 : value != 0) Fail("an event value out of its range");
}

HOST_PANELS g_panels = {sizeof(HOST_PANELS), HostLookupVar, HostInitializeVarByName, HostTriggerKeyEvent};
HOST_PANELS g_empty_panels = {sizeof(HOST_PANELS), nullptr, nullptr, nullptr};

// ---- Values a host may send ----------------------------------------------------

double InterestingDouble(FuzzedDataProvider& in) {
  static const double kValues[] = {
      0.0,
      -0.0,
      1.0,
      -1.0,
      0.5,
      0.25,
      0.2499999,
      4.0,
      108.0,
      29.92,
      1013.25,
      -100.0,
      -99.99999999,
      99.9999999,
      3900.0,
      9999.0,
      100000.0,
      2147483647.0,
      2147483648.0,
      -2147483648.0,
      -2147483649.0,
      4294967296.0,
      9.2233720368547758e18,
      1.8446744073709552e19,
      1e300,
      -1e300,
      std::numeric_limits<double>::max(),
      std::numeric_limits<double>::lowest(),
      std::numeric_limits<double>::min(),
      std::numeric_limits<double>::denorm_min(),
      -std::numeric_limits<double>::denorm_min(),
      static_cast<double>(std::numeric_limits<float>::max()) * 1.5,
      std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(),
      -std::numeric_limits<double>::quiet_NaN(),
  };
  if (in.ConsumeBool()) return in.PickValueInArray(kValues);
  // Any bit pattern, signalling NaNs included.
  const uint64_t bits = in.ConsumeIntegral<uint64_t>();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t SomeToken(FuzzedDataProvider& in) {
  static const uint32_t kTokens[] = {
#define TALVOR_FUZZ_TOKEN(name, number) number,
      TALVOR_HOST_VARS(TALVOR_FUZZ_TOKEN)
#undef TALVOR_FUZZ_TOKEN
  };
  return in.ConsumeBool() ? in.PickValueInArray(kTokens) : in.ConsumeIntegralInRange<uint32_t>(0, kTokenCount - 1);
}

// ---- The module's records, walked as a host walks them ---------------------------

std::vector<GAUGEHDR*> Gauges() {
  std::vector<GAUGEHDR*> gauges;
  for (GAUGEHDR* const* g = Linkage.gauges; *g != nullptr; ++g) gauges.push_back(*g);
  return gauges;
}

// Drawing order: the root, then each element of its list, each followed at
// once by its own list.
void Collect(ELEMENT_HEADER* element, std::vector<ELEMENT_HEADER*>& out, int depth) {
  if (element == nullptr) return;
  if (depth > 64) Fail("an element tree deeper than 64");
  out.push_back(element);
  if (element->next_elements == nullptr) return;
  for (ELEMENT_HEADER** next = element->next_elements; *next != nullptr; ++next) Collect(*next, out, depth + 1);
}

std::vector<ELEMENT_HEADER*> Elements(GAUGEHDR* gauge) {
  std::vector<ELEMENT_HEADER*> out;
  if (gauge->elements != nullptr) Collect(*gauge->elements, out, 0);
  return out;
}

void Refresh(MODULE_VAR& var) {
  if (var.id != 0) var.value = TokenValue(var.id);
}

// Refreshes an element's sources and calls its value callbacks.
void UpdateElement(ELEMENT_HEADER* element, bool refresh) {
  switch (element->kind) {
    case kElementIcon: {
      auto* icon = reinterpret_cast<ELEMENT_ICON*>(element);
      if (refresh) Refresh(icon->source);
      if (icon->callback != nullptr) icon->callback(element);
      break;
    }
    case kElementNeedle: {
      auto* needle = reinterpret_cast<ELEMENT_NEEDLE*>(element);
      if (refresh) Refresh(needle->source);
      if (needle->callback != nullptr) needle->callback(element);
      break;
    }
    case kElementString: {
      auto* string = reinterpret_cast<ELEMENT_STRING*>(element);
      if (refresh) {
        for (MODULE_VAR& source : string->sources) Refresh(source);
      }
      if (string->callback != nullptr) string->callback(element);
      break;
    }
    case kElementSlider: {
      auto* slider = reinterpret_cast<ELEMENT_SLIDER*>(element);
      if (refresh) {
        Refresh(slider->source_x);
        Refresh(slider->source_y);
      }
      if (slider->callback_x != nullptr) slider->callback_x(element);
      if (slider->callback_y != nullptr) slider->callback_y(element);
      break;
    }
    case kElementStatic:
      break;
    default:
      Fail("an element of an unknown kind");
  }
}

void Service(GAUGEHDR* gauge, int32_t id, uint32_t extra = 0) {
  if (gauge->callback != nullptr) gauge->callback(gauge, id, extra);
}

// One update and draw of a gauge, in the host's order.
void Update(GAUGEHDR* gauge) {
  Service(gauge, kServicePreUpdate);
  for (ELEMENT_HEADER* element : Elements(gauge)) UpdateElement(element, true);
  Service(gauge, kServicePostUpdate);
  Service(gauge, kServicePreDraw);
  Service(gauge, kServicePostDraw);
}

struct MouseEntry {
  const MOUSERECT* rect;
  PIXBOX box;  // in face pixels, offset by its parents
};

// Children and tooltip entries with their boxes offset by their parents.
std::vector<MouseEntry> MouseEntries(GAUGEHDR* gauge) {
  std::vector<MouseEntry> out;
  std::vector<PIXBOX> parents;
  if (gauge->mouse_rects == nullptr) return out;
  for (const MOUSERECT* r = gauge->mouse_rects; r->type != kMouseEnd; ++r) {
    if (out.size() > 256) Fail("a mouse list without its end");
    const PIXBOX origin = parents.empty() ? PIXBOX{0, 0, 0, 0} : parents.back();
    const PIXBOX box = {origin.x + r->box.x, origin.y + r->box.y, r->box.w, r->box.h};
    switch (r->type) {
      case kMouseParent:
        parents.push_back(box);
        break;
      case kMouseEndParent:
        if (parents.empty()) Fail("an end of parent without a parent");
        parents.pop_back();
        break;
      case kMouseChild:
      case kMouseUser:
        out.push_back({r, box});
        break;
      default:
        Fail("a mouse entry of an unknown type");
    }
  }
  return out;
}

bool Holds(const PIXBOX& box, int64_t x, int64_t y) {
  return x >= box.x && x < int64_t{box.x} + box.w && y >= box.y && y < int64_t{box.y} + box.h;
}

// A click, repeat or drag at (x, y) routed as a host routes it: the first
// child whose box holds the point and whose flags ask for the event.
void Mouse(GAUGEHDR* gauge, int32_t x, int32_t y, uint32_t event) {
  for (const MouseEntry& entry : MouseEntries(gauge)) {
    if (entry.rect->type != kMouseChild || entry.rect->function.mouse == nullptr) continue;
    if (!Holds(entry.box, x, y) || (entry.rect->flags & event) == 0) continue;
    PIXPOINT point = {x - entry.box.x, y - entry.box.y};
    if (entry.rect->function.mouse(&point, event) != 0) Fail("a mouse function returned TRUE");
    return;
  }
}

// A mouse function called straight, with any point (or none) and any flags.
void MouseDirect(GAUGEHDR* gauge, FuzzedDataProvider& in) {
  std::vector<MouseEntry> children;
  for (const MouseEntry& entry : MouseEntries(gauge)) {
    if (entry.rect->type == kMouseChild && entry.rect->function.mouse != nullptr) children.push_back(entry);
  }
  if (children.empty()) return;
  const MouseEntry& entry = children[in.ConsumeIntegralInRange<size_t>(0, children.size() - 1)];
  PIXPOINT point = {in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>()};
  const uint32_t flags = in.ConsumeIntegral<uint32_t>();
  if (entry.rect->function.mouse(in.ConsumeBool() ? &point : nullptr, flags) != 0) {
    Fail("a mouse function returned TRUE");
  }
}

// The tooltip's arguments, each through its callback.
void Tooltip(GAUGEHDR* gauge, FuzzedDataProvider& in) {
  for (const MouseEntry& entry : MouseEntries(gauge)) {
    if (entry.rect->type != kMouseUser || entry.rect->data == nullptr) continue;
    int count = 0;
    for (auto* arg = static_cast<MOUSE_ARG*>(entry.rect->data); arg->source.id != 0 || arg->callback != nullptr;
         ++arg) {
      if (++count > 16) Fail("a tooltip argument list without its end");
      Refresh(arg->source);
      const double number = arg->source.id != 0 ? arg->source.value : InterestingDouble(in);
      if (arg->callback != nullptr) {
        arg->callback(number, in.ConsumeIntegral<uint32_t>(), entry.rect->function.tooltip, &arg->source, gauge);
      }
    }
  }
}

}  // namespace

// The module's sound calls land here; only its four files are ever named.
extern "C" int sndPlaySoundA(const char* name, uint32_t flags) {
  static const char* const kSounds[] = {"Sound\\dingdong.wav", "Sound\\Innermk.wav", "Sound\\Outermk.wav",
                                        "Sound\\Middmk.wav"};
  if (name == nullptr || flags != kSoundAsync) Fail("a sound call without a name or not asynchronous");
  for (const char* sound : kSounds) {
    if (std::strcmp(name, sound) == 0) return 1;
  }
  Fail("a sound the module does not name");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<GAUGEHDR*> gauges = [] {
    SetGpsRecord(0, 0.0);
    return Gauges();
  }();
  if (gauges.size() != 9) Fail("Linkage does not hold nine gauges");

  FuzzedDataProvider in(data, size);
  // The host writes its table before anything else, except where an input
  // asks to play a host that has not.
  ImportTable[0].table = in.ConsumeBool() ? &g_panels : nullptr;
  for (int step = 0; step < 256 && in.remaining_bytes() > 0; ++step) {
    GAUGEHDR* gauge = gauges[in.ConsumeIntegralInRange<size_t>(0, gauges.size() - 1)];
    switch (in.ConsumeIntegralInRange<int>(0, 11)) {
      case 0:
      case 1: {
        const uint32_t token = SomeToken(in);
        g_tokens[token] = InterestingDouble(in);
        break;
      }
      case 2: {
        const int updates = in.ConsumeIntegralInRange<int>(1, 200);
        for (int i = 0; i < updates; ++i) Update(gauge);
        break;
      }
      case 3:
        Service(gauge, in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<uint32_t>());
        break;
      case 4:
        Service(gauge, in.ConsumeIntegralInRange<int32_t>(0, 13));
        break;
      case 5: {
        // A value callback without a refresh, as a host inspecting an element may.
        const std::vector<ELEMENT_HEADER*> elements = Elements(gauge);
        UpdateElement(elements[in.ConsumeIntegralInRange<size_t>(0, elements.size() - 1)], in.ConsumeBool());
        break;
      }
      case 6: {
        static const uint32_t kEvents[] = {kMouseLeftSingle, kMouseRepeat, kMouseLeftDrag};
        const bool anywhere = in.ConsumeBool();
        const int32_t x = anywhere ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-2, 510);
        const int32_t y = anywhere ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-2, 310);
        const int repeats = in.ConsumeIntegralInRange<int>(1, 40);
        for (int i = 0; i < repeats; ++i) Mouse(gauge, x, y, in.PickValueInArray(kEvents));
        break;
      }
      case 7:
        MouseDirect(gauge, in);
        break;
      case 8:
        Tooltip(gauge, in);
        break;
      case 9: {
        switch (in.ConsumeIntegralInRange<int>(0, 2)) {
          case 0:
            g_gps_mode = GpsMode::kAbsent;
            break;
          case 1:
            g_gps_mode = GpsMode::kShort;
            SetGpsRecord(in.ConsumeIntegralInRange<uint32_t>(0, kGpsRecordMinSize - 1), InterestingDouble(in));
            break;
          default:
            g_gps_mode = GpsMode::kWhole;
            SetGpsRecord(in.ConsumeIntegralInRange<uint32_t>(kGpsRecordMinSize, kGpsCapacity), InterestingDouble(in));
            break;
        }
        break;
      }
      case 10: {
        static HOST_PANELS* const kTables[] = {&g_panels, &g_empty_panels, nullptr};
        ImportTable[0].table = in.PickValueInArray(kTables);
        break;
      }
      default:
        if (in.ConsumeBool()) {
          if (Linkage.init != nullptr) Linkage.init();
        } else if (Linkage.deinit != nullptr) {
          Linkage.deinit();
        }
        break;
    }
  }
  return 0;
}

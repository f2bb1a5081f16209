// The emulated host: loads a module, keeps its instances, runs the update
// cycle and dispatches the mouse as abi.md's "What the host does" lays out.
#include "emulator/session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <utility>

#include "emulator/elements.h"
#include "emulator/event_model.h"
#include "emulator/host_state.h"
#include "emulator/module_loader.h"
#include "emulator/mouse.h"
#include "emulator/panel_config.h"
#include "host/catalogue.h"
#include "host/records.h"

#if TALVOR_HAVE_RASTER
#include "emulator/bmp.h"
#include "emulator/raster.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace talvor {

namespace {

constexpr size_t kMaxGauges = 1024;
constexpr size_t kMaxImportEntries = 256;
constexpr size_t kMaxTooltipArgs = 99;

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

// Width and height from a bitmap's info header, without decoding it.
bool BitmapSize(const BitmapBytes& bmp, int* w, int* h) {
  const size_t at = bmp.has_file_header ? 14 : 0;
  const std::vector<uint8_t>& d = bmp.data;
  if (d.size() < at + 12) return false;
  auto u32 = [&](size_t i) {
    return static_cast<uint32_t>(d[i]) | static_cast<uint32_t>(d[i + 1]) << 8 |
           static_cast<uint32_t>(d[i + 2]) << 16 | static_cast<uint32_t>(d[i + 3]) << 24;
  };
  const uint32_t header = u32(at);
  if (header == 12) {  // BITMAPCOREHEADER: 16-bit sizes
    *w = d[at + 4] | d[at + 5] << 8;
    *h = d[at + 6] | d[at + 7] << 8;
    return *w > 0 && *h > 0;
  }
  if (header < 40 || d.size() < at + 16) return false;
  const int32_t width = static_cast<int32_t>(u32(at + 4));
  const int32_t height = static_cast<int32_t>(u32(at + 8));
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  *w = width;
  *h = height < 0 ? -height : height;
  return true;
}

std::string LowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string FileStem(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = file.find_last_of('.');
  if (dot != std::string::npos && dot > 0) file.resize(dot);
  return file;
}

std::string DirOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string ExecutableDir() {
#if defined(_WIN32)
  char buf[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return n == 0 || n == MAX_PATH ? "." : DirOf(std::string(buf, n));
#else
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n <= 0 ? "." : DirOf(std::string(buf, static_cast<size_t>(n)));
#endif
}

}  // namespace

// ---------------------------------------------------------------------------
// The instance of a gauge on the panel and what the host keeps for it.

#if TALVOR_HAVE_RASTER
// An instance's latest picture and what it was drawn from, so that a picture
// is drawn again only when its elements, size or lighting changed.
struct GaugePicture {
  bool valid = false;
  uint64_t generation = 0;  // counts the drawings
  bool night = false;
  std::vector<DrawItem> items;
  Raster raster;
};
#endif

struct GaugeInstance {
  GAUGEHDR* header = nullptr;
  std::string name;
  InstanceInfo info;
  std::vector<ELEMENT_HEADER*> order;
  std::vector<ElementState> states;
#if TALVOR_HAVE_RASTER
  GaugePicture picture;
#endif
};

struct MouseCapture {
  bool down = false;
  int instance = -1;
  const MOUSERECT* area = nullptr;  // the child found at button-down, or null
  int64_t origin_x = 0, origin_y = 0;  // its top-left in face pixels
};

struct Session::Impl {
  std::unique_ptr<ModuleFile> module;
  IMPORT_ENTRY* import_entry = nullptr;
  GAUGE_LINKAGE* linkage = nullptr;
  std::vector<GAUGEHDR*> gauges;
  HOST_PANELS panels{};
  HostState state;
  std::set<uint32_t> failures;
  std::vector<GaugeInstance> instances;
  std::vector<SentEvent> events;
  std::vector<PlayedSound> sounds;
  uint64_t updates = 0;
  std::string sound_dir;
  bool night = false;
  MouseCapture mouse;
  PanelWindow window;
  bool window_from_panel = false;
#if TALVOR_HAVE_RASTER
  std::map<uint32_t, std::unique_ptr<Raster>> bitmaps;  // decoded, by id; never changed once decoded

  // The latest panel picture: recomposed only where an instance's picture changed.
  struct PanelPicture {
    bool valid = false;
    double scale = 0;
    uint32_t background_rgb = 0;
    std::vector<uint64_t> composed;  // the generation of each instance's picture in it
    Raster raster;
  } panel_picture;
#endif

  GAUGEHDR* FindGauge(const std::string& name) const {
    for (GAUGEHDR* g : gauges) {
      if (g->name != nullptr && name == g->name) return g;
    }
    return nullptr;
  }

  std::string NameList() const {
    std::string out;
    for (GAUGEHDR* g : gauges) {
      if (!out.empty()) out += ", ";
      out += "'" + std::string(g->name != nullptr ? g->name : "") + "'";
    }
    return out;
  }

  GaugeInstance& At(int instance) {
    if (instance < 0 || static_cast<size_t>(instance) >= instances.size()) {
      throw std::out_of_range("no gauge instance " + std::to_string(instance) + " (the panel has " +
                              std::to_string(instances.size()) + ")");
    }
    return instances[static_cast<size_t>(instance)];
  }
  const GaugeInstance& At(int instance) const { return const_cast<Impl*>(this)->At(instance); }

  void Service(GaugeInstance& g, int32_t id) {
    if (g.header->callback != nullptr) g.header->callback(g.header, id, 0);
  }

  void Refresh(MODULE_VAR& var) {
    if (var.id != 0) var.value = state.Get(var.id);
  }

  // abi.md step 3 for one element: refresh the sources, ask the callback.
  void UpdateElement(ELEMENT_HEADER* e, ElementState& st) {
    switch (e->kind) {
      case kElementIcon: {
        auto* icon = reinterpret_cast<ELEMENT_ICON*>(e);
        Refresh(icon->source);
        st.value = icon->callback != nullptr ? icon->callback(e) : icon->source.value;
        break;
      }
      case kElementNeedle: {
        auto* needle = reinterpret_cast<ELEMENT_NEEDLE*>(e);
        Refresh(needle->source);
        st.value = needle->callback != nullptr ? needle->callback(e) : needle->source.value;
        break;
      }
      case kElementString: {
        auto* str = reinterpret_cast<ELEMENT_STRING*>(e);
        for (MODULE_VAR& v : str->sources) Refresh(v);
        st.value = str->callback != nullptr ? str->callback(e) : str->sources[0].value;
        break;
      }
      case kElementSlider: {
        auto* slider = reinterpret_cast<ELEMENT_SLIDER*>(e);
        Refresh(slider->source_x);
        Refresh(slider->source_y);
        st.value_x = slider->callback_x != nullptr ? slider->callback_x(e) : slider->source_x.value;
        st.value = slider->callback_y != nullptr ? slider->callback_y(e) : slider->source_y.value;
        break;
      }
      default:
        break;
    }
  }

  // abi.md step 4 for one element: failures, frame, angle, position.
  void ResolveElement(ELEMENT_HEADER* e, ElementState& st) {
    st.failure_action = FailureAction(e->failures, [this](uint32_t key) { return failures.count(key) != 0; });
    const bool zero = st.failure_action == kFailActionZero;
    st.drawn = st.failure_action != kFailActionHide;
    st.frame.reset();
    st.x = e->position.x;
    st.y = e->position.y;
    st.angle = 0;
    const double value = zero ? 0.0 : st.value;
    switch (e->kind) {
      case kElementIcon: {
        const auto* icon = reinterpret_cast<const ELEMENT_ICON*>(e);
        if (st.drawn) st.frame = IconFrame(value, icon->frame_count);
        st.drawn = st.frame.has_value();
        break;
      }
      case kElementNeedle: {
        auto* needle = reinterpret_cast<ELEMENT_NEEDLE*>(e);
        st.angle = NeedleAngle(needle->table, needle->table_size, e->position, value);
        break;
      }
      case kElementSlider: {
        const auto* slider = reinterpret_cast<const ELEMENT_SLIDER*>(e);
        const double vx = zero ? 0.0 : st.value_x;
        st.x = e->position.x + vx * slider->scale_x;
        st.y = e->position.y + value * slider->scale_y;
        // A slider with nowhere to go is not drawn.
        if (!std::isfinite(st.x) || !std::isfinite(st.y)) st.drawn = false;
        break;
      }
      default:
        break;
    }
  }

  void DeliverRepeat() {
    if (!mouse.down || mouse.area == nullptr || (mouse.area->flags & kMouseRepeat) == 0) return;
    // The repeat goes to the area found at button-down, at its last point.
    CallArea(kMouseRepeat, last_x, last_y);
  }

  void RunOne() {
    DeliverRepeat();
    for (GaugeInstance& g : instances) {
      Service(g, kServicePreUpdate);
      for (size_t i = 0; i < g.order.size(); ++i) UpdateElement(g.order[i], g.states[i]);
      Service(g, kServicePostUpdate);
      Service(g, kServicePreDraw);
      for (size_t i = 0; i < g.order.size(); ++i) ResolveElement(g.order[i], g.states[i]);
      Service(g, kServicePostDraw);
    }
    state.Tick();
    ++updates;
  }

  int64_t last_x = 0, last_y = 0;  // the pointer in the captured instance's face pixels

  void CallArea(uint32_t flag, int64_t px, int64_t py) {
    if (mouse.area == nullptr || mouse.area->function.mouse == nullptr) return;
    PIXPOINT point{ClampInt32(px - mouse.origin_x), ClampInt32(py - mouse.origin_y)};
    mouse.area->function.mouse(&point, flag);
  }

  static int32_t ClampInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  }

  MouseList MouseListOf(const GaugeInstance& g) const {
    return ReadMouseList(g.header->mouse_rects, g.info.face_width, g.info.face_height);
  }

  void MouseDown(int instance, int x, int y) {
    GaugeInstance& g = At(instance);
    if (mouse.down) MouseUp();
    mouse = MouseCapture{};
    mouse.down = true;
    mouse.instance = instance;
    last_x = x;
    last_y = y;
    const MouseList list = MouseListOf(g);
    const MouseNode* hit = FindChild(list, x, y, kMouseLeftSingle);
    // An area that asks only for repeats or drags still takes the button.
    if (hit == nullptr) hit = FindChild(list, x, y, kMouseRepeat | kMouseLeftDrag);
    if (hit == nullptr) return;
    mouse.area = hit->entry;
    mouse.origin_x = hit->x;
    mouse.origin_y = hit->y;
    if (mouse.area->flags & kMouseLeftSingle) CallArea(kMouseLeftSingle, x, y);
  }

  void MouseMove(int x, int y) {
    if (!mouse.down) return;
    last_x = x;
    last_y = y;
    if (mouse.area != nullptr && (mouse.area->flags & kMouseLeftDrag) != 0) CallArea(kMouseLeftDrag, x, y);
  }

  void MouseUp() { mouse = MouseCapture{}; }

  const Raster* Bitmap(uint32_t id);

#if TALVOR_HAVE_RASTER
  // The instance's picture at `scale`, drawn again only when it changed.
  const GaugePicture& Picture(GaugeInstance& g, double scale);
#endif

  // The host functions reach the session through this pointer: they are
  // plain function pointers without a context argument, so one Session at a
  // time drives a module.
  static Impl* active;
};

Session::Impl* Session::Impl::active = nullptr;

// ---------------------------------------------------------------------------
// The host's function table. Nothing may escape into module code.

namespace {

void HOSTCALL HostLookupVar(MODULE_VAR* var) {
  if (var == nullptr) return;
  Session::Impl* s = Session::Impl::active;
  var->value = s != nullptr ? s->state.Get(var->id) : 0.0;
}

// The GPS record a module binds lives as long as the process. The module
// keeps the pointer until it is unloaded, and it stays loaded past its
// session's end while anything else holds it open; the next session may then
// drive that same module, which reads this record again. Each session
// publishes its host state's record here (one session runs at a time).
void* PublishGpsRecord(HostState& state) {
  alignas(8) static unsigned char record[kGpsRecordSize];
  // The record's bytes whatever its absence (which only the binding asks about).
  std::memcpy(record, state.GpsRecordAt(std::numeric_limits<uint64_t>::max()), sizeof record);
  return record;
}

void HOSTCALL HostInitializeVarByName(MODULE_VAR* var, const char* name) {
  if (var == nullptr) return;
  Session::Impl* s = Session::Impl::active;
  var->var_ptr = nullptr;
  if (s != nullptr && name != nullptr && std::strcmp(name, kGpsDataName) == 0 &&
      s->state.GpsRecordAt(s->updates) != nullptr) {
    var->var_ptr = PublishGpsRecord(s->state);
  }
}

void HOSTCALL HostTriggerKeyEvent(uint32_t event, uint32_t value) {
  Session::Impl* s = Session::Impl::active;
  if (s == nullptr) return;
  try {
    s->events.push_back(SentEvent{event, value, s->updates});
    ApplyEvent(s->state, event, value);
  } catch (...) {
    // Out of memory at worst; the module must not see an exception.
  }
}

int RecordSound(const char* name, uint32_t flags) {
  Session::Impl* s = Session::Impl::active;
  if (s == nullptr) return 0;
  try {
    PlayedSound sound;
    sound.name = name != nullptr ? name : "";
    sound.flags = flags;
    sound.path = ResolveSoundPath(s->sound_dir, sound.name);
    sound.found = !sound.path.empty() && FileExists(sound.path);
    sound.update = s->updates;
    s->sounds.push_back(sound);
    return sound.found ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace

}  // namespace talvor

#if defined(_WIN32)
// Windows: the module imports sndPlaySoundA from WINMM.dll; the loader
// points that import at this function.
extern "C" int __stdcall TalvorSndPlaySound(const char* name, uint32_t flags) {
  return talvor::RecordSound(name, flags);
}
#else
// The module leaves sndPlaySoundA undefined; the program that loads it
// exports this one.
extern "C" __attribute__((visibility("default"))) int sndPlaySoundA(const char* name, uint32_t flags) {
  return talvor::RecordSound(name, flags);
}
#endif

namespace talvor {

// ---------------------------------------------------------------------------

Session::Session(const std::string& module_path) : impl_(std::make_unique<Impl>()) {
  if (Impl::active != nullptr) {
    throw std::runtime_error("another Session is already driving a module; one at a time");
  }
  Impl& s = *impl_;
  PublishGpsRecord(s.state);  // a module still loaded from an earlier session reads this one's
  s.sound_dir = DefaultSoundDir();
  s.panels.size = sizeof(HOST_PANELS);
  s.panels.lookup_var = HostLookupVar;
  s.panels.initialize_var_by_name = HostInitializeVarByName;
  s.panels.trigger_key_event = HostTriggerKeyEvent;

  s.module = std::make_unique<ModuleFile>(module_path);
  auto* imports = static_cast<IMPORT_ENTRY*>(s.module->Symbol("ImportTable"));
  auto* linkage = static_cast<GAUGE_LINKAGE*>(s.module->Symbol("Linkage"));
  if (imports == nullptr || linkage == nullptr) {
    throw std::runtime_error("not a gauge module: " + module_path + " exports no " +
                             (imports == nullptr ? "ImportTable" : "Linkage"));
  }
  for (size_t i = 0; i < kMaxImportEntries && imports[i].id != 0; ++i) {
    if (imports[i].id == kImportHostPanelsId) {
      s.import_entry = &imports[i];
      break;
    }
  }
  if (s.import_entry == nullptr) {
    throw std::runtime_error("not a gauge module: " + module_path + ": ImportTable has no entry " +
                             Hex(kImportHostPanelsId));
  }
  if (linkage->module_id != kLinkageModuleId || linkage->version != kLinkageVersion) {
    throw std::runtime_error("not a gauge module: " + module_path + ": Linkage has module id " +
                             Hex(linkage->module_id) + " and version " + Hex(linkage->version) + " (expected " +
                             Hex(kLinkageModuleId) + " and " + Hex(kLinkageVersion) + ")");
  }
  size_t n = 0;
  while (n < kMaxGauges && linkage->gauges[n] != nullptr) ++n;
  if (n == kMaxGauges) {
    throw std::runtime_error("not a gauge module: " + module_path + ": Linkage's gauge table has no end");
  }
  s.gauges.assign(linkage->gauges, linkage->gauges + n);
  s.linkage = linkage;

  Impl::active = impl_.get();
  s.import_entry->table = &s.panels;
  if (linkage->init != nullptr) linkage->init();
}

Session::~Session() {
  Impl& s = *impl_;
  if (Impl::active == &s) {
    for (GaugeInstance& g : s.instances) {
      s.Service(g, kServicePreKill);
      s.Service(g, kServicePostKill);
    }
    if (s.linkage != nullptr && s.linkage->deinit != nullptr) s.linkage->deinit();
    if (s.import_entry != nullptr) s.import_entry->table = nullptr;
    Impl::active = nullptr;
  }
}

std::string Session::DefaultModulePath() {
  if (const char* env = std::getenv("TALVOR_MODULE"); env != nullptr && *env != '\0') return env;
#ifdef TALVOR_DEFAULT_MODULE
  return TALVOR_DEFAULT_MODULE;
#else
  return ExecutableDir() + "/jovTalvor.so";
#endif
}

std::vector<std::string> Session::GaugeNames() const {
  std::vector<std::string> out;
  for (GAUGEHDR* g : impl_->gauges) out.emplace_back(g->name != nullptr ? g->name : "");
  return out;
}

const GAUGEHDR* Session::GaugeHeader(const std::string& name) const {
  GAUGEHDR* g = impl_->FindGauge(name);
  if (g == nullptr) {
    throw std::invalid_argument("no gauge '" + name + "' in the module; it has " + impl_->NameList());
  }
  return g;
}

int Session::AddGauge(const std::string& name, int x, int y, int w, int h) {
  Impl& s = *impl_;
  GAUGEHDR* header = s.FindGauge(name);
  if (header == nullptr) {
    throw std::invalid_argument("no gauge '" + name + "' in the module; it has " + s.NameList());
  }
  if (w < 0 || h < 0) throw std::invalid_argument("gauge '" + name + "': negative size");
  // Extents, scaling and hit tests add and multiply panel coordinates in int:
  // keeping them within 2^24 keeps every such sum defined.
  constexpr int kMaxPanelPixels = 1 << 24;
  const auto beyond = [](int v) { return v < -kMaxPanelPixels || v > kMaxPanelPixels; };
  if (beyond(x) || beyond(y)) {
    throw std::invalid_argument("gauge '" + name + "' at (" + std::to_string(x) + ", " + std::to_string(y) +
                                "): panel positions are limited to " + std::to_string(kMaxPanelPixels) + " pixels");
  }
  GaugeInstance g;
  g.header = header;
  g.name = name;
  g.order = DrawingOrder(header->elements != nullptr ? *header->elements : nullptr, name);

  // Every bitmap the elements name must be shipped, the root's first: its
  // size is the gauge's face.
  for (ELEMENT_HEADER* e : g.order) {
    if (e->kind == kElementString) continue;
    uint32_t frames = 1;
    if (e->kind == kElementIcon) frames = std::min<uint32_t>(reinterpret_cast<ELEMENT_ICON*>(e)->frame_count, 4096);
    for (uint32_t f = 0; f < frames; ++f) {
      const uint32_t id = e->bitmap_id + f;
      if (!s.module->HasBitmap(id)) {
        throw std::runtime_error("gauge '" + name + "' names bitmap " + Hex(id) + ", which is not shipped in " +
                                 s.module->BitmapSource());
      }
    }
  }
  ELEMENT_HEADER* root = g.order.front();
  if (root->kind == kElementString) throw std::runtime_error("gauge '" + name + "': its root has no bitmap");
  const BitmapBytes face = s.module->ReadBitmap(root->bitmap_id);
  if (!BitmapSize(face, &g.info.face_width, &g.info.face_height)) {
    throw std::runtime_error("bitmap " + Hex(root->bitmap_id) + " (the face of '" + name + "', " +
                             BitmapHexName(root->bitmap_id) + ".bmp in " + s.module->BitmapSource() +
                             ") does not decode: no valid bitmap header");
  }
  g.info.gauge = name;
  g.info.x = x;
  g.info.y = y;
  g.info.width = w > 0 ? w : static_cast<int>(header->width_mm);
  if (g.info.width <= 0) g.info.width = g.info.face_width;
  g.info.height = h > 0 ? h
                        : std::max(1, static_cast<int>(std::lround(std::min<double>(
                                          static_cast<double>(g.info.width) * g.info.face_height / g.info.face_width,
                                          kMaxPanelPixels))));
  // No picture is drawn larger than this a side: a gauge that could never be
  // drawn is refused here, where its panel line is still known.
  constexpr int kMaxGaugePixels = 16384;
  if (g.info.width > kMaxGaugePixels || g.info.height > kMaxGaugePixels) {
    throw std::invalid_argument("gauge '" + name + "' sized " + std::to_string(g.info.width) + "x" +
                                std::to_string(g.info.height) + ": a gauge is drawn at most " +
                                std::to_string(kMaxGaugePixels) + " pixels a side");
  }
  g.states.resize(g.order.size());
  for (size_t i = 0; i < g.order.size(); ++i) {
    g.states[i].kind = g.order[i]->kind;
    g.states[i].bitmap_id = g.order[i]->bitmap_id;
  }

  s.instances.push_back(std::move(g));
  GaugeInstance& added = s.instances.back();
  for (int32_t service : {kServicePreInstall, kServicePostInstall, kServicePreInitialize, kServicePostInitialize}) {
    s.Service(added, service);
  }
  return static_cast<int>(s.instances.size()) - 1;
}

void Session::LoadPanel(const std::string& panel_path) {
  const PanelConfig config = ReadPanelConfig(panel_path);
  for (const std::string& w : config.warnings) std::cerr << "talvor-panel: warning: " << w << "\n";
  const PanelWindowConfig& main = config.MainWindow();
  const std::string loaded = LowerCase(FileStem(impl_->module->path()));
  for (const PanelGauge& pg : main.gauges) {
    if (LowerCase(pg.module) != loaded) {
      throw PanelError(panel_path + ":" + std::to_string(pg.line) + ": gauge of module '" + pg.module +
                       "', but this session loaded " + impl_->module->path());
    }
  }
  for (const PanelGauge& pg : main.gauges) {
    try {
      AddGauge(pg.gauge, pg.x, pg.y, pg.width, pg.height);
    } catch (const std::invalid_argument& e) {
      throw PanelError(panel_path + ":" + std::to_string(pg.line) + ": " + e.what());
    }
  }
  impl_->window.title = main.title;
  impl_->window.width = main.width;
  impl_->window.height = main.height;
  impl_->window.background_rgb = main.background_rgb;
  impl_->window_from_panel = true;
}

int Session::Instance(const std::string& gauge) const {
  for (size_t i = 0; i < impl_->instances.size(); ++i) {
    if (impl_->instances[i].name == gauge) return static_cast<int>(i);
  }
  std::string have;
  for (const GaugeInstance& g : impl_->instances) have += (have.empty() ? "'" : ", '") + g.name + "'";
  throw std::invalid_argument("no instance of gauge '" + gauge + "' on the panel" +
                              (have.empty() ? std::string(" (it is empty)") : "; it has " + have));
}

int Session::InstanceCount() const { return static_cast<int>(impl_->instances.size()); }
InstanceInfo Session::Info(int instance) const { return impl_->At(instance).info; }

PanelWindow Session::Window() const {
  PanelWindow w = impl_->window;
  if (w.width <= 0 || w.height <= 0) {
    int right = 0, bottom = 0;
    for (const GaugeInstance& g : impl_->instances) {
      right = std::max(right, g.info.x + g.info.width);
      bottom = std::max(bottom, g.info.y + g.info.height);
    }
    if (w.width <= 0) w.width = std::max(1, right);
    if (w.height <= 0) w.height = std::max(1, bottom);
  }
  return w;
}

void Session::Set(uint32_t token, double value) { impl_->state.Set(token, value); }
double Session::Get(uint32_t token) const { return impl_->state.Get(token); }

void Session::SetFailure(uint32_t key, bool on) {
  if (key == 0) throw std::invalid_argument("failure key 0 ends a failure list; it names no failure");
  if (on) {
    impl_->failures.insert(key);
  } else {
    impl_->failures.erase(key);
  }
}
bool Session::FailureHolds(uint32_t key) const { return impl_->failures.count(key) != 0; }

void Session::SetTime(int hours, int minutes, int seconds, double utc_offset_hours) {
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
    throw std::invalid_argument("time of day out of range: " + std::to_string(hours) + ":" +
                                std::to_string(minutes) + ":" + std::to_string(seconds));
  }
  impl_->state.SetClock(hours * 3600 + minutes * 60 + seconds, utc_offset_hours);
}
void Session::SetGroundSpeed(double metres_per_second) {
  impl_->state.SetGroundSpeed(metres_per_second);
  PublishGpsRecord(impl_->state);
}
double Session::GroundSpeed() const { return impl_->state.GroundSpeed(); }
void Session::SetGpsAbsentUntil(uint64_t update) { impl_->state.SetGpsAbsentUntil(update); }
void Session::SetGpsSizeField(uint32_t size) {
  impl_->state.SetGpsSizeField(size);
  PublishGpsRecord(impl_->state);
}

std::string Session::DefaultSoundDir() {
  if (const char* env = std::getenv("TALVOR_SOUND_DIR"); env != nullptr && *env != '\0') return env;
  return ExecutableDir() + "/Sound";
}
void Session::SetSoundDir(const std::string& dir) { impl_->sound_dir = dir; }
std::string Session::SoundDir() const { return impl_->sound_dir; }

void Session::Run(int n) {
  if (n < 0) throw std::invalid_argument("Run: negative number of updates");
  for (int i = 0; i < n; ++i) impl_->RunOne();
}
uint64_t Session::UpdateCount() const { return impl_->updates; }

ElementState Session::Element(int instance, int index) const {
  const GaugeInstance& g = impl_->At(instance);
  if (index < 1 || static_cast<size_t>(index) > g.states.size()) {
    throw std::out_of_range("gauge '" + g.name + "' has elements 1.." + std::to_string(g.states.size()) +
                            ", not " + std::to_string(index));
  }
  return g.states[static_cast<size_t>(index) - 1];
}
ElementState Session::Element(const std::string& gauge, int index) const { return Element(Instance(gauge), index); }
int Session::ElementCount(int instance) const { return static_cast<int>(impl_->At(instance).states.size()); }
int Session::ElementCount(const std::string& gauge) const { return ElementCount(Instance(gauge)); }

void Session::MouseDown(int instance, int x, int y) { impl_->MouseDown(instance, x, y); }
void Session::MouseMove(int x, int y) { impl_->MouseMove(x, y); }
void Session::MouseUp() { impl_->MouseUp(); }
bool Session::MouseIsDown() const { return impl_->mouse.down; }

void Session::Click(const std::string& gauge, int x, int y) {
  MouseDown(Instance(gauge), x, y);
  MouseUp();
}

void Session::Hold(const std::string& gauge, int x, int y, int n) {
  if (n < 0) throw std::invalid_argument("Hold: negative number of updates");
  MouseDown(Instance(gauge), x, y);
  Run(n);
  MouseUp();
}

void Session::Drag(const std::string& gauge, int x1, int y1, int x2, int y2, int steps) {
  if (steps < 0) throw std::invalid_argument("Drag: negative number of steps");
  MouseDown(Instance(gauge), x1, y1);
  for (int i = 1; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    // In double: x2 - x1 overflows int for points at opposite ends of its range.
    const auto along = [t](int a, int b) { return static_cast<int>(std::lround(a + (static_cast<double>(b) - a) * t)); };
    MouseMove(along(x1, x2), along(y1, y2));
  }
  MouseUp();
}

std::string Session::TooltipAt(int instance, int x, int y) {
  Impl& s = *impl_;
  GaugeInstance& g = s.At(instance);
  const RestTarget target = FindRestTarget(s.MouseListOf(g), x, y);
  if (target.tooltip == nullptr) return target.help_id != 0 ? HelpText(target.help_id) : "";
  const char* text = target.tooltip->function.tooltip;
  std::vector<double> numbers;
  auto* args = static_cast<MOUSE_ARG*>(target.tooltip->data);
  for (size_t i = 0; args != nullptr && i < kMaxTooltipArgs; ++i) {
    MOUSE_ARG& arg = args[i];
    if (arg.source.id == 0 && arg.callback == nullptr) break;
    double number = 0.0;
    if (arg.source.id != 0) {
      HostLookupVar(&arg.source);
      number = arg.source.value;
    }
    if (arg.callback != nullptr) number = arg.callback(number, arg.source.id, text, &arg.source, g.header);
    numbers.push_back(number);
  }
  return FormatTooltip(text, numbers);
}
std::string Session::TooltipAt(const std::string& gauge, int x, int y) { return TooltipAt(Instance(gauge), x, y); }

int Session::CursorAt(int instance, int x, int y) const {
  const GaugeInstance& g = impl_->At(instance);
  const MouseList list = impl_->MouseListOf(g);
  const MouseNode* hit = FindChild(list, x, y, 0);
  return hit != nullptr ? hit->entry->cursor : kCursorNone;
}
int Session::CursorAt(const std::string& gauge, int x, int y) const { return CursorAt(Instance(gauge), x, y); }

std::vector<SentEvent> Session::TakeEvents() { return std::exchange(impl_->events, {}); }
std::vector<PlayedSound> Session::TakeSounds() { return std::exchange(impl_->sounds, {}); }

void Session::SetNight(bool night) { impl_->night = night; }
bool Session::Night() const { return impl_->night; }

// ---------------------------------------------------------------------------
// Pictures.

#if TALVOR_HAVE_RASTER

const Raster* Session::Impl::Bitmap(uint32_t id) {
  auto it = bitmaps.find(id);
  if (it != bitmaps.end()) return it->second.get();
  const BitmapBytes bytes = module->ReadBitmap(id);
  auto raster = std::make_unique<Raster>();
  try {
    *raster = bytes.has_file_header ? DecodeBmp(bytes.data.data(), bytes.data.size())
                                    : DecodeDib(bytes.data.data(), bytes.data.size());
  } catch (const std::exception& e) {
    throw std::runtime_error("bitmap " + Hex(id) + " (" + BitmapHexName(id) + ".bmp in " + module->BitmapSource() +
                             ") does not decode: " + e.what());
  }
  return bitmaps.emplace(id, std::move(raster)).first->second.get();
}

namespace {

bool SameItems(const std::vector<DrawItem>& a, const std::vector<DrawItem>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    // Bitmaps are compared by address: a decoded bitmap never changes.
    if (a[i].bitmap != b[i].bitmap || a[i].kind != b[i].kind || a[i].x != b[i].x || a[i].y != b[i].y ||
        a[i].pivot_x != b[i].pivot_x || a[i].pivot_y != b[i].pivot_y || a[i].angle_radians != b[i].angle_radians ||
        a[i].image_flags != b[i].image_flags) {
      return false;
    }
  }
  return true;
}

// Pixels x0 <= x < x1, y0 <= y < y1 of an RGBA raster set to an opaque 0xRRGGBB.
void FillRect(Raster& r, int x0, int y0, int x1, int y1, uint32_t rgb) {
  const uint8_t pixel[4] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                            static_cast<uint8_t>(rgb), 255};
  uint8_t* first = &r.rgba[(size_t(y0) * size_t(r.width) + size_t(x0)) * 4];
  const size_t row = size_t(x1 - x0) * 4;
  for (size_t i = 0; i < row; i += 4) std::memcpy(first + i, pixel, 4);
  for (int y = y0 + 1; y < y1; ++y) std::memcpy(&r.rgba[(size_t(y) * size_t(r.width) + size_t(x0)) * 4], first, row);
}

}  // namespace

const GaugePicture& Session::Impl::Picture(GaugeInstance& g, double scale) {
  std::vector<DrawItem> items;
  for (size_t i = 0; i < g.order.size(); ++i) {
    const ELEMENT_HEADER* e = g.order[i];
    const ElementState& st = g.states[i];
    if (!st.drawn || e->kind == kElementString) continue;
    DrawItem item;
    item.kind = e->kind;
    item.image_flags = e->image_flags;
    item.x = st.x;
    item.y = st.y;
    uint32_t id = e->bitmap_id;
    if (e->kind == kElementIcon) {
      if (!st.frame) continue;
      id += static_cast<uint32_t>(*st.frame);
    }
    if (e->kind == kElementNeedle) {
      item.pivot_x = e->offset.x;
      item.pivot_y = e->offset.y;
      item.angle_radians = st.angle;
    }
    item.bitmap = Bitmap(id);
    items.push_back(item);
  }
  const int out_w = std::max(1, static_cast<int>(std::lround(g.info.width * scale)));
  const int out_h = std::max(1, static_cast<int>(std::lround(g.info.height * scale)));
  GaugePicture& p = g.picture;
  if (p.valid && p.night == night && p.raster.width == out_w && p.raster.height == out_h && SameItems(p.items, items)) {
    return p;
  }
  p.valid = false;  // until the new picture is whole
  p.raster = DrawGauge(g.info.face_width, g.info.face_height, items, out_w, out_h, night);
  p.items = std::move(items);
  p.night = night;
  ++p.generation;
  p.valid = true;
  return p;
}

Raster Session::RenderInstance(int instance, double scale) {
  if (!(scale > 0.0) || scale > 16.0) throw std::invalid_argument("scale must be above 0 and at most 16");
  return impl_->Picture(impl_->At(instance), scale).raster;
}

Raster Session::RenderGauge(const std::string& gauge, double scale) { return RenderInstance(Instance(gauge), scale); }

Raster Session::RenderPanel(double scale) {
  if (!(scale > 0.0) || scale > 16.0) throw std::invalid_argument("scale must be above 0 and at most 16");
  Impl& s = *impl_;
  const PanelWindow w = Window();
  const int width = std::max(1, static_cast<int>(std::lround(w.width * scale)));
  const int height = std::max(1, static_cast<int>(std::lround(w.height * scale)));
  Impl::PanelPicture& panel = s.panel_picture;
  const bool whole = !panel.valid || panel.raster.width != width || panel.raster.height != height ||
                     panel.scale != scale || panel.background_rgb != w.background_rgb ||
                     panel.composed.size() != s.instances.size();
  panel.valid = false;  // until it is whole again, should a gauge fail to draw
  panel.composed.resize(s.instances.size());

  struct Placed {
    const Raster* picture;
    int x, y;
    bool redrawn;  // since the panel was last composed
  };
  std::vector<Placed> placed;
  for (size_t i = 0; i < s.instances.size(); ++i) {
    GaugeInstance& g = s.instances[i];
    const GaugePicture& picture = s.Picture(g, scale);
    placed.push_back({&picture.raster, static_cast<int>(std::lround(g.info.x * scale)),
                      static_cast<int>(std::lround(g.info.y * scale)), picture.generation != panel.composed[i]});
    panel.composed[i] = picture.generation;
  }
  if (whole) {
    panel.raster = SolidRaster(width, height, w.background_rgb);
    for (const Placed& p : placed) BlitOver(panel.raster, *p.picture, p.x, p.y);
  } else {
    // Where a picture changed: the background, then every instance that
    // reaches there, in panel order.
    for (const Placed& d : placed) {
      if (!d.redrawn) continue;
      const int x0 = std::max(0, d.x), y0 = std::max(0, d.y);
      const int x1 = static_cast<int>(std::min<int64_t>(width, int64_t(d.x) + d.picture->width));
      const int y1 = static_cast<int>(std::min<int64_t>(height, int64_t(d.y) + d.picture->height));
      if (x0 >= x1 || y0 >= y1) continue;
      FillRect(panel.raster, x0, y0, x1, y1, w.background_rgb);
      for (const Placed& p : placed) BlitOver(panel.raster, *p.picture, p.x, p.y, x0, y0, x1 - x0, y1 - y0);
    }
  }
  panel.scale = scale;
  panel.background_rgb = w.background_rgb;
  panel.valid = true;
  return panel.raster;
}

#else

namespace {
[[noreturn]] void NoRaster() { throw std::runtime_error("pictures are not available in this build"); }
}  // namespace

Raster Session::RenderInstance(int, double) { NoRaster(); }
Raster Session::RenderGauge(const std::string&, double) { NoRaster(); }
Raster Session::RenderPanel(double) { NoRaster(); }
void WritePng(const Raster&, const std::string&) { NoRaster(); }

#endif

}  // namespace talvor

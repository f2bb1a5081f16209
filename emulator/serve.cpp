#include "emulator/serve.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "emulator/mouse.h"
#include "emulator/raster.h"
#include "emulator/web/assets.h"
#include "host/catalogue.h"
#include "host/records.h"

namespace talvor {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kUpdateHz = 18.0;
// Knots to the GPS record's metres per second. The hair above the exact
// factor makes a whole number of knots read back whole, not one less, where
// it is truncated.
double KnotsToMps(double knots) { return knots / 1.943844 * (1 + 1e-12); }
constexpr auto kCommandTimeout = std::chrono::seconds(5);
constexpr int kDefaultWaitMs = 20000;
constexpr int kMaxWaitMs = 30000;
constexpr size_t kLogKept = 500;
constexpr int kMaxStep = 18 * 60;
// Drags may leave the gauge, but not without bound.
constexpr double kMaxCoordinate = 100000;
constexpr size_t kMaxElements = 4096;
constexpr size_t kMaxSoundBytes = 16 << 20;

const uint32_t kFailureKeys[] = {2, 3, 6, 20, 21};
const char* FailureName(uint32_t key) {
  switch (key) {
    case 2: return "engine";
    case 3: return "pitot-static system";
    case 6: return "airspeed indicator";
    case 20: return "electrical panel";
    case 21: return "avionics";
  }
  return "";
}

HttpResponse Json(int status, const json& body) {
  HttpResponse r;
  r.status = status;
  r.body = body.dump(-1, ' ', false, json::error_handler_t::replace);
  return r;
}

HttpResponse Error(int status, const std::string& message) { return Json(status, {{"error", message}}); }

HttpResponse Ok() { return Json(200, {{"ok", true}}); }

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    for (int k = 3; k >= 0; --k) out.push_back(kDigits[(v >> (6 * k)) & 63]);
  }
  if (i < bytes.size()) {
    uint32_t v = uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint32_t(bytes[i + 1]) << 8;
    out.push_back(kDigits[(v >> 18) & 63]);
    out.push_back(kDigits[(v >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

// A request body as a JSON object, or the error to answer.
bool ParseObject(const HttpRequest& r, json& out, HttpResponse& error) {
  if (r.body.size() > kMaxRequestBody) {
    error = Error(413, "request body too large (limit " + std::to_string(kMaxRequestBody) + " bytes)");
    return false;
  }
  out = json::parse(r.body, nullptr, /*allow_exceptions=*/false);
  if (out.is_discarded()) {
    error = Error(400, "malformed JSON body");
    return false;
  }
  if (!out.is_object()) {
    error = Error(400, "the body must be a JSON object");
    return false;
  }
  return true;
}

// A finite number field, or the error to answer.
bool NumberField(const json& body, const char* name, double lo, double hi, double& out, HttpResponse& error) {
  auto it = body.find(name);
  if (it == body.end() || !it->is_number()) {
    error = Error(400, std::string("'") + name + "' must be a number");
    return false;
  }
  out = it->get<double>();
  if (!std::isfinite(out) || out < lo || out > hi) {
    std::ostringstream m;
    m << "'" << name << "' must be from " << lo << " to " << hi;
    error = Error(400, m.str());
    return false;
  }
  return true;
}

bool BoolField(const json& body, const char* name, bool& out, HttpResponse& error) {
  auto it = body.find(name);
  if (it == body.end() || !it->is_boolean()) {
    error = Error(400, std::string("'") + name + "' must be true or false");
    return false;
  }
  out = it->get<bool>();
  return true;
}

// A whole number from a query parameter: an optional sign and up to 9 digits.
bool QueryInt(const HttpRequest& r, const char* name, int& out, HttpResponse& error) {
  auto it = r.query.find(name);
  if (it == r.query.end()) {
    error = Error(400, std::string("missing parameter '") + name + "'");
    return false;
  }
  const std::string& s = it->second;
  size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (s.size() == start || s.size() - start > 9 ||
      !std::all_of(s.begin() + static_cast<std::ptrdiff_t>(start), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    error = Error(400, std::string("parameter '") + name + "' must be a whole number");
    return false;
  }
  out = std::stoi(s);
  return true;
}

const char* EventName(uint32_t event) {
  switch (event) {
#define TALVOR_EVENT_CASE(name, number) \
  case number: return #name;
    TALVOR_HOST_EVENTS(TALVOR_EVENT_CASE)
#undef TALVOR_EVENT_CASE
  }
  return "";
}

// A catalogue name ("VarAltitudeMeters") or a token number ("73").
bool TokenByName(const std::string& key, uint32_t& token) {
#define TALVOR_VAR_MATCH(name, number) \
  if (key == #name) {                  \
    token = number;                    \
    return true;                       \
  }
  TALVOR_HOST_VARS(TALVOR_VAR_MATCH)
#undef TALVOR_VAR_MATCH
  if (!key.empty() && key.size() <= 9 && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    token = static_cast<uint32_t>(std::stoul(key));
    return token != 0;
  }
  return false;
}

bool IsClockToken(uint32_t token) { return token >= VarClockHour && token <= VarZuluMinute; }

// The elements of a gauge in drawing order, as the host walks them.
std::vector<const ELEMENT_HEADER*> DrawingOrder(const GAUGEHDR* gauge) {
  std::vector<const ELEMENT_HEADER*> order;
  if (!gauge || !gauge->elements || !*gauge->elements) return order;
  std::vector<const ELEMENT_HEADER*> stack{*gauge->elements};
  while (!stack.empty() && order.size() < kMaxElements) {
    const ELEMENT_HEADER* e = stack.back();
    stack.pop_back();
    order.push_back(e);
    if (!e->next_elements) continue;
    std::vector<const ELEMENT_HEADER*> next;
    for (ELEMENT_HEADER* const* p = e->next_elements; *p && next.size() < kMaxElements; ++p) next.push_back(*p);
    stack.insert(stack.end(), next.rbegin(), next.rend());
  }
  return order;
}

std::vector<std::pair<uint32_t, uint32_t>> FailureList(const FAILURE_RECORD* list) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (size_t i = 0; list && list[i].key != 0 && i < 64; ++i) out.emplace_back(list[i].key, list[i].action);
  return out;
}

std::string RandomId() {
  std::random_device rd;
  std::ostringstream s;
  s << std::hex << rd() << rd();
  return s.str();
}

}  // namespace

// What the simulation thread last published for the pages.
struct Previewer::Published {
  std::mutex mutex;
  std::condition_variable cv;
  bool stopping = false;
  uint64_t version = 0;
  uint64_t update = 0;
  bool paused = false;
  bool night = false;
  double scale = 1.0;
  struct Gauge {
    uint64_t version = 0;
    std::string png;  // base64
  };
  std::vector<Gauge> gauges;
  json values = json::object();
  std::vector<uint32_t> failures;
  std::deque<json> log;  // each with "seq", the version it came with
  std::vector<json> elements;  // per instance
  std::map<std::string, std::string> sounds;  // played names -> files found
  json panel;  // the static description of /api/panel
  // Rate measurement.
  std::deque<Clock::time_point> tick_times;
  double tick_ms_total = 0;
  uint64_t ticks = 0;
};

// Side-panel controls: what the page shows and may set.
struct Previewer::Control {
  std::string key, label, unit, kind;  // kind: number, toggle, select, time, output
  double min = 0, max = 0, step = 0;
  std::vector<std::pair<std::string, std::string>> options;
  std::function<json(Previewer&)> get;
  // Applies a validated value (simulation side).
  std::function<void(Previewer&, const json&)> set;
};

class Previewer::SessionVars : public VariableStore {
 public:
  explicit SessionVars(Session& s) : s_(s) {}
  double Get(uint32_t token) const override { return s_.Get(token); }
  void Set(uint32_t token, double value) override { s_.Set(token, value); }

 private:
  Session& s_;
};

const std::vector<Previewer::Control>& Previewer::Controls() {
  auto token = [](uint32_t t, double scale = 1.0) {
    return std::make_pair(std::function<json(Previewer&)>([t, scale](Previewer& p) { return p.session_->Get(t) * scale; }),
                          std::function<void(Previewer&, const json&)>([t, scale](Previewer& p, const json& v) {
                            p.session_->Set(t, v.get<double>() / scale);
                          }));
  };
  auto number = [](std::string key, std::string label, std::string unit, double min, double max, double step,
                   std::pair<std::function<json(Previewer&)>, std::function<void(Previewer&, const json&)>> io) {
    Control c;
    c.key = std::move(key), c.label = std::move(label), c.unit = std::move(unit), c.kind = "number";
    c.min = min, c.max = max, c.step = step;
    c.get = io.first, c.set = io.second;
    return c;
  };
  static const std::vector<Control> controls = [&] {
    std::vector<Control> c;
    {
      Control t;
      t.key = "avionics-master", t.label = "Avionics master", t.kind = "toggle";
      t.get = [](Previewer& p) { return p.session_->Get(VarAvionicsMaster) != 0; };
      t.set = [](Previewer& p, const json& v) { p.session_->Set(VarAvionicsMaster, v.get<bool>() ? 1.0 : 0.0); };
      c.push_back(t);
    }
    c.push_back(number("altitude-ft", "Altitude", "ft", -1000, 60000, 100, token(VarAltitudeMeters, kFeetPerMetre)));
    c.push_back(number("airspeed-kt", "Airspeed", "kt", 0, 400, 1, token(VarAirspeed)));
    c.push_back(number("throttle", "Throttle", "0..16383", 0, 16383, 1, token(VarThrottleLever)));
    c.push_back(number("ground-speed-kt", "Ground speed", "kt", 0, 600, 1,
                       {[](Previewer& p) { return json(p.model_.ground_speed_kt()); },
                        [](Previewer& p, const json& v) {
                          p.model_.set_ground_speed_kt(*p.vars_, v.get<double>());
                          p.session_->SetGroundSpeed(KnotsToMps(p.model_.ground_speed_kt()));
                        }}));
    c.push_back(number("vertical-speed-fpm", "Vertical speed", "ft/min", -6000, 6000, 100,
                       {[](Previewer& p) { return json(p.model_.vertical_speed_fpm()); },
                        [](Previewer& p, const json& v) { p.model_.set_manual_vertical_speed_fpm(v.get<double>()); }}));
    {
      Control t;
      t.key = "on-ground", t.label = "On ground", t.kind = "toggle";
      t.get = [](Previewer& p) { return p.session_->Get(VarOnGround) != 0; };
      // Putting the aircraft down puts it on the field; lifting it off puts
      // it 1000 ft above.
      t.set = [](Previewer& p, const json& v) {
        const double field_ft = p.model_.settings().field_elevation_ft;
        const bool down = v.get<bool>();
        p.model_.set_manual_vertical_speed_fpm(0);
        p.session_->Set(VarAltitudeMeters, (field_ft + (down ? 0 : 1000)) / kFeetPerMetre);
        p.session_->Set(VarOnGround, down ? 1 : 0);
      };
      c.push_back(t);
    }
    c.push_back(number("bus-voltage", "Bus voltage", "V", 0, 40, 0.1, token(VarBusVoltage)));
    // The host's temperature is degrees Celsius / 256.
    c.push_back(number("oat-c", "Outside air temp.", "°C", -80, 60, 1, token(VarOutsideAirTemp, 256.0)));
    {
      Control t;
      t.key = "marker-beacon", t.label = "Marker beacon", t.kind = "select";
      t.options = {{"0", "none"}, {"1", "outer"}, {"2", "middle"}, {"3", "inner"}};
      t.min = 0, t.max = 3, t.step = 1;
      t.get = [](Previewer& p) { return p.session_->Get(VarMarkerBeacon); };
      t.set = [](Previewer& p, const json& v) { p.session_->Set(VarMarkerBeacon, v.get<double>()); };
      c.push_back(t);
    }
    c.push_back(number("sim-rate", "Simulation rate", "×", 0, 128, 0.25, token(VarSimRate)));
    {
      Control t;
      t.key = "time", t.label = "Local time", t.kind = "time";
      t.get = [](Previewer& p) {
        char buf[16];
        auto whole = [&](uint32_t token) { return static_cast<int>(std::floor(p.session_->Get(token))); };
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", whole(VarClockHour) % 100, whole(VarClockMinute) % 100,
                      whole(VarClockSecond) % 100);
        return json(buf);
      };
      t.set = [](Previewer& p, const json& v) {
        const std::string s = v.get<std::string>();
        // Keep the UTC offset the clocks have.
        auto minutes = [&](uint32_t h, uint32_t m) {
          return static_cast<int>(std::floor(p.session_->Get(h))) * 60 + static_cast<int>(std::floor(p.session_->Get(m)));
        };
        const int offset = ((minutes(VarClockHour, VarClockMinute) - minutes(VarZuluHour, VarZuluMinute)) % 1440 + 1440) % 1440;
        p.session_->SetTime(std::stoi(s.substr(0, 2)), std::stoi(s.substr(3, 2)), std::stoi(s.substr(6, 2)),
                            offset > 720 ? (offset - 1440) / 60.0 : offset / 60.0);
      };
      c.push_back(t);
    }
    {
      Control t;
      t.key = "update", t.label = "Update", t.kind = "output";
      t.get = [](Previewer& p) { return json(p.session_->UpdateCount()); };
      c.push_back(t);
    }
    return c;
  }();
  return controls;
}

// ---- life cycle --------------------------------------------------------------

Previewer::Previewer(std::unique_ptr<Session> session, PreviewOptions options)
    : session_(std::move(session)), options_(std::move(options)), model_(options_.model), pub_(std::make_unique<Published>()) {
  if (!session_) throw std::invalid_argument("the previewer needs a session");
  vars_ = std::make_unique<SessionVars>(*session_);
  boot_ = RandomId();
  if (!options_.sound_dir.empty()) session_->SetSoundDir(options_.sound_dir);
  if (options_.start_airborne) {
    // Cruise: the throttle for about 110 kt, and the speed it settles at.
    const double throttle = std::round(16383 * 110 / model_.settings().max_airspeed_kt);
    session_->Set(VarAltitudeMeters, 3000 / kFeetPerMetre);
    session_->Set(VarThrottleLever, throttle);
    session_->Set(VarAirspeed, model_.settings().max_airspeed_kt * throttle / 16383);
  }
  model_.set_ground_speed_kt(*vars_, session_->Get(VarAirspeed));

  // The panel as the pages see it; fixed from here on.
  const int n = session_->InstanceCount();
  json gauges = json::array();
  int extent_w = 0, extent_h = 0;
  for (int i = 0; i < n; ++i) {
    const InstanceInfo info = session_->Info(i);
    infos_.push_back(info);
    extent_w = std::max(extent_w, info.x + info.width);
    extent_h = std::max(extent_h, info.y + info.height);
    const GAUGEHDR* header = session_->GaugeHeader(info.gauge);

    std::vector<ElementRecord> records;
    for (const ELEMENT_HEADER* e : DrawingOrder(header)) records.push_back({e->image_flags, FailureList(e->failures)});
    element_records_.push_back(std::move(records));

    json areas = json::array();
    const MouseList list = ReadMouseList(header->mouse_rects, info.face_width, info.face_height);
    for (const MouseNode& node : list.nodes) {
      json a = {{"type", node.entry->type},
                {"box", {node.x, node.y, node.w, node.h}},
                {"depth", node.depth},
                {"cursor", node.entry->cursor},
                {"help_id", node.entry->help_id},
                {"flags", node.entry->flags}};
      if (node.tooltip && node.tooltip->function.tooltip) a["tooltip"] = node.tooltip->function.tooltip;
      areas.push_back(std::move(a));
    }
    gauges.push_back({{"index", i},
                      {"name", info.gauge},
                      {"x", info.x},
                      {"y", info.y},
                      {"w", info.width},
                      {"h", info.height},
                      {"face_w", info.face_width},
                      {"face_h", info.face_height},
                      {"areas", std::move(areas)}});
  }
  const PanelWindow window = session_->Window();
  char background[8];
  std::snprintf(background, sizeof background, "#%06x", window.background_rgb & 0xFFFFFFu);
  json controls = json::array();
  for (const Control& c : Controls()) {
    json j = {{"key", c.key}, {"label", c.label}, {"unit", c.unit}, {"kind", c.kind}};
    if (c.kind == "number") j.update({{"min", c.min}, {"max", c.max}, {"step", c.step}});
    if (!c.options.empty()) j["options"] = c.options;
    controls.push_back(std::move(j));
  }
  json failures = json::array();
  for (uint32_t key : kFailureKeys) failures.push_back({{"key", key}, {"label", FailureName(key)}});
  pub_->panel = {{"title", window.title},
                 {"width", window.width > 0 ? window.width : extent_w},
                 {"height", window.height > 0 ? window.height : extent_h},
                 {"background", background},
                 {"gauges", std::move(gauges)},
                 {"controls", std::move(controls)},
                 {"failures", std::move(failures)}};
  pub_->gauges.resize(static_cast<size_t>(n));
  pub_->elements.resize(static_cast<size_t>(n));
  drawn_.resize(static_cast<size_t>(n));

  // One update so the first picture shows what the gauges show.
  TickLocked();
}

Previewer::~Previewer() { Stop(); }

void Previewer::Start() {
  if (running_.exchange(true)) return;
  thread_ = std::thread([this] { Loop(); });
}

void Previewer::Stop() {
  {
    std::lock_guard<std::mutex> lock(pub_->mutex);
    pub_->stopping = true;
  }
  pub_->cv.notify_all();
  if (running_.exchange(false)) {
    queue_cv_.notify_all();
    thread_.join();
  }
  // Whatever was still queued runs here, so no request waits in vain.
  std::deque<std::function<void()>> rest;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    rest.swap(queue_);
  }
  for (auto& fn : rest) fn();
}

bool Previewer::Execute(const std::function<void()>& fn) {
  if (!running_) {
    std::lock_guard<std::mutex> lock(inline_mutex_);
    fn();
    Publish(false);
    return true;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.push_back([fn, done] {
      try {
        fn();
      } catch (...) {
        // fn reports its own errors; nothing may take the thread down.
      }
      done->set_value();
    });
  }
  queue_cv_.notify_one();
  return finished.wait_for(kCommandTimeout) == std::future_status::ready;
}

void Previewer::Loop() {
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / kUpdateHz));
  auto next = Clock::now() + period;
  std::unique_lock<std::mutex> lock(queue_mutex_);
  while (running_) {
    queue_cv_.wait_until(lock, next, [&] { return !queue_.empty() || !running_; });
    std::deque<std::function<void()>> batch;
    batch.swap(queue_);
    lock.unlock();
    for (auto& fn : batch) fn();
    if (!batch.empty()) Publish(false);
    const auto now = Clock::now();
    if (now >= next) {
      if (!paused_) TickLocked();
      next += period;
      // After a stall, carry on from now rather than race to catch up.
      if (now - next > std::chrono::seconds(1)) next = now + period;
    }
    lock.lock();
  }
}

void Previewer::Tick() {
  Execute([this] { TickLocked(); });
}

void Previewer::TickLocked() {
  const auto t0 = Clock::now();
  const double rate = session_->Get(VarSimRate);
  const double seconds = (std::isfinite(rate) && rate > 0 ? std::min(rate, 128.0) : 0.0) / kUpdateHz;
  model_.Step(*vars_, seconds);
  session_->SetGroundSpeed(KnotsToMps(model_.ground_speed_kt()));
  session_->Run(1);
  Publish(true, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
}

// ---- publishing -----------------------------------------------------------------

void Previewer::Publish(bool tick, double tick_ms) {
  const auto t0 = Clock::now();
  const size_t n = infos_.size();
  std::vector<std::pair<size_t, std::string>> changed;
  for (size_t i = 0; i < n; ++i) {
    Raster r = session_->RenderInstance(static_cast<int>(i), scale_);
    Raster& old = drawn_[i];
    if (!all_dirty_ && r.width == old.width && r.height == old.height && r.rgba == old.rgba) continue;
    changed.emplace_back(i, Base64(EncodePng(r)));
    old = std::move(r);
  }
  all_dirty_ = false;

  std::vector<json> log;
  for (const SentEvent& e : session_->TakeEvents())
    log.push_back({{"kind", "event"}, {"update", e.update}, {"event", e.event}, {"name", EventName(e.event)}, {"value", e.value}});
  std::vector<std::pair<std::string, std::string>> found_sounds;
  for (const PlayedSound& s : session_->TakeSounds()) {
    log.push_back({{"kind", "sound"}, {"update", s.update}, {"name", s.name}, {"flags", s.flags}, {"found", s.found}});
    if (s.found) found_sounds.emplace_back(s.name, s.path);
  }

  json values = json::object();
  for (const Control& c : Controls()) values[c.key] = c.get(*this);
  std::vector<uint32_t> failures;
  for (uint32_t key : kFailureKeys)
    if (session_->FailureHolds(key)) failures.push_back(key);

  std::vector<json> elements(n);
  for (size_t i = 0; i < n; ++i) {
    json list = json::array();
    const int count = session_->ElementCount(static_cast<int>(i));
    for (int k = 1; k <= count; ++k) {
      const ElementState e = session_->Element(static_cast<int>(i), k);
      json j = {{"kind", e.kind},     {"bitmap_id", e.bitmap_id},           {"value", e.value},
                {"drawn", e.drawn},   {"failure_action", e.failure_action}, {"x", e.x},
                {"y", e.y}};
      j["frame"] = e.frame ? json(*e.frame) : json(nullptr);
      if (e.kind == kElementNeedle) j["angle"] = e.angle;
      if (e.kind == kElementSlider) j["value_x"] = e.value_x;
      const auto& records = element_records_[i];
      if (static_cast<size_t>(k) <= records.size()) {
        j["image_flags"] = records[static_cast<size_t>(k) - 1].image_flags;
        j["failures"] = records[static_cast<size_t>(k) - 1].failures;
      }
      list.push_back(std::move(j));
    }
    elements[i] = std::move(list);
  }
  const uint64_t update = session_->UpdateCount();
  const double publish_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

  {
    std::lock_guard<std::mutex> lock(pub_->mutex);
    Published& p = *pub_;
    const bool any = tick || !changed.empty() || !log.empty() || values != p.values || failures != p.failures ||
                     p.paused != paused_ || p.night != night_ || p.scale != scale_ || elements != p.elements;
    if (!any) return;
    ++p.version;
    p.update = update;
    p.paused = paused_;
    p.night = night_;
    p.scale = scale_;
    for (auto& [i, png] : changed) p.gauges[i] = {p.version, std::move(png)};
    for (json& entry : log) {
      entry["seq"] = p.version;
      p.log.push_back(std::move(entry));
    }
    while (p.log.size() > kLogKept) p.log.pop_front();
    for (auto& [name, path] : found_sounds) p.sounds[name] = path;
    p.values = std::move(values);
    p.failures = std::move(failures);
    p.elements = std::move(elements);
    if (tick) {
      const auto now = Clock::now();
      p.tick_times.push_back(now);
      while (!p.tick_times.empty() && now - p.tick_times.front() > std::chrono::seconds(1)) p.tick_times.pop_front();
      p.tick_ms_total += tick_ms + publish_ms;
      ++p.ticks;
    }
  }
  pub_->cv.notify_all();
}

Previewer::Stats Previewer::GetStats() const {
  std::lock_guard<std::mutex> lock(pub_->mutex);
  Stats s;
  s.updates = pub_->update;
  const auto now = Clock::now();
  s.updates_per_second = static_cast<double>(std::count_if(pub_->tick_times.begin(), pub_->tick_times.end(), [&](auto t) {
    return now - t <= std::chrono::seconds(1);
  }));
  s.mean_tick_ms = pub_->ticks ? pub_->tick_ms_total / static_cast<double>(pub_->ticks) : 0.0;
  return s;
}

// ---- requests -----------------------------------------------------------------

HttpResponse Previewer::Handle(const HttpRequest& r) {
  try {
    if (r.body.size() > kMaxRequestBody)
      return Error(413, "request body too large (limit " + std::to_string(kMaxRequestBody) + " bytes)");
    const bool get = r.method == "GET" || r.method == "HEAD";
    const bool post = r.method == "POST";
    struct Route {
      const char* path;
      bool post;
      std::function<HttpResponse()> handler;
    };
    const Route routes[] = {
        {"/api/panel", false, [&] { return GetPanel(); }},
        {"/api/frame", false, [&] { return GetFrame(r); }},
        {"/api/tooltip", false, [&] { return GetTooltip(r); }},
        {"/api/sound", false, [&] { return GetSound(r); }},
        {"/api/stats", false, [&] { return GetStatsResponse(); }},
        {"/api/mouse", true, [&] { return PostMouse(r); }},
        {"/api/control", true, [&] { return PostControl(r); }},
        {"/api/failure", true, [&] { return PostFailure(r); }},
        {"/api/night", true, [&] { return PostFlag(r, "night"); }},
        {"/api/pause", true, [&] { return PostFlag(r, "pause"); }},
        {"/api/step", true, [&] { return PostStep(r); }},
        {"/api/view", true, [&] { return PostView(r); }},
    };
    for (const Route& route : routes) {
      if (r.path != route.path) continue;
      if (route.post ? !post : !get)
        return Error(405, std::string("use ") + (route.post ? "POST" : "GET") + " for " + route.path);
      return route.handler();
    }
    if (r.path == "/favicon.ico") return {204, "image/x-icon", ""};
    if (const WebAsset* asset = FindWebAsset(r.path == "/" ? "/index.html" : r.path)) {
      if (!get) return Error(405, "use GET for " + r.path);
      HttpResponse out;
      out.content_type = asset->content_type;
      out.body.assign(reinterpret_cast<const char*>(asset->data), asset->size);
      return out;
    }
    return Error(404, "no such resource: " + r.path.substr(0, 200));
  } catch (const std::exception& e) {
    return Error(500, std::string("internal error: ") + e.what());
  }
}

bool Previewer::ResolveGauge(const std::string& text, int& instance, HttpResponse& error) const {
  const int n = static_cast<int>(infos_.size());
  if (!text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    instance = std::stoi(text);
    if (instance < n) return true;
  } else {
    for (int i = 0; i < n; ++i)
      if (infos_[static_cast<size_t>(i)].gauge == text) {
        instance = i;
        return true;
      }
  }
  std::string names;
  for (int i = 0; i < n; ++i) names += (i ? ", " : "") + std::to_string(i) + " " + infos_[static_cast<size_t>(i)].gauge;
  error = Error(404, "unknown gauge '" + text.substr(0, 100) + "'; the panel has " + (n ? names : "no gauges"));
  return false;
}

HttpResponse Previewer::GetPanel() {
  std::lock_guard<std::mutex> lock(pub_->mutex);
  json panel = pub_->panel;
  panel["boot"] = boot_;
  panel["scale"] = pub_->scale;
  return Json(200, panel);
}

HttpResponse Previewer::GetFrame(const HttpRequest& r) {
  HttpResponse error;
  uint64_t since = 0;
  if (auto it = r.query.find("since"); it != r.query.end()) {
    const std::string& s = it->second;
    if (s.empty() || s.size() > 18 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return Error(400, "parameter 'since' must be a frame version (a whole number)");
    since = std::stoull(s);
  }
  int wait = kDefaultWaitMs;
  if (r.query.count("wait")) {
    if (!QueryInt(r, "wait", wait, error)) return error;
    if (wait < 0 || wait > kMaxWaitMs) return Error(400, "parameter 'wait' must be from 0 to " + std::to_string(kMaxWaitMs) + " ms");
  }
  int inspect = -1;
  if (auto it = r.query.find("inspect"); it != r.query.end() && !ResolveGauge(it->second, inspect, error)) return error;

  std::unique_lock<std::mutex> lock(pub_->mutex);
  Published& p = *pub_;
  if (since > p.version) since = 0;  // a page from before a restart
  p.cv.wait_for(lock, std::chrono::milliseconds(wait), [&] { return p.version > since || p.stopping; });
  json gauges = json::array();
  for (size_t i = 0; i < p.gauges.size(); ++i)
    if (p.gauges[i].version > since) gauges.push_back({{"index", i}, {"version", p.gauges[i].version}, {"png", p.gauges[i].png}});
  json log = json::array();
  for (const json& entry : p.log)
    if (entry["seq"].get<uint64_t>() > since) log.push_back(entry);
  const double rate = static_cast<double>(std::count_if(p.tick_times.begin(), p.tick_times.end(), [now = Clock::now()](auto t) {
    return now - t <= std::chrono::seconds(1);
  }));
  json frame = {{"boot", boot_},   {"version", p.version}, {"update", p.update}, {"paused", p.paused},
                {"night", p.night}, {"scale", p.scale},    {"rate", rate},       {"gauges", std::move(gauges)},
                {"log", std::move(log)}, {"values", p.values}, {"failures", p.failures}};
  if (inspect >= 0) frame["elements"] = p.elements[static_cast<size_t>(inspect)];
  return Json(200, frame);
}

namespace {

// The gauge of a JSON body: an instance index or a gauge name.
bool GaugeText(const json& body, std::string& text, HttpResponse& error) {
  auto it = body.find("gauge");
  if (it != body.end() && it->is_number_unsigned()) {
    text = std::to_string(it->get<uint64_t>());
    return true;
  }
  if (it != body.end() && it->is_string()) {
    text = it->get<std::string>();
    return true;
  }
  error = Error(400, "'gauge' must be an instance index or a gauge name");
  return false;
}

}  // namespace

HttpResponse Previewer::PostMouse(const HttpRequest& r) {
  json body;
  HttpResponse error;
  if (!ParseObject(r, body, error)) return error;
  std::string gauge_text;
  int instance = 0;
  if (!GaugeText(body, gauge_text, error) || !ResolveGauge(gauge_text, instance, error)) return error;
  auto action_it = body.find("action");
  const std::string action = action_it != body.end() && action_it->is_string() ? action_it->get<std::string>() : "";
  if (action != "down" && action != "move" && action != "up")
    return Error(400, "'action' must be \"down\", \"move\" or \"up\"");
  double x = 0, y = 0;
  const bool has_point = body.contains("x") || body.contains("y") || action != "up";
  if (has_point && (!NumberField(body, "x", -kMaxCoordinate, kMaxCoordinate, x, error) ||
                    !NumberField(body, "y", -kMaxCoordinate, kMaxCoordinate, y, error)))
    return error;
  const InstanceInfo& info = infos_[static_cast<size_t>(instance)];
  const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
  if (action == "down" && (px < 0 || py < 0 || px >= info.face_width || py >= info.face_height)) {
    return Error(400, "(" + std::to_string(px) + ", " + std::to_string(py) + ") is off " + info.gauge + ", whose face is " +
                          std::to_string(info.face_width) + " x " + std::to_string(info.face_height) + " pixels");
  }
  auto out = std::make_shared<HttpResponse>();
  const bool answered = Execute([this, out, instance, action, px, py, has_point] {
    if (action == "down") {
      // A page that lost its button-up (a closed tab) must not leave the
      // button held on the panel.
      if (session_->MouseIsDown()) session_->MouseUp();
      session_->MouseDown(instance, px, py);
      mouse_gauge_ = instance;
    } else if (!session_->MouseIsDown() || mouse_gauge_ != instance) {
      *out = Error(409, "the button is not down on gauge " + std::to_string(instance));
      return;
    } else if (action == "move") {
      session_->MouseMove(px, py);
    } else {
      if (has_point) session_->MouseMove(px, py);
      session_->MouseUp();
      mouse_gauge_ = -1;
    }
    *out = Ok();
  });
  if (!answered) return Error(503, "the simulation did not answer");
  if (out->status == 200) {
    // The frame version the press is part of: pictures after it show its effect.
    std::lock_guard<std::mutex> lock(pub_->mutex);
    *out = Json(200, {{"ok", true}, {"version", pub_->version}});
  }
  return *out;
}

HttpResponse Previewer::GetTooltip(const HttpRequest& r) {
  HttpResponse error;
  int instance = 0, x = 0, y = 0;
  auto g = r.query.find("gauge");
  if (g == r.query.end()) return Error(400, "missing parameter 'gauge'");
  if (!ResolveGauge(g->second, instance, error) || !QueryInt(r, "x", x, error) || !QueryInt(r, "y", y, error)) return error;
  const InstanceInfo& info = infos_[static_cast<size_t>(instance)];
  if (x < 0 || y < 0 || x >= info.face_width || y >= info.face_height)
    return Error(400, "(" + std::to_string(x) + ", " + std::to_string(y) + ") is off " + info.gauge);
  auto out = std::make_shared<HttpResponse>();
  if (!Execute([this, out, instance, x, y] {
        *out = Json(200, {{"text", session_->TooltipAt(instance, x, y)}, {"cursor", session_->CursorAt(instance, x, y)}});
      }))
    return Error(503, "the simulation did not answer");
  return *out;
}

namespace {

bool ParseTime(const std::string& s, HttpResponse& error) {
  auto two = [&](size_t at, int max) {
    return at + 2 <= s.size() && std::isdigit(static_cast<unsigned char>(s[at])) &&
           std::isdigit(static_cast<unsigned char>(s[at + 1])) && std::stoi(s.substr(at, 2)) <= max;
  };
  if (s.size() == 8 && s[2] == ':' && s[5] == ':' && two(0, 23) && two(3, 59) && two(6, 59)) return true;
  error = Error(400, "'value' must be a time of day HH:MM:SS");
  return false;
}

}  // namespace

HttpResponse Previewer::PostControl(const HttpRequest& r) {
  json body;
  HttpResponse error;
  if (!ParseObject(r, body, error)) return error;
  auto key_it = body.find("key");
  if (key_it == body.end() || !key_it->is_string()) return Error(400, "'key' must be a control or variable name");
  const std::string key = key_it->get<std::string>();
  if (!body.contains("value")) return Error(400, "missing 'value'");
  const json value = body["value"];

  const Control* control = nullptr;
  for (const Control& c : Controls())
    if (c.key == key) control = &c;
  std::function<void()> apply;
  if (control) {
    if (control->kind == "output") return Error(400, "'" + key + "' is shown, not set");
    if (control->kind == "toggle" && !value.is_boolean()) return Error(400, "'value' of " + key + " must be true or false");
    if (control->kind == "time" && (!value.is_string() || !ParseTime(value.get<std::string>(), error))) {
      return value.is_string() ? error : Error(400, "'value' must be a time of day HH:MM:SS");
    }
    if (control->kind == "number" || control->kind == "select") {
      double v = 0;
      if (!NumberField(body, "value", control->min, control->max, v, error)) return error;
      if (control->kind == "select" && v != std::floor(v)) return Error(400, "'value' of " + key + " must be a whole number");
    }
    apply = [this, control, value] { control->set(*this, value); };
  } else {
    uint32_t token = 0;
    if (!TokenByName(key, token)) return Error(404, "unknown variable '" + key.substr(0, 100) + "'");
    if (IsClockToken(token)) return Error(400, "the clock variables follow the host's clock: set 'time' instead");
    double v = 0;
    if (!NumberField(body, "value", -1e15, 1e15, v, error)) return error;
    apply = [this, token, v] { session_->Set(token, v); };
  }
  auto out = std::make_shared<HttpResponse>();
  if (!Execute([out, apply] {
        try {
          apply();
          *out = Ok();
        } catch (const std::exception& e) {
          *out = Error(400, e.what());
        }
      }))
    return Error(503, "the simulation did not answer");
  return *out;
}

HttpResponse Previewer::PostFailure(const HttpRequest& r) {
  json body;
  HttpResponse error;
  double key = 0;
  bool on = false;
  if (!ParseObject(r, body, error) || !NumberField(body, "key", 0, 1e9, key, error) || !BoolField(body, "on", on, error))
    return error;
  if (key != std::floor(key) || std::find(std::begin(kFailureKeys), std::end(kFailureKeys), key) == std::end(kFailureKeys))
    return Error(400, "unknown failure key; the panel offers 2, 3, 6, 20 and 21");
  const uint32_t k = static_cast<uint32_t>(key);
  if (!Execute([this, k, on] { session_->SetFailure(k, on); })) return Error(503, "the simulation did not answer");
  return Ok();
}

HttpResponse Previewer::PostFlag(const HttpRequest& r, const std::string& which) {
  json body;
  HttpResponse error;
  bool on = false;
  if (!ParseObject(r, body, error) || !BoolField(body, "on", on, error)) return error;
  if (!Execute([this, which, on] {
        if (which == "pause") {
          paused_ = on;
        } else {
          night_ = on;
          session_->SetNight(on);
        }
      }))
    return Error(503, "the simulation did not answer");
  return Ok();
}

HttpResponse Previewer::PostStep(const HttpRequest& r) {
  json body;
  HttpResponse error;
  double updates = 1;
  if (!ParseObject(r, body, error)) return error;
  if (body.contains("updates") && !NumberField(body, "updates", 1, kMaxStep, updates, error)) return error;
  const int n = static_cast<int>(updates);
  auto out = std::make_shared<HttpResponse>();
  if (!Execute([this, out, n] {
        if (!paused_) {
          *out = Error(409, "the panel is running: pause it to step");
          return;
        }
        for (int i = 0; i < n; ++i) TickLocked();
        *out = Ok();
      }))
    return Error(503, "the simulation did not answer");
  return *out;
}

HttpResponse Previewer::PostView(const HttpRequest& r) {
  json body;
  HttpResponse error;
  double scale = 1;
  if (!ParseObject(r, body, error) || !NumberField(body, "scale", 0.25, 4, scale, error)) return error;
  if (!Execute([this, scale] {
        if (scale != scale_) all_dirty_ = true;
        scale_ = scale;
      }))
    return Error(503, "the simulation did not answer");
  return Ok();
}

HttpResponse Previewer::GetSound(const HttpRequest& r) {
  auto it = r.query.find("name");
  if (it == r.query.end()) return Error(400, "missing parameter 'name'");
  std::string path;
  {
    std::lock_guard<std::mutex> lock(pub_->mutex);
    auto found = pub_->sounds.find(it->second);
    if (found == pub_->sounds.end()) return Error(404, "the module has played no sound file '" + it->second.substr(0, 200) + "'");
    path = found->second;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return Error(404, "cannot read " + path + ": " + ec.message());
  if (size > kMaxSoundBytes) return Error(413, path + " is too large to serve");
  std::ifstream in(path, std::ios::binary);
  HttpResponse out;
  out.content_type = "audio/wav";
  out.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return Error(404, "cannot read " + path);
  return out;
}

HttpResponse Previewer::GetStatsResponse() {
  const Stats s = GetStats();
  return Json(200, {{"updates", s.updates}, {"updates_per_second", s.updates_per_second}, {"mean_tick_ms", s.mean_tick_ms}});
}

}  // namespace talvor

// ---- the server -----------------------------------------------------------------

#if defined(TALVOR_HAVE_SERVE)
#include <httplib.h>

#include <csignal>
#include <iostream>

#include "emulator/sounds.h"

namespace talvor {
namespace {

constexpr const char* kDefaultPanel = "examples/panel.cfg";

std::atomic<bool> g_interrupted{false};
extern "C" void OnInterrupt(int) { g_interrupted = true; }

}  // namespace

namespace {

int ServeOrThrow(const ServeOptions& options) {
  auto session = std::make_unique<Session>(options.module.empty() ? Session::DefaultModulePath() : options.module);
  const std::string sound_dir = options.sound_dir.empty() ? session->SoundDir() : options.sound_dir;
  try {
    WriteSounds(sound_dir);
  } catch (const std::exception& e) {
    // Missing sounds are only missing sounds: the panel still runs.
    std::cerr << "talvor-panel: warning: " << e.what() << "\n";
  }
  session->SetSoundDir(sound_dir);
  session->LoadPanel(options.panel.empty() ? kDefaultPanel : options.panel);

  PreviewOptions preview;
  preview.sound_dir = sound_dir;
  Previewer previewer(std::move(session), preview);

  httplib::Server server;
  // Long polls hold a worker each; leave plenty for the other requests.
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  server.set_payload_max_length(kMaxRequestBody);
  // Headers and body go out in separate writes: without this, Nagle's
  // algorithm holds the body back for the client's delayed ACK (~40 ms).
  server.set_tcp_nodelay(true);
  auto handle = [&previewer](const httplib::Request& req, httplib::Response& res) {
    HttpRequest request;
    request.method = req.method;
    request.path = req.path;
    for (const auto& [key, value] : req.params) request.query.emplace(key, value);  // the first of repeated keys
    request.body = req.body;
    HttpResponse response = previewer.Handle(request);
    res.status = response.status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(std::move(response.body), response.content_type.c_str());
  };
  // No compression: the pictures are PNGs already, and the library's brotli
  // at its default quality takes seconds over a frame, far beyond the
  // previewer's time budget.
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
    const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.Get(".*", handle);
  server.Post(".*", handle);
  server.Put(".*", handle);
  server.Delete(".*", handle);
  server.Patch(".*", handle);
  // Errors the server itself answers (a body over the limit, say) get JSON too.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string message = res.status == 413 ? "request body too large (limit " + std::to_string(kMaxRequestBody) + " bytes)"
                                : "HTTP error " + std::to_string(res.status);
    nlohmann::json body = {{"error", message}};
    res.set_content(body.dump(), "application/json");
  });

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.host.c_str());
  } else if (!server.bind_to_port(options.host.c_str(), port)) {
    port = -1;
  }
  if (port < 0) {
    std::cerr << "talvor-panel: cannot listen on " << options.host << ":" << options.port << "\n";
    return 1;
  }
  const bool ipv6 = options.host.find(':') != std::string::npos;
  std::cout << "http://" << (ipv6 ? "[" + options.host + "]" : options.host) << ":" << port << "/" << std::endl;

  previewer.Start();
  g_interrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  std::thread watcher([&server, &previewer] {
    while (!g_interrupted) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // First the previewer, which also lets the pages' long polls go: the
    // server waits for its requests to finish before it stops.
    previewer.Stop();
    server.stop();
  });
  server.listen_after_bind();
  g_interrupted = true;
  watcher.join();
  previewer.Stop();
  return 0;
}

}  // namespace

int Serve(const ServeOptions& options) {
  try {
    return ServeOrThrow(options);
  } catch (const std::exception& e) {
    std::cerr << "talvor-panel: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace talvor
#else
#include <iostream>

namespace talvor {

int Serve(const ServeOptions&) {
  std::cerr << "talvor-panel: serve is not available in this build\n";
  return 1;
}

}  // namespace talvor
#endif

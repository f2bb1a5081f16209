#include "emulator/scenario.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "emulator/panel_config.h"
#include "emulator/session.h"
#include "emulator/trace.h"
#include "emulator/variables.h"
#include "host/catalogue.h"
#include "host/records.h"

namespace talvor {

namespace {

using Verb = ScenarioStep::Verb;

constexpr double kFeetPerMetre = 3.28083;  // the factor the module reads altitude with

struct Token {
  std::string text;
  bool quoted = false;
};

bool IsAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string DirOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string Join(const std::string& dir, const std::string& path) {
  return IsAbsolute(path) || dir.empty() ? path : dir + "/" + path;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

}  // namespace

// The plain quotient can land a hair short of the feet it stands for.
double AltitudeMetresForFeet(double feet) {
  double m = feet / kFeetPerMetre;
  if (!std::isfinite(m)) return m;
  const double away = feet < 0 ? -HUGE_VAL : HUGE_VAL;
  for (int i = 0; i < 8 && std::fabs(m * kFeetPerMetre) < std::fabs(feet); ++i) m = std::nextafter(m, away);
  return m;
}

namespace {

class Parser {
 public:
  explicit Parser(const std::string& path) : path_(path) {}

  Scenario Parse(const std::string& text) {
    Scenario scenario;
    scenario.path = path_;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
      ++line_;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      std::vector<Token> tokens = Split(raw);
      if (tokens.empty()) continue;
      ScenarioStep step = ParseLine(tokens);
      step.line = line_;
      scenario.steps.push_back(std::move(step));
    }
    return scenario;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ScenarioParseError(path_ + ":" + std::to_string(line_) + ": " + what);
  }

  std::vector<Token> Split(const std::string& line) const {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (c == ' ' || c == '\t') {
        ++i;
      } else if (c == '#') {
        break;
      } else if (c == '"') {
        const size_t end = line.find('"', i + 1);
        if (end == std::string::npos) Fail("a quoted text has no closing \"");
        out.push_back({line.substr(i + 1, end - i - 1), true});
        i = end + 1;
      } else {
        size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        out.push_back({line.substr(i, end - i), false});
        i = end;
      }
    }
    return out;
  }

  void Arity(const std::vector<Token>& t, size_t min, size_t max, const std::string& usage) const {
    if (t.size() < min || t.size() > max) Fail("expected: " + usage);
  }

  int64_t Int(const Token& t, const std::string& what, int64_t min = INT64_MIN, int64_t max = INT64_MAX) const {
    int64_t v = 0;
    const char* end = t.text.data() + t.text.size();
    auto [ptr, ec] = std::from_chars(t.text.data(), end, v);
    if (t.text.empty() || ec != std::errc() || ptr != end) Fail(what + ": expected a whole number, got '" + t.text + "'");
    if (v < min || v > max) {
      Fail(what + ": " + t.text + " is out of range (" + std::to_string(min) + ".." + std::to_string(max) + ")");
    }
    return v;
  }

  double Real(const Token& t, const std::string& what) const {
    const char* begin = t.text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (t.text.empty() || end != begin + t.text.size()) Fail(what + ": expected a number, got '" + t.text + "'");
    return v;
  }

  ScenarioVar Var(const Token& t) const {
    ScenarioVar v;
    v.name = t.text;
    if (t.text == "altitude-ft") {
      v.kind = ScenarioVar::Kind::kAltitudeFeet;
      v.token = VarAltitudeMeters;
    } else if (t.text == "oat-c") {
      v.kind = ScenarioVar::Kind::kOatCelsius;
      v.token = VarOutsideAirTemp;
    } else if (t.text == "ground-speed-mps") {
      v.kind = ScenarioVar::Kind::kGroundSpeedMps;
    } else if (auto token = TokenByName(t.text)) {
      v.token = *token;
    } else {
      std::vector<std::string> names = VariableNames();
      for (const char* n : {"altitude-ft", "oat-c", "ground-speed-mps"}) names.emplace_back(n);
      std::string nearest;
      for (const std::string& n : NearestNames(t.text, names)) nearest += (nearest.empty() ? "" : ", ") + n;
      Fail("unknown variable '" + t.text + "' (did you mean " + nearest + "?)");
    }
    return v;
  }

  ScenarioStep::Event Event(const Token& t) const {
    const size_t colon = t.text.find(':');
    const std::string name = t.text.substr(0, colon);
    ScenarioStep::Event e{};
    auto event = EventByName(name);
    if (!event) {
      std::string nearest;
      for (const std::string& n : NearestNames(name, EventNames())) nearest += (nearest.empty() ? "" : ", ") + n;
      Fail("unknown event '" + name + "' (did you mean " + nearest + "?)");
    }
    e.event = *event;
    if (colon != std::string::npos) {
      e.value = static_cast<uint32_t>(Int(Token{t.text.substr(colon + 1), false}, "event value", 0, UINT32_MAX));
    }
    return e;
  }

  ScenarioStep ParseLine(const std::vector<Token>& t) {
    ScenarioStep s;
    const std::string& verb = t[0].text;
    auto coords = [&](size_t from, size_t count, const char* what) {
      for (size_t i = 0; i < count; ++i) s.ints.push_back(Int(t[from + i], what, INT32_MIN, INT32_MAX));
    };
    if (verb == "panel") {
      Arity(t, 2, 2, "panel FILE");
      s.verb = Verb::kPanel;
      s.text = t[1].text;
    } else if (verb == "gauge") {
      if (t.size() != 2 && (t.size() < 4 || t.size() > 6)) Fail("expected: gauge NAME [x y [w [h]]]");
      s.verb = Verb::kGauge;
      s.text = t[1].text;
      coords(2, t.size() - 2, "gauge position and size");
    } else if (verb == "set") {
      Arity(t, 3, 3, "set VAR VALUE");
      s.verb = Verb::kSet;
      s.var = Var(t[1]);
      s.number = Real(t[2], "set " + t[1].text);
    } else if (verb == "gps") {
      Arity(t, 3, 3, "gps absent-until N | gps size N");
      if (t[1].text == "absent-until") {
        s.verb = Verb::kGpsAbsentUntil;
        s.ints.push_back(Int(t[2], "gps absent-until", 0));
      } else if (t[1].text == "size") {
        s.verb = Verb::kGpsSize;
        s.ints.push_back(Int(t[2], "gps size", 0, UINT32_MAX));
      } else {
        Fail("expected: gps absent-until N | gps size N");
      }
    } else if (verb == "time") {
      if (t.size() != 2 && t.size() != 4) Fail("expected: time HH:MM:SS [utc-offset H]");
      int h = -1, m = -1, sec = -1;
      char extra = 0;
      if (std::sscanf(t[1].text.c_str(), "%d:%d:%d%c", &h, &m, &sec, &extra) != 3 || h < 0 || h > 23 || m < 0 ||
          m > 59 || sec < 0 || sec > 59) {
        Fail("time: expected HH:MM:SS (00:00:00 to 23:59:59), got '" + t[1].text + "'");
      }
      s.verb = Verb::kTime;
      s.ints = {h, m, sec};
      if (t.size() == 4) {
        if (t[2].text != "utc-offset") Fail("expected: time HH:MM:SS [utc-offset H]");
        s.number = Real(t[3], "utc-offset");
        if (!(std::fabs(s.number) <= 24)) Fail("utc-offset: expected hours from -24 to 24");
      }
    } else if (verb == "fail") {
      Arity(t, 3, 3, "fail KEY on|off");
      s.verb = Verb::kFail;
      const struct {
        const char* name;
        int64_t key;
      } names[] = {{"engine", 2}, {"pitot-static", 3}, {"airspeed", 6}, {"electrical-panel", 20}, {"avionics", 21}};
      int64_t key = -1;
      for (const auto& n : names) {
        if (t[1].text == n.name) key = n.key;
      }
      if (key < 0) key = Int(t[1], "failure key (a number or engine, pitot-static, airspeed, electrical-panel, avionics)", 1, UINT32_MAX);
      s.ints.push_back(key);
      if (t[2].text != "on" && t[2].text != "off") Fail("fail: expected on or off, got '" + t[2].text + "'");
      s.flag = t[2].text == "on";
    } else if (verb == "run") {
      Arity(t, 2, 2, "run N");
      s.verb = Verb::kRun;
      s.ints.push_back(Int(t[1], "run", 0, INT32_MAX));
    } else if (verb == "click") {
      Arity(t, 4, 4, "click GAUGE X Y");
      s.verb = Verb::kClick;
      s.text = t[1].text;
      coords(2, 2, "click position");
    } else if (verb == "hold") {
      Arity(t, 5, 5, "hold GAUGE X Y N");
      s.verb = Verb::kHold;
      s.text = t[1].text;
      coords(2, 2, "hold position");
      s.ints.push_back(Int(t[4], "hold updates", 0, INT32_MAX));
    } else if (verb == "drag") {
      Arity(t, 7, 7, "drag GAUGE X1 Y1 X2 Y2 STEPS");
      s.verb = Verb::kDrag;
      s.text = t[1].text;
      coords(2, 4, "drag positions");
      s.ints.push_back(Int(t[6], "drag steps", 0, 100000));
    } else if (verb == "tooltip") {
      Arity(t, 4, 4, "tooltip GAUGE X Y");
      s.verb = Verb::kTooltip;
      s.text = t[1].text;
      coords(2, 2, "tooltip position");
      tooltip_seen_ = true;
    } else if (verb == "snapshot") {
      Arity(t, 2, 2, "snapshot FILE.png");
      s.verb = Verb::kSnapshot;
      s.text = t[1].text;
    } else if (verb == "expect") {
      ParseExpect(t, s);
    } else {
      Fail("unknown command '" + verb +
           "'; expected panel, gauge, set, gps, time, fail, run, click, hold, drag, tooltip, expect or snapshot");
    }
    return s;
  }

  void ParseExpect(const std::vector<Token>& t, ScenarioStep& s) {
    const std::string what = t.size() > 1 ? t[1].text : "";
    if (what == "tooltip") {
      Arity(t, 3, 3, "expect tooltip \"TEXT\"");
      if (!tooltip_seen_) Fail("expect tooltip without a tooltip command before it");
      s.verb = Verb::kExpectTooltip;
      s.text = t[2].text;
    } else if (what == "value") {
      Arity(t, 5, 5, "expect value GAUGE INDEX VALUE|hidden");
      s.verb = Verb::kExpectValue;
      s.text = t[2].text;
      s.ints.push_back(Int(t[3], "element index (1 = the root)", 1, INT32_MAX));
      s.flag = t[4].text == "hidden";
      if (!s.flag) s.number = Real(t[4], "expected value (or hidden)");
    } else if (what == "events") {
      if (t.size() < 3) Fail("expected: expect events EVENT[:VALUE] ... | expect events none");
      s.verb = Verb::kExpectEvents;
      if (t.size() == 3 && t[2].text == "none") return;
      for (size_t i = 2; i < t.size(); ++i) s.events.push_back(Event(t[i]));
    } else if (what == "sounds") {
      if (t.size() < 3) Fail("expected: expect sounds \"NAME\" ... | expect sounds none");
      s.verb = Verb::kExpectSounds;
      if (t.size() == 3 && t[2].text == "none" && !t[2].quoted) return;
      for (size_t i = 2; i < t.size(); ++i) s.sounds.push_back(t[i].text);
    } else if (what == "var") {
      Arity(t, 4, 4, "expect var VAR VALUE");
      s.verb = Verb::kExpectVar;
      s.var = Var(t[2]);
      s.number = Real(t[3], "expected value");
    } else {
      Fail("expected: expect tooltip|value|events|sounds|var ...");
    }
  }

  std::string path_;
  int line_ = 0;
  bool tooltip_seen_ = false;
};

std::string EventText(uint32_t event, std::optional<uint32_t> value) {
  std::string out = EventName(event);
  if (value) out += ":" + std::to_string(*value);
  return out;
}

bool Close(double seen, double expected) {
  if (std::isnan(expected)) return std::isnan(seen);
  if (std::isinf(expected)) return seen == expected;
  return std::fabs(seen - expected) <= 1e-6 * std::fmax(1.0, std::fabs(expected));
}

class Runner {
 public:
  Runner(const Scenario& scenario, const ScenarioOptions& options) : scenario_(scenario), options_(options) {}

  void Run() {
    for (const ScenarioStep& step : scenario_.steps) {
      line_ = step.line;
      try {
        Do(step);
      } catch (const ScenarioFailure&) {
        throw;
      } catch (const PanelError& e) {
        // A panel file that cannot be read or parsed is bad input, like a bad line.
        throw ScenarioParseError(scenario_.path + ":" + std::to_string(line_) + ": " + e.what());
      } catch (const std::exception& e) {
        Fail(e.what());
      }
      Collect();
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ScenarioFailure(scenario_.path + ":" + std::to_string(line_) + ": " + what);
  }

  void Open(const std::string& module_path) {
    session_ = std::make_unique<Session>(module_path);
    if (!options_.sound_dir.empty()) session_->SetSoundDir(options_.sound_dir);
  }

  Session& S() {
    if (!session_) Open(options_.module_path.empty() ? Session::DefaultModulePath() : options_.module_path);
    return *session_;
  }

  // What the module sent: kept for the next expectation and traced.
  void Collect() {
    if (!session_) return;
    std::vector<SentEvent> events = session_->TakeEvents();
    std::vector<PlayedSound> sounds = session_->TakeSounds();
    if (options_.trace != nullptr) {
      options_.trace->Events(events);
      options_.trace->Sounds(sounds);
    }
    events_.insert(events_.end(), events.begin(), events.end());
    sounds_.insert(sounds_.end(), sounds.begin(), sounds.end());
  }

  double Read(const ScenarioVar& v) {
    switch (v.kind) {
      case ScenarioVar::Kind::kAltitudeFeet: return S().Get(VarAltitudeMeters) * kFeetPerMetre;
      case ScenarioVar::Kind::kOatCelsius: return S().Get(VarOutsideAirTemp) * 256.0;
      case ScenarioVar::Kind::kGroundSpeedMps: return S().GroundSpeed();
      default: return S().Get(v.token);
    }
  }

  void Write(const ScenarioVar& v, double value) {
    switch (v.kind) {
      case ScenarioVar::Kind::kAltitudeFeet: S().Set(VarAltitudeMeters, AltitudeMetresForFeet(value)); break;
      case ScenarioVar::Kind::kOatCelsius: S().Set(VarOutsideAirTemp, value / 256.0); break;
      case ScenarioVar::Kind::kGroundSpeedMps: S().SetGroundSpeed(value); break;
      default: S().Set(v.token, value); break;
    }
  }

  void LoadPanel(const std::string& file) {
    const std::string path = Join(DirOf(scenario_.path), file);
    if (!session_) {
      const PanelConfig config = ReadPanelConfig(path);
      const PanelWindowConfig& main = config.MainWindow();
      std::string module_path = options_.module_path.empty() ? Session::DefaultModulePath() : options_.module_path;
      if (!main.gauges.empty()) {
        const std::string& module = main.gauges.front().module;
        module_path = FindModuleFile(module, GaugesDirForPanel(path, module, options_.gauges_dir));
      }
      Open(module_path);
    }
    session_->LoadPanel(path);
  }

  void Do(const ScenarioStep& s) {
    switch (s.verb) {
      case Verb::kPanel: LoadPanel(s.text); break;
      case Verb::kGauge: {
        int v[4] = {0, 0, 0, 0};
        for (size_t i = 0; i < s.ints.size(); ++i) v[i] = static_cast<int>(s.ints[i]);
        S().AddGauge(s.text, v[0], v[1], v[2], v[3]);
        break;
      }
      case Verb::kSet: Write(s.var, s.number); break;
      case Verb::kGpsAbsentUntil: S().SetGpsAbsentUntil(static_cast<uint64_t>(s.ints[0])); break;
      case Verb::kGpsSize: S().SetGpsSizeField(static_cast<uint32_t>(s.ints[0])); break;
      case Verb::kTime:
        S().SetTime(static_cast<int>(s.ints[0]), static_cast<int>(s.ints[1]), static_cast<int>(s.ints[2]), s.number);
        break;
      case Verb::kFail: S().SetFailure(static_cast<uint32_t>(s.ints[0]), s.flag); break;
      case Verb::kRun: RunUpdates(s.ints[0]); break;
      case Verb::kClick: S().Click(s.text, static_cast<int>(s.ints[0]), static_cast<int>(s.ints[1])); break;
      case Verb::kHold: {
        Session& session = S();
        session.MouseDown(session.Instance(s.text), static_cast<int>(s.ints[0]), static_cast<int>(s.ints[1]));
        Collect();
        RunUpdates(s.ints[2]);
        session.MouseUp();
        break;
      }
      case Verb::kDrag:
        S().Drag(s.text, static_cast<int>(s.ints[0]), static_cast<int>(s.ints[1]), static_cast<int>(s.ints[2]),
                 static_cast<int>(s.ints[3]), static_cast<int>(s.ints[4]));
        break;
      case Verb::kTooltip:
        tooltip_ = S().TooltipAt(s.text, static_cast<int>(s.ints[0]), static_cast<int>(s.ints[1]));
        break;
      case Verb::kExpectTooltip:
        if (tooltip_ != s.text) Fail("expected tooltip \"" + s.text + "\", saw \"" + tooltip_ + "\"");
        break;
      case Verb::kExpectValue: ExpectValue(s); break;
      case Verb::kExpectEvents: ExpectEvents(s); break;
      case Verb::kExpectSounds: ExpectSounds(s); break;
      case Verb::kExpectVar: {
        const double seen = Read(s.var);
        if (!Close(seen, s.number)) {
          Fail("expected " + s.var.name + " " + Number(s.number) + ", saw " + Number(seen));
        }
        break;
      }
      case Verb::kSnapshot:
        if (options_.snapshots) {
          const std::string dir = options_.snapshot_dir.empty() ? "." : options_.snapshot_dir;
          WritePng(S().RenderPanel(), Join(dir, s.text));
        }
        break;
    }
  }

  void RunUpdates(int64_t n) {
    if (options_.trace == nullptr || !options_.trace_values) {
      S().Run(static_cast<int>(n));
      return;
    }
    for (int64_t i = 0; i < n; ++i) {
      S().Run(1);
      Collect();
      options_.trace->Values(*session_);
    }
  }

  void ExpectValue(const ScenarioStep& s) {
    const ElementState st = S().Element(s.text, static_cast<int>(s.ints[0]));
    const std::string where = "element " + std::to_string(s.ints[0]) + " of '" + s.text + "'";
    std::string seen;
    if (st.kind == kElementIcon) {
      seen = st.frame ? "frame " + std::to_string(*st.frame) : "hidden (value " + Number(st.value) + ")";
    } else {
      seen = st.drawn ? "value " + Number(st.value) : "hidden (value " + Number(st.value) + ")";
    }
    bool ok;
    if (s.flag) {
      ok = !st.drawn;
    } else if (st.kind == kElementIcon) {
      ok = st.frame.has_value() && static_cast<double>(*st.frame) == s.number;
    } else {
      ok = st.drawn && Close(st.value, s.number);
    }
    if (!ok) Fail("expected " + where + " " + (s.flag ? std::string("hidden") : Number(s.number)) + ", saw " + seen);
  }

  void ExpectEvents(const ScenarioStep& s) {
    bool ok = s.events.size() == events_.size();
    for (size_t i = 0; ok && i < s.events.size(); ++i) {
      ok = s.events[i].event == events_[i].event && (!s.events[i].value || *s.events[i].value == events_[i].value);
    }
    if (!ok) {
      std::string want, seen;
      for (const auto& e : s.events) want += (want.empty() ? "" : " ") + EventText(e.event, e.value);
      for (const SentEvent& e : events_) seen += (seen.empty() ? "" : " ") + EventText(e.event, e.value);
      Fail("expected events " + (want.empty() ? "none" : want) + ", saw " + (seen.empty() ? "none" : seen));
    }
    events_.clear();
  }

  void ExpectSounds(const ScenarioStep& s) {
    bool ok = s.sounds.size() == sounds_.size();
    for (size_t i = 0; ok && i < s.sounds.size(); ++i) ok = s.sounds[i] == sounds_[i].name;
    if (!ok) {
      std::string want, seen;
      for (const std::string& n : s.sounds) want += (want.empty() ? "\"" : " \"") + n + "\"";
      for (const PlayedSound& p : sounds_) seen += (seen.empty() ? "\"" : " \"") + p.name + "\"";
      Fail("expected sounds " + (want.empty() ? "none" : want) + ", saw " + (seen.empty() ? "none" : seen));
    }
    sounds_.clear();
  }

  const Scenario& scenario_;
  const ScenarioOptions& options_;
  std::unique_ptr<Session> session_;
  int line_ = 0;
  std::string tooltip_;
  std::vector<SentEvent> events_;
  std::vector<PlayedSound> sounds_;
};

}  // namespace

Scenario ParseScenario(const std::string& text, const std::string& path) { return Parser(path).Parse(text); }

Scenario ReadScenario(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioParseError(path + ": cannot read the scenario file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseScenario(text.str(), path);
}

void RunScenario(const Scenario& scenario, const ScenarioOptions& options) { Runner(scenario, options).Run(); }

std::string GaugesDirForPanel(const std::string& panel_path, const std::string& module_name,
                              const std::string& gauges_dir) {
  if (!gauges_dir.empty()) return gauges_dir;
  const std::string beside = DirOf(panel_path);
#if defined(_WIN32)
  const char* ext = ".gau";
#else
  const char* ext = ".so";
#endif
  if (FileExists(beside + "/" + module_name + ext)) return beside;
  return DirOf(Session::DefaultModulePath());
}

}  // namespace talvor

#include "emulator/panel_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace talvor {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Everything from a "//" or ";" on is a comment.
std::string StripComment(const std::string& line) {
  size_t cut = line.find("//");
  const size_t semi = line.find(';');
  if (semi != std::string::npos && (cut == std::string::npos || semi < cut)) cut = semi;
  return cut == std::string::npos ? line : line.substr(0, cut);
}

std::vector<std::string> SplitCommas(const std::string& s) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, ',')) out.push_back(Trim(part));
  if (!s.empty() && s.back() == ',') out.emplace_back();
  return out;
}

bool ParseInt(const std::string& s, int* out) {
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data(), end, *out);
  return !s.empty() && ec == std::errc() && ptr == end;
}

// "window07" -> 7; "gauge12" -> 12 for the given prefix; -1 otherwise.
int NumberedKey(const std::string& lower_key, const std::string& prefix) {
  if (lower_key.size() <= prefix.size() || lower_key.compare(0, prefix.size(), prefix) != 0) return -1;
  int n = -1;
  if (!ParseInt(lower_key.substr(prefix.size()), &n) || n < 0) return -1;
  return n;
}

class Parser {
 public:
  Parser(const std::string& file) : file_(file) {}

  PanelConfig Parse(const std::string& text) {
    config_.path = file_;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
      ++line_;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      const std::string line = Trim(StripComment(raw));
      if (line.empty()) continue;
      if (line.front() == '[') {
        if (line.back() != ']') Fail("expected a section name in brackets, e.g. [Window00]");
        OpenSection(Trim(line.substr(1, line.size() - 2)));
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) Fail("expected key=value or [Section], got '" + line + "'");
      Entry(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    for (auto& [number, window] : windows_) {
      auto title = titles_.find(number);
      if (title != titles_.end()) window.title = title->second;
      std::stable_sort(gauge_numbers_[number].begin(), gauge_numbers_[number].end());
      for (const auto& [n, index] : gauge_numbers_[number]) window.gauges.push_back(gauges_[number][index]);
      config_.windows.push_back(window);
    }
    return config_;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw PanelError(file_ + ":" + std::to_string(line_) + ": " + what);
  }
  void Warn(const std::string& what) { config_.warnings.push_back(file_ + ":" + std::to_string(line_) + ": " + what); }

  void OpenSection(const std::string& name) {
    if (name.empty()) Fail("empty section name");
    section_ = name;
    const std::string lower = Lower(name);
    window_ = -1;
    in_titles_ = lower == "window titles";
    const int n = NumberedKey(lower, "window");
    if (n >= 0) {
      window_ = n;
      windows_[n].number = n;
    } else if (!in_titles_) {
      Warn("section [" + name + "] is not used by the emulator; ignored");
    }
  }

  void Entry(const std::string& key, const std::string& value) {
    if (section_.empty()) Fail("key '" + key + "' before any [section]");
    const std::string lower = Lower(key);
    if (in_titles_) {
      const int n = NumberedKey(lower, "window");
      if (n < 0) {
        Warn("unknown key '" + key + "' in [" + section_ + "] ignored");
      } else {
        titles_[n] = value;
      }
      return;
    }
    if (window_ < 0) return;  // inside an ignored section
    PanelWindowConfig& w = windows_[window_];
    if (lower == "size_mm") {
      const std::vector<std::string> v = SplitCommas(value);
      if (v.size() != 2 || !ParseInt(v[0], &w.width) || !ParseInt(v[1], &w.height) || w.width <= 0 ||
          w.height <= 0) {
        Fail("size_mm: expected two positive whole numbers W,H, got '" + value + "'");
      }
    } else if (lower == "position") {
      if (!ParseInt(value, &w.position)) Fail("position: expected a whole number, got '" + value + "'");
    } else if (lower == "background_color") {
      const std::vector<std::string> v = SplitCommas(value);
      int rgb[3];
      bool ok = v.size() == 3;
      for (size_t i = 0; ok && i < 3; ++i) ok = ParseInt(v[i], &rgb[i]) && rgb[i] >= 0 && rgb[i] <= 255;
      if (!ok) Fail("background_color: expected R,G,B with each 0..255, got '" + value + "'");
      w.background_rgb = static_cast<uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    } else if (lower == "visible") {
      if (value != "0" && value != "1") Fail("visible: expected 0 or 1, got '" + value + "'");
      w.visible = value == "1";
    } else if (const int n = NumberedKey(lower, "gauge"); n >= 0) {
      gauge_numbers_[window_].emplace_back(n, gauges_[window_].size());
      gauges_[window_].push_back(ParseGauge(value));
    } else {
      Warn("unknown key '" + key + "' in [" + section_ + "] ignored");
    }
  }

  // module!gauge name, x, y[, w[, h]]
  PanelGauge ParseGauge(const std::string& value) {
    const char* expected = "expected module!gauge name, x, y[, w[, h]]";
    const size_t bang = value.find('!');
    if (bang == std::string::npos) Fail(std::string("gauge entry without '!': ") + expected);
    PanelGauge g;
    g.line = line_;
    g.module = Trim(value.substr(0, bang));
    std::vector<std::string> parts = SplitCommas(value.substr(bang + 1));
    if (g.module.empty() || parts.size() < 3 || parts.size() > 5 || parts[0].empty()) {
      Fail(std::string("gauge entry '") + value + "': " + expected);
    }
    // Blanks inside the name and its case matter; those around it do not.
    g.gauge = parts[0];
    int* fields[] = {&g.x, &g.y, &g.width, &g.height};
    for (size_t i = 1; i < parts.size(); ++i) {
      if (!ParseInt(parts[i], fields[i - 1])) {
        Fail("gauge entry '" + value + "': '" + parts[i] + "' is not a whole number; " + expected);
      }
      if (i >= 3 && *fields[i - 1] < 0) Fail("gauge entry '" + value + "': a size cannot be negative");
    }
    for (const char* ext : {".gau", ".so", ".dll"}) {
      const std::string e = ext;
      if (g.module.size() > e.size() && Lower(g.module.substr(g.module.size() - e.size())) == e) {
        g.module.resize(g.module.size() - e.size());
      }
    }
    return g;
  }

  std::string file_;
  int line_ = 0;
  std::string section_;
  bool in_titles_ = false;
  int window_ = -1;
  PanelConfig config_;
  std::map<int, PanelWindowConfig> windows_;
  std::map<int, std::string> titles_;
  std::map<int, std::vector<PanelGauge>> gauges_;
  std::map<int, std::vector<std::pair<int, size_t>>> gauge_numbers_;
};

}  // namespace

const PanelWindowConfig& PanelConfig::MainWindow() const {
  if (windows.empty()) throw PanelError(path + ": no [WindowNN] section");
  return windows.front();  // in number order: Window00 when there is one
}

PanelConfig ParsePanelConfig(const std::string& text, const std::string& file) { return Parser(file).Parse(text); }

PanelConfig ReadPanelConfig(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PanelError(path + ": cannot read the panel file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParsePanelConfig(text.str(), path);
}

std::string FindModuleFile(const std::string& module_name, const std::string& gauges_dir) {
  if (module_name.empty() || module_name.find_first_of("/\\:") != std::string::npos || module_name == "..") {
    throw std::runtime_error("module name '" + module_name + "' is not a plain file name");
  }
#if defined(_WIN32)
  const std::string path = gauges_dir + "/" + module_name + ".gau";
#else
  const std::string path = gauges_dir + "/" + module_name + ".so";
#endif
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    throw std::runtime_error("module '" + module_name + "' not found in " + gauges_dir + " (looked for " + path + ")");
  }
  return path;
}

}  // namespace talvor

// Panel configuration files: the simulator's INI-like format naming each
// window's gauges by module and gauge name.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvor {

// A malformed panel file: the message names the file and line.
class PanelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PanelGauge {
  std::string module;  // as written, without extension ("jovTalvor")
  std::string gauge;   // matched exactly, blanks and case included
  int x = 0, y = 0;
  int width = 0, height = 0;  // 0: the gauge's default width, the face's aspect
  int line = 0;               // where it was written
};

struct PanelWindowConfig {
  int number = 0;          // NN of [WindowNN]
  std::string title;       // from [Window Titles]
  int width = 0, height = 0;  // size_mm; 0 when absent
  int position = 0;
  uint32_t background_rgb = 0x000000;  // 0xRRGGBB
  bool visible = true;
  std::vector<PanelGauge> gauges;      // in gaugeNN order
};

struct PanelConfig {
  std::string path;
  std::vector<PanelWindowConfig> windows;  // in window-number order
  std::vector<std::string> warnings;       // "file:line: ..." for keys and sections ignored
  // Window00, else the lowest-numbered window; throws PanelError when there is none.
  const PanelWindowConfig& MainWindow() const;
};

// Parses the text of a panel file; `file` names it in messages.
PanelConfig ParsePanelConfig(const std::string& text, const std::string& file);
// Reads and parses a panel file; throws PanelError when it cannot be read.
PanelConfig ReadPanelConfig(const std::string& path);

// The module file for a module name in a gauges folder: <dir>/<name>.so
// (<name>.gau on Windows). Throws std::runtime_error when it is not there.
std::string FindModuleFile(const std::string& module_name, const std::string& gauges_dir);

}  // namespace talvor

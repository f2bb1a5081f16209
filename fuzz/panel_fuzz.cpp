// The panel file reader on any text: a panel, or a PanelError naming the file
// and line. A panel that parses is then loaded into a session of the real
// module, updated once and, when its window is small enough to be quick,
// drawn: positions, sizes and colours of any value must load or be refused
// with a PanelError. Any other exception escapes and is reported.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "emulator/panel_config.h"
#include "emulator/session.h"

namespace {

// Held open for the life of the process, so that each session's load and
// unload of the module does not map it afresh.
const std::string& ModulePath() {
  static const std::string path = [] {
    std::string p = talvor::Session::DefaultModulePath();
    if (::dlopen(p.c_str(), RTLD_NOW) == nullptr) {
      std::fprintf(stderr, "panel_fuzz: cannot load %s: %s\n", p.c_str(), ::dlerror());
      std::abort();
    }
    return p;
  }();
  return path;
}

const std::string& PanelPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("talvor-panel-fuzz-" + std::to_string(::getpid()) + ".cfg")).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    talvor::PanelConfig config = talvor::ParsePanelConfig(text, "fuzz.cfg");
    (void)config.MainWindow();
  } catch (const talvor::PanelError&) {
    return 0;
  }
  {
    std::ofstream out(PanelPath(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  talvor::Session session(ModulePath());
  try {
    session.LoadPanel(PanelPath());
  } catch (const talvor::PanelError&) {
    return 0;
  }
  session.Run(1);
  const talvor::PanelWindow window = session.Window();
#if TALVOR_HAVE_RASTER
  if (int64_t{window.width} * window.height <= 512 * 512) {
    // A gauge within the side limit may still hold more pixels than a
    // picture may: that is refused when it is drawn.
    try {
      (void)session.RenderPanel();
    } catch (const std::exception& e) {
      if (std::string(e.what()).find("exceeds") == std::string::npos) throw;
    }
  }
#endif
  return 0;
}

// The panel file reader on any text: a panel, or a PanelError naming the file
// and line. Any other exception escapes and is reported.
#include <cstdint>
#include <string>

#include "emulator/panel_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    talvor::PanelConfig config = talvor::ParsePanelConfig(text, "fuzz.cfg");
    if (!config.windows.empty()) (void)config.MainWindow();
  } catch (const talvor::PanelError&) {
  }
  return 0;
}

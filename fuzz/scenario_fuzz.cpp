// The scenario reader on any text, parsing only (nothing runs, no file is
// written): a scenario, or a ScenarioParseError naming the line and what was
// expected. Any other exception escapes and is reported.
#include <cstdint>
#include <string>

#include "emulator/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    (void)talvor::ParseScenario(text, "fuzz.scn");
  } catch (const talvor::ScenarioParseError&) {
  }
  return 0;
}

#include "host/host.h"

#if defined(_WIN32)
#include <windows.h>
#include <mmsystem.h>
#undef PlaySound  // mmsystem.h maps it to PlaySoundA, renaming host::PlaySound below
#else
// The host process defines and exports this with C linkage.
extern "C" int sndPlaySoundA(const char* name, uint32_t flags);
#endif

namespace host {

const HOST_PANELS* Panels() {
  for (const IMPORT_ENTRY& entry : ImportTable) {
    if (entry.id == kImportHostPanelsId) return static_cast<const HOST_PANELS*>(entry.table);
    if (entry.id == 0) break;
  }
  return nullptr;
}

void LookupVar(MODULE_VAR& var) {
  const HOST_PANELS* panels = Panels();
  if (panels != nullptr && panels->lookup_var != nullptr) panels->lookup_var(&var);
}

FLOAT64 Read(MODULE_VAR& var) {
  LookupVar(var);
  return var.value;
}

void InitializeVarByName(MODULE_VAR& var, const char* name) {
  const HOST_PANELS* panels = Panels();
  if (panels != nullptr && panels->initialize_var_by_name != nullptr) {
    panels->initialize_var_by_name(&var, name);
  } else {
    var.var_ptr = nullptr;
  }
}

void TriggerKeyEvent(uint32_t event, uint32_t value) {
  const HOST_PANELS* panels = Panels();
  if (panels != nullptr && panels->trigger_key_event != nullptr) panels->trigger_key_event(event, value);
}

void PlaySound(const char* name) { sndPlaySoundA(name, kSoundAsync); }

}  // namespace host

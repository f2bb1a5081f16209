// The module's calls into the host, through the table the host wrote into
// ImportTable. Every call is skipped while the host has not written it yet.
#pragma once

#include "host/records.h"

extern "C" IMPORT_ENTRY ImportTable[2];

namespace host {

// The host's function table, or null before the host has written it.
const HOST_PANELS* Panels();

// Refreshes var->value from the host; leaves it unchanged without a host.
void LookupVar(MODULE_VAR& var);
// Refreshes var and returns its value.
FLOAT64 Read(MODULE_VAR& var);
// Binds var->var_ptr to the host's data for name; null without a host.
void InitializeVarByName(MODULE_VAR& var, const char* name);
void TriggerKeyEvent(uint32_t event, uint32_t value = 0);
// Starts a sound file of the host's folder asynchronously; the result is not read.
void PlaySound(const char* name);

}  // namespace host

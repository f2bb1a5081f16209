// The module's own records of the host variables it reads with lookup_var:
// one record per token for the whole module, shared by every gauge that reads
// that token, each refreshed just before it is read.
#pragma once

#include "host/records.h"

namespace host {

template <uint32_t Token>
inline MODULE_VAR ModuleVar = {Token, nullptr, 0.0};

}  // namespace host

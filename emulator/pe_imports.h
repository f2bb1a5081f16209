// Reading a loaded Windows module's import table, so that the emulator can
// point the module's sound import at its own recorder. Plain byte parsing,
// compiled on every platform so that it is tested against the real .gau.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvor {

// The import address table slots through which a PE image, laid out as the
// loader maps it (each section at its virtual address), calls `function` of
// `dll` imported by name (DLL names compare case-insensitively). Returns the
// slots' offsets in the image; empty when there is none. Every read is
// bounds-checked against image_size: a malformed image gives an empty or
// partial answer, never a read outside it.
std::vector<size_t> FindImportSlots(const uint8_t* image, size_t image_size, const char* dll,
                                    const char* function);

}  // namespace talvor

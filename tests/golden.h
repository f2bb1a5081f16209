// Golden-image comparison for raster tests.
#pragma once

#include <string>

#include "emulator/session.h"

// Compares `image` with tests/golden/<name>.png. A pixel differs when any of
// its four channels is off by more than `tolerance`; the test fails when more
// than `max_bad_fraction` of the pixels differ, or when the sizes disagree.
// On failure it writes golden-diff/<name>.actual.png and <name>.diff.png
// under the build directory. With TALVOR_UPDATE_GOLDEN=1 in the environment
// it writes the reference from `image` instead and passes.
void ExpectMatchesGolden(const talvor::Raster& image, const std::string& name, int tolerance = 8,
                         double max_bad_fraction = 0.002);

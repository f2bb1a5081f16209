// Placeholder until this gauge's artwork is drawn.
#include "resources/artgen/art.h"

namespace art {

void DrawAirspeedArt(Book&) {}

}  // namespace art

// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kMixtureFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kMixtureMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR MixtureGauge;

ELEMENT_STATIC MixtureFace = {{kElementStatic, 0x1605, {0, 0}, {0, 0}, {0, 0}, &MixtureGauge, nullptr, nullptr, kMixtureFaceFailures, 0x83, 0}};
ELEMENT_HEADER* MixtureElements = &MixtureFace.header;

GAUGEHDR MixtureGauge = {kGaugeHeaderVersion, "Mixture Lever", &MixtureElements, 60, kMixtureMouse, nullptr, 0, nullptr, 0};

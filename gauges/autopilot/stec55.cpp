// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kStecFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kStecMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR StecGauge;

ELEMENT_STATIC StecFace = {{kElementStatic, 0x1100, {0, 0}, {0, 0}, {0, 0}, &StecGauge, nullptr, nullptr, kStecFaceFailures, 0x83, 0}};
ELEMENT_HEADER* StecElements = &StecFace.header;

GAUGEHDR StecGauge = {kGaugeHeaderVersion, "S_TEC55", &StecElements, 498, kStecMouse, nullptr, 0, nullptr, 0};

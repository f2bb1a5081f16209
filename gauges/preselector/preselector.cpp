// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kPreselectorFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kPreselectorMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR PreselectorGauge;

ELEMENT_STATIC PreselectorFace = {{kElementStatic, 0x1200, {0, 0}, {0, 0}, {0, 0}, &PreselectorGauge, nullptr, nullptr, kPreselectorFaceFailures, 0x83, 0}};
ELEMENT_HEADER* PreselectorElements = &PreselectorFace.header;

GAUGEHDR PreselectorGauge = {kGaugeHeaderVersion, "jovAltPreselector", &PreselectorElements, 249, kPreselectorMouse, nullptr, 0, nullptr, 0};

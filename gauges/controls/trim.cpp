// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kTrimFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kTrimMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR TrimGauge;

ELEMENT_STATIC TrimFace = {{kElementStatic, 0x1610, {0, 0}, {0, 0}, {0, 0}, &TrimGauge, nullptr, nullptr, kTrimFaceFailures, 0x83, 0}};
ELEMENT_HEADER* TrimElements = &TrimFace.header;

GAUGEHDR TrimGauge = {kGaugeHeaderVersion, "Elevator Trim", &TrimElements, 60, kTrimMouse, nullptr, 0, nullptr, 0};

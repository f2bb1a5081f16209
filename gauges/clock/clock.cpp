// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kClockFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kClockMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR ClockGauge;

ELEMENT_STATIC ClockFace = {{kElementStatic, 0x1500, {0, 0}, {0, 0}, {0, 0}, &ClockGauge, nullptr, nullptr, kClockFaceFailures, 0x83, 0}};
ELEMENT_HEADER* ClockElements = &ClockFace.header;

GAUGEHDR ClockGauge = {kGaugeHeaderVersion, "Davtron 803", &ClockElements, 205, kClockMouse, nullptr, 0, nullptr, 0};

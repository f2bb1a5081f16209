// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kThrottleFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kThrottleMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR ThrottleGauge;

ELEMENT_STATIC ThrottleFace = {{kElementStatic, 0x1600, {0, 0}, {0, 0}, {0, 0}, &ThrottleGauge, nullptr, nullptr, kThrottleFaceFailures, 0x83, 0}};
ELEMENT_HEADER* ThrottleElements = &ThrottleFace.header;

GAUGEHDR ThrottleGauge = {kGaugeHeaderVersion, "Throttle Lever", &ThrottleElements, 89, kThrottleMouse, nullptr, 0, nullptr, 0};

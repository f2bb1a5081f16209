// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kAirspeedFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kAirspeedMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR AirspeedGauge;

ELEMENT_STATIC AirspeedFace = {{kElementStatic, 0x1300, {0, 0}, {0, 0}, {0, 0}, &AirspeedGauge, nullptr, nullptr, kAirspeedFaceFailures, 0x83, 0}};
ELEMENT_HEADER* AirspeedElements = &AirspeedFace.header;

GAUGEHDR AirspeedGauge = {kGaugeHeaderVersion, "Airspeed", &AirspeedElements, 306, kAirspeedMouse, nullptr, 0, nullptr, 0};

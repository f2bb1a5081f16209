// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kSpoilerFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kSpoilerMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR SpoilerGauge;

ELEMENT_STATIC SpoilerFace = {{kElementStatic, 0x1800, {0, 0}, {0, 0}, {0, 0}, &SpoilerGauge, nullptr, nullptr, kSpoilerFaceFailures, 0x83, 0}};
ELEMENT_HEADER* SpoilerElements = &SpoilerFace.header;

GAUGEHDR SpoilerGauge = {kGaugeHeaderVersion, "Spoiler", &SpoilerElements, 78, kSpoilerMouse, nullptr, 0, nullptr, 0};

// Placeholder until this gauge is built: its face alone.
#include "host/records.h"

namespace {

const FAILURE_RECORD kAudioFaceFailures[] = {{0, 0, 0}};
const MOUSERECT kAudioMouse[] = {{kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}};

}  // namespace

extern GAUGEHDR AudioGauge;

ELEMENT_STATIC AudioFace = {{kElementStatic, 0x1700, {0, 0}, {0, 0}, {0, 0}, &AudioGauge, nullptr, nullptr, kAudioFaceFailures, 0x83, 0}};
ELEMENT_HEADER* AudioElements = &AudioFace.header;

GAUGEHDR AudioGauge = {kGaugeHeaderVersion, "GMA340", &AudioElements, 500, kAudioMouse, nullptr, 0, nullptr, 0};

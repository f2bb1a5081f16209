// Spoiler: draws nothing; at every pre-update while the aircraft is on the
// ground it sends the host the spoiler event.
#include <cstdint>

#include "host/catalogue.h"
#include "host/host.h"
#include "host/module_vars.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// -- state --

MODULE_VAR& SpoilerOnGround = host::ModuleVar<VarOnGround>;

// -- callbacks --

void HOSTCALL SpoilerCallback(GAUGEHDR*, int32_t service_id, uint32_t) {
  if (service_id != kServicePreUpdate) return;
  if (host::Read(SpoilerOnGround) != 0.0) host::TriggerKeyEvent(EvtSpoiler, 0);
}

// -- records --

const FAILURE_RECORD kSpoilerFailures[] = {{0, 0, 0}};

// Pure black throughout: with transparency nothing of it is drawn.
ELEMENT_STATIC SpoilerFace = {{kElementStatic, 0x1800, {0, 0}, {0, 0}, {0, 0}, &SpoilerGauge, nullptr, nullptr,
                               kSpoilerFailures, kImageTransparent | kImageErase | kImageBilinear, 0}};
ELEMENT_HEADER* SpoilerElements = &SpoilerFace.header;

// One parent over the whole gauge, without a child.
const MOUSERECT kSpoilerMouse[] = {
    {kMouseParent, {0, 0, 78, 60}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

}  // namespace

// -- header --
GAUGEHDR SpoilerGauge = {kGaugeHeaderVersion, "Spoiler", &SpoilerElements, 78, kSpoilerMouse, SpoilerCallback, 0,
                         nullptr, 0};

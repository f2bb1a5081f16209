// Elevator Trim: the top of a control-stick grip with its thumb trim rocker.
// Holding a side of the rocker trims nose-up or nose-down at every repeat and
// shows the rocker pushed that way for the update; the middle button toggles
// the autopilot.
#include <cstdint>

#include "host/catalogue.h"
#include "host/host.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// -- state --

// Set by a press, cleared at every post-update: each press shows for one update.
int32_t TrimUpPressed = 0;
int32_t TrimDownPressed = 0;

// -- callbacks --

void HOSTCALL TrimCallback(GAUGEHDR*, int32_t service_id, uint32_t) {
  if (service_id != kServicePostUpdate) return;
  TrimUpPressed = 0;
  TrimDownPressed = 0;
}

int32_t HOSTCALL TrimUpPress(PIXPOINT*, uint32_t) {
  TrimUpPressed = 1;
  host::TriggerKeyEvent(EvtElevTrimUp, 0);
  return 0;
}

int32_t HOSTCALL TrimDownPress(PIXPOINT*, uint32_t) {
  TrimDownPressed = 1;
  host::TriggerKeyEvent(EvtElevTrimDown, 0);
  return 0;
}

int32_t HOSTCALL TrimApPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApMaster, 0);
  return 0;
}

// Frame 0 the rocker pushed up (toward the lower left), frame 1 pushed down;
// up wins when both were pressed.
FLOAT64 HOSTCALL TrimSwitchIcon(ELEMENT_HEADER*) {
  if (TrimUpPressed != 0) return 0.0;
  if (TrimDownPressed != 0) return 1.0;
  return -1.0;
}

// -- records --

const FAILURE_RECORD kTrimFailures[] = {{kFailElectricalPanel, kFailActionHide, 0}, {0, 0, 0}};

// The pushed pictures cover the whole face.
ELEMENT_ICON TrimSwitch = {
    {kElementIcon, 0x1611, {0, 0}, {0, 0}, {0, 0}, &TrimGauge, nullptr, nullptr, kTrimFailures,
     kImageTransparent | kImageErase, 0},
    {0, nullptr, 0.0},
    TrimSwitchIcon,
    2,
    0,
    0.0,
    0.0,
};
ELEMENT_HEADER* TrimFaceNext[] = {&TrimSwitch.header, nullptr};
ELEMENT_STATIC TrimFace = {{kElementStatic, 0x1610, {0, 0}, {0, 0}, {0, 0}, &TrimGauge, nullptr, TrimFaceNext,
                            kTrimFailures, kImageTransparent | kImageErase | kImageBilinear, 0}};
ELEMENT_HEADER* TrimElements = &TrimFace.header;

constexpr uint32_t kTrimHelp = 0xAB55;
constexpr uint32_t kApHelp = 0xAB0E;

// Three top-level parents, no outer one.
const MOUSERECT kTrimMouse[] = {
    {kMouseParent, {1, 54, 48, 51}, kCursorNone, kTrimHelp, 0, 0, nullptr, nullptr},  // lower left: nose up
    {kMouseChild, {0, 0, 48, 51}, kCursorUpArrow, 0, kMouseClickRepeat, 0, TrimUpPress, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseParent, {98, 1, 48, 51}, kCursorNone, kTrimHelp, 0, 0, nullptr, nullptr},  // upper right: nose down
    {kMouseChild, {0, 0, 48, 51}, kCursorDownArrow, 0, kMouseClickRepeat, 0, TrimDownPress, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseParent, {49, 25, 48, 51}, kCursorNone, kApHelp, 0, 0, nullptr, nullptr},  // middle: A/P
    {kMouseChild, {0, 0, 48, 51}, kCursorHand, 0, kMouseLeftSingle, 0, TrimApPress, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

}  // namespace

// -- header --
// 60 mm wide by default although the picture is 152 pixels wide.
GAUGEHDR TrimGauge = {kGaugeHeaderVersion, "Elevator Trim", &TrimElements, 60, kTrimMouse, TrimCallback, 0, nullptr, 0};

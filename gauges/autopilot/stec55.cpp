// S_TEC55: the autopilot's mode panel. Six mode buttons and a vertical-speed
// knob that send the host its autopilot events, a display window of mode
// annunciators and a vertical-speed readout that show the host's autopilot
// variables, and a six-second display test each time avionics power comes on.
// The autopilot itself lives in the host.
#include <cstdint>

#include "gauges/readout/vs_readout.h"
#include "host/catalogue.h"
#include "host/convert.h"
#include "host/host.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// ---------------------------------------------------------------------------
// State: shared by every instance of the gauge, fixed initial values, never saved.

int32_t StecNavPressState = 0;  // position in the NAV button's cycle: 0, 1 or 2
int32_t StecTestDone = 0;       // the power-up display test has ended
uint32_t StecTestTicks = 0;     // passes counted by the running test
uint8_t StecTestSeconds = 0;    // elapsed seconds of the running test

// ---------------------------------------------------------------------------
// Callbacks.

void HOSTCALL StecCallback(GAUGEHDR*, int32_t, uint32_t) {}

// Mode buttons and knob: one event each, whatever the power state or the test;
// the host decides what the event does.
int32_t HOSTCALL StecHdgPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApHeadingHold);
  return 0;
}

// NAV steps through its own three-press cycle and never reads the host's
// mode: NAV on, then GPS steering on, then both off.
int32_t HOSTCALL StecNavPress(PIXPOINT*, uint32_t) {
  switch (StecNavPressState) {
    case 0:
      host::TriggerKeyEvent(EvtApNavHoldOn);
      StecNavPressState = 1;
      break;
    case 1:
      host::TriggerKeyEvent(EvtGpsDrivesNavToggle);
      StecNavPressState = 2;
      break;
    default:
      host::TriggerKeyEvent(EvtApNavHoldOff);
      host::TriggerKeyEvent(EvtGpsDrivesNavToggle);
      StecNavPressState = 0;
      break;
  }
  return 0;
}

int32_t HOSTCALL StecAprPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApApproachHold);
  return 0;
}

int32_t HOSTCALL StecRevPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApBackCourseHold);
  return 0;
}

int32_t HOSTCALL StecAltPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApAltitudeHold);
  return 0;
}

int32_t HOSTCALL StecVsPress(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApVsHold);
  return 0;
}

// Called on the click and again at each repeat while the button is held.
int32_t HOSTCALL StecVsKnobUp(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApVsRefInc);
  return 0;
}

int32_t HOSTCALL StecVsKnobDown(PIXPOINT*, uint32_t) {
  host::TriggerKeyEvent(EvtApVsRefDec);
  return 0;
}

FLOAT64 SourceOf(ELEMENT_HEADER* element) { return reinterpret_cast<ELEMENT_ICON*>(element)->source.value; }

constexpr FLOAT64 kHidden = -1.0;

// The test pattern, called once per update: each call is a pass of the test.
// 72 = 4 x 18: at rate 1.0 (rate4 = 4) eighteen passes make a second, fewer
// at higher rates, so the test lasts six simulated seconds.
FLOAT64 HOSTCALL StecSelfTest(ELEMENT_HEADER* element) {
  const uint32_t rate4 = host::SimRateQuarters(SourceOf(element));
  if (StecTestDone != 0) return kHidden;
  StecTestTicks = StecTestTicks + 1u;
  StecTestSeconds = static_cast<uint8_t>(((StecTestTicks * rate4) / 72u) % 60u);
  if (StecTestSeconds > 5) {
    StecTestDone = 1;
    return kHidden;
  }
  return 0.0;
}

// RDY: avionics power reading 0 clears the test, so it runs in full each time
// power comes back. Lit throughout the test.
FLOAT64 HOSTCALL StecReadyLight(ELEMENT_HEADER* element) {
  const int32_t power = host::TruncToInt32(SourceOf(element));
  if (power == 0) {
    StecTestDone = 0;
    StecTestTicks = 0;
    StecTestSeconds = 0;
  }
  if (StecTestDone != 0) return power;
  return 1.0;
}

// The mode annunciators: every one lit during the test, then the host's token.
FLOAT64 HOSTCALL StecAnnunciator(ELEMENT_HEADER* element) {
  if (StecTestDone != 0) return SourceOf(element);
  return 1.0;
}

FLOAT64 HOSTCALL StecVsSign(ELEMENT_HEADER* element) { return readout::VsSign(SourceOf(element)); }
FLOAT64 HOSTCALL StecVsThousands(ELEMENT_HEADER* element) { return readout::VsThousands(SourceOf(element)); }
FLOAT64 HOSTCALL StecVsHundreds(ELEMENT_HEADER* element) { return readout::VsHundreds(SourceOf(element)); }

// ---------------------------------------------------------------------------
// Records.

const FAILURE_RECORD kStecFaceFailures[] = {{0, 0, 0}};
const FAILURE_RECORD kStecIconFailures[] = {
    {kFailElectricalPanel, kFailActionHide, 0},
    {kFailAvionics, kFailActionHide, 0},
    {0, 0, 0},
};

constexpr uint32_t kStecFaceFlags = kImageBilinear | kImageErase | kImageTransparent;  // 0x83
constexpr uint32_t kStecIconFlags = kImageErase | kImageTransparent;                   // 0x3

constexpr ELEMENT_ICON StecIcon(uint32_t bitmap, uint32_t frames, PIXPOINT position, uint32_t token,
                                VALUE_CALLBACK callback, ELEMENT_HEADER** next) {
  return {{kElementIcon, bitmap, position, {0, 0}, {0, 0}, &StecGauge, nullptr, next, kStecIconFailures,
           kStecIconFlags, 0},
          {token, nullptr, 0.0},
          callback,
          frames,
          0,
          0.0,
          0.0};
}

// The element tree is a chain: each element's list holds the next row.
extern ELEMENT_HEADER* StecChain[13][2];

ELEMENT_STATIC StecFace = {{kElementStatic, 0x1100, {0, 0}, {0, 0}, {0, 0}, &StecGauge, nullptr, StecChain[0],
                            kStecFaceFailures, kStecFaceFlags, 0}};

// In drawing order. The test pattern covers the readout, GPSS and REV and
// lies under the other seven annunciators, which match its legends.
ELEMENT_ICON StecIcons[13] = {
    //       bitmap  frames  position     source token          value callback   next
    StecIcon(0x11b0, 3,      {427, 29},   VarApVsRef,           StecVsSign,      StecChain[1]),   // readout sign
    StecIcon(0x11a0, 10,     {455, 29},   VarApVsRef,           StecVsHundreds,  StecChain[2]),   // hundreds digit
    StecIcon(0x11a0, 10,     {440, 29},   VarApVsRef,           StecVsThousands, StecChain[3]),   // thousands digit
    StecIcon(0x1190, 2,      {203, 28},   VarGpsDrivesNav,      StecAnnunciator, StecChain[4]),   // GPSS
    StecIcon(0x1180, 2,      {221, 32},   VarApBackCourseLock,  StecAnnunciator, StecChain[5]),   // REV
    StecIcon(0x1102, 1,      {29, 24},    VarSimRate,           StecSelfTest,    StecChain[6]),   // test pattern
    StecIcon(0x1170, 2,      {396, 32},   VarApVsLock,          StecAnnunciator, StecChain[7]),   // VS
    StecIcon(0x1160, 2,      {366, 32},   VarApGlideslopeLock,  StecAnnunciator, StecChain[8]),   // GS
    StecIcon(0x1150, 2,      {325, 32},   VarApAltitudeLock,    StecAnnunciator, StecChain[9]),   // ALT
    StecIcon(0x1140, 2,      {153, 32},   VarApApproachLock,    StecAnnunciator, StecChain[10]),  // APR
    StecIcon(0x1130, 2,      {96, 32},    VarApNavLock,         StecAnnunciator, StecChain[11]),  // NAV
    StecIcon(0x1120, 2,      {76, 27},    VarAvionicsMaster,    StecReadyLight,  StecChain[12]),  // RDY
    StecIcon(0x1110, 2,      {36, 32},    VarApHeadingLock,     StecAnnunciator, nullptr),        // HDG
};

ELEMENT_HEADER* StecChain[13][2] = {
    {&StecIcons[0].header, nullptr},  {&StecIcons[1].header, nullptr},  {&StecIcons[2].header, nullptr},
    {&StecIcons[3].header, nullptr},  {&StecIcons[4].header, nullptr},  {&StecIcons[5].header, nullptr},
    {&StecIcons[6].header, nullptr},  {&StecIcons[7].header, nullptr},  {&StecIcons[8].header, nullptr},
    {&StecIcons[9].header, nullptr},  {&StecIcons[10].header, nullptr}, {&StecIcons[11].header, nullptr},
    {&StecIcons[12].header, nullptr},
};

ELEMENT_HEADER* StecRoot = &StecFace.header;

constexpr MOUSERECT StecParent(PIXBOX box, uint32_t help_id) {
  return {kMouseParent, box, kCursorNone, help_id, 0, 0, nullptr, nullptr};
}
constexpr MOUSERECT StecChild(PIXBOX box, int32_t cursor, uint32_t flags, MOUSE_FUNCTION function) {
  return {kMouseChild, box, cursor, 0, flags, 0, function, nullptr};
}
constexpr MOUSERECT StecEnd(uint32_t type) { return {type, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr}; }

const MOUSERECT kStecMouse[] = {
    StecParent({0, 0, 0, 0}, 0),  // the whole gauge
    StecParent({32, 72, 37, 30}, 0xAD87),  // HDG
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecHdgPress),
    StecEnd(kMouseEndParent),
    StecParent({101, 75, 37, 30}, 0xAD85),  // NAV
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecNavPress),
    StecEnd(kMouseEndParent),
    StecParent({165, 75, 37, 30}, 0xAD83),  // APR
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecAprPress),
    StecEnd(kMouseEndParent),
    StecParent({233, 75, 37, 30}, 0xAD82),  // REV
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecRevPress),
    StecEnd(kMouseEndParent),
    StecParent({298, 75, 37, 30}, 0xAD8C),  // ALT
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecAltPress),
    StecEnd(kMouseEndParent),
    StecParent({365, 75, 37, 30}, 0xAD8A),  // VS
    StecChild({0, 0, 37, 30}, kCursorHand, kMouseLeftSingle, StecVsPress),
    StecEnd(kMouseEndParent),
    StecParent({426, 67, 50, 46}, 0xAD94),  // VS knob
    StecChild({25, 0, 25, 46}, kCursorUpArrow, kMouseClickRepeat, StecVsKnobUp),      // right half
    StecChild({0, 0, 25, 46}, kCursorDownArrow, kMouseClickRepeat, StecVsKnobDown),  // left half
    StecEnd(kMouseEndParent),
    StecEnd(kMouseEndParent),  // the whole gauge
    StecEnd(kMouseEnd),
};

}  // namespace

// ---------------------------------------------------------------------------
// Header.

GAUGEHDR StecGauge = {kGaugeHeaderVersion, "S_TEC55", &StecRoot, 498, kStecMouse, StecCallback, 0, nullptr, 0};

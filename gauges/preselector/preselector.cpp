// jovAltPreselector: the altitude preselector and alerter. Its knob steps the
// host's altitude reference, vertical-speed reference or altimeter setting by
// mode, or its own decision height; it chimes around the altitude reference and
// the decision height, and runs a display test each time avionics power comes on.
#include <cstdint>
#include <limits>

#include "gauges/readout/vs_readout.h"
#include "host/catalogue.h"
#include "host/convert.h"
#include "host/host.h"
#include "host/module_vars.h"
#include "host/records.h"

namespace {

// ---------------------------------------------------------------------------
// State, shared by every instance of the gauge.

enum PreselectorModes : int32_t {
  kModeVs = 1,
  kModeAlt = 2,
  kModeBaro = 4,
  kModeDh = 5,
};

enum PreselectorBaroUnits : int32_t {
  kUnitHg = 1,
  kUnitMb = 2,
};

int32_t PreselectorMode = kModeBaro;
int32_t ReturnMode = kModeBaro;
int32_t BaroUnit = kUnitHg;
float DataEntry = 1.0f;
int32_t AltAlertArmed = 0;
int32_t DhAlertArmed = 0;
int32_t DecisionHeight = 0;
int32_t PreselectorTestDone = 0;
uint32_t PreselectorTestTicks = 0;
uint8_t PreselectorTestSeconds = 0;

// The host's variables this gauge reads itself, each refreshed just before it is read.
MODULE_VAR& PreselectorAvionicsMaster = host::ModuleVar<VarAvionicsMaster>;
MODULE_VAR& PreselectorAltitudeMeters = host::ModuleVar<VarAltitudeMeters>;
MODULE_VAR& PreselectorAltitudeRef = host::ModuleVar<VarApAltitudeRef>;
MODULE_VAR& PreselectorKohlsmanHg = host::ModuleVar<VarKohlsmanHg>;
MODULE_VAR& PreselectorKohlsmanMb = host::ModuleVar<VarKohlsmanMb>;
MODULE_VAR& PreselectorVsRef = host::ModuleVar<VarApVsRef>;

constexpr const char* kPreselectorChime = "Sound\\dingdong.wav";
constexpr double kFeetPerMetre = 3.28083;
constexpr int32_t kDecisionHeightStep = 100;
constexpr double kHidden = -1.0;

// ---------------------------------------------------------------------------
// Callbacks.

void HOSTCALL PreselectorCallback(GAUGEHDR*, int32_t, uint32_t) {}

// The knob.

void PreselectorKnob(bool up) {
  if (DataEntry != 1.0f) {
    host::TriggerKeyEvent(up ? EvtApVsRefInc : EvtApVsRefDec);
    return;
  }
  switch (PreselectorMode) {
    case kModeVs:
      host::TriggerKeyEvent(up ? EvtApVsRefInc : EvtApVsRefDec);
      break;
    case kModeAlt:
      host::TriggerKeyEvent(up ? EvtApAltRefInc : EvtApAltRefDec);
      break;
    case kModeBaro:
      host::TriggerKeyEvent(up ? EvtKohlsmanInc : EvtKohlsmanDec);
      break;
    case kModeDh:
      if (up) {
        // No upper limit but the integer's own: the last step that still fits is taken.
        if (DecisionHeight <= std::numeric_limits<int32_t>::max() - kDecisionHeightStep) {
          DecisionHeight += kDecisionHeightStep;
        }
      } else if (DecisionHeight > 0) {
        DecisionHeight -= kDecisionHeightStep;
      }
      break;
    default:
      break;
  }
}

int32_t HOSTCALL PreselectorKnobDown(PIXPOINT*, uint32_t) {
  PreselectorKnob(false);
  return 0;
}

int32_t HOSTCALL PreselectorKnobUp(PIXPOINT*, uint32_t) {
  PreselectorKnob(true);
  return 0;
}

// The buttons.

int32_t HOSTCALL PreselectorAltPress(PIXPOINT*, uint32_t) {
  PreselectorMode = kModeAlt;
  ReturnMode = kModeAlt;
  return 0;
}

int32_t HOSTCALL PreselectorVsPress(PIXPOINT*, uint32_t) {
  PreselectorMode = kModeVs;
  ReturnMode = kModeVs;
  return 0;
}

int32_t HOSTCALL PreselectorDtaPress(PIXPOINT*, uint32_t) {
  DataEntry = DataEntry == 0.0f ? 1.0f : 0.0f;
  return 0;
}

// Every press flips the unit, the one that enters BARO mode included.
int32_t HOSTCALL PreselectorBarPress(PIXPOINT*, uint32_t) {
  BaroUnit = BaroUnit == kUnitHg ? kUnitMb : kUnitHg;
  PreselectorMode = kModeBaro;
  ReturnMode = kModeBaro;
  return 0;
}

int32_t HOSTCALL PreselectorAlrPress(PIXPOINT*, uint32_t) {
  AltAlertArmed = AltAlertArmed == 0 ? 1 : 0;
  return 0;
}

// Arming shows the decision height; disarming goes back to the mode last chosen
// with ALT, VS or BAR.
int32_t HOSTCALL PreselectorDhPress(PIXPOINT*, uint32_t) {
  DhAlertArmed = DhAlertArmed == 0 ? 1 : 0;
  PreselectorMode = DhAlertArmed != 0 ? static_cast<int32_t>(kModeDh) : ReturnMode;
  return 0;
}

// The power-up display test and its power watch.

FLOAT64 HOSTCALL PreselectorSelfTest(ELEMENT_HEADER* element) {
  const uint32_t rate4 = host::SimRateQuarters(reinterpret_cast<ELEMENT_ICON*>(element)->source.value);
  const FLOAT64 power = host::Read(PreselectorAvionicsMaster);
  if (PreselectorTestDone != 0 || power == 0.0) return kHidden;
  PreselectorTestTicks += 1;
  PreselectorTestSeconds = static_cast<uint8_t>((PreselectorTestTicks * rate4) / 72u % 60u);
  if (PreselectorTestSeconds > 5) {
    host::PlaySound(kPreselectorChime);
    PreselectorTestDone = 1;
    PreselectorTestTicks = 0;
    PreselectorTestSeconds = 0;
    return kHidden;
  }
  return 0.0;
}

FLOAT64 HOSTCALL PreselectorPowerWatch(ELEMENT_HEADER* element) {
  if (host::TruncToInt32(reinterpret_cast<ELEMENT_ICON*>(element)->source.value) == 0) {
    PreselectorTestDone = 0;
    PreselectorTestTicks = 0;
    PreselectorTestSeconds = 0;
  }
  return kHidden;
}

// The alerts: exact equalities, tested at every update of their annunciator.

int32_t PreselectorAltitudeFeet() {
  return host::TruncToInt32(host::Read(PreselectorAltitudeMeters) * kFeetPerMetre);
}

bool PreselectorAlertsReady(FLOAT64 power) { return PreselectorTestDone != 0 && power == 1.0; }

FLOAT64 HOSTCALL AltAlertLight(ELEMENT_HEADER*) {
  const double feet = PreselectorAltitudeFeet();
  const FLOAT64 power = host::Read(PreselectorAvionicsMaster);
  const FLOAT64 ref = host::Read(PreselectorAltitudeRef);
  if (AltAlertArmed == 0 || !PreselectorAlertsReady(power)) return 0.0;
  if (feet == ref - 300.0 || feet == ref + 300.0 || feet == ref - 1000.0 || feet == ref + 1000.0) {
    host::PlaySound(kPreselectorChime);
  }
  return 1.0;
}

FLOAT64 HOSTCALL DhAlertLight(ELEMENT_HEADER*) {
  // 64-bit sums: the decision height may stand within 50 ft of the integer's limit.
  const int64_t feet = PreselectorAltitudeFeet();
  const FLOAT64 power = host::Read(PreselectorAvionicsMaster);
  if (DhAlertArmed == 0 || !PreselectorAlertsReady(power)) return 0.0;
  if (feet == int64_t{DecisionHeight} - 50 || feet == int64_t{DecisionHeight} + 50) {
    host::PlaySound(kPreselectorChime);
  }
  return 1.0;
}

// The left display: two digits, the fixed point, one digit.

// The altitude reference or the decision height in thousands of feet, v its
// 64-bit value and f the same as a 32-bit float. Products of whole parts are
// taken in 64 bits, so no reference the host can hold overflows them.
FLOAT64 ThousandsDigit1(double v, float f) {
  if (v < 10000.0) return kHidden;
  return f / 10000.0f;
}

FLOAT64 ThousandsDigit2(double v, float f) {
  const int64_t tens = int64_t{10000} * host::TruncToInt32(v / 10000.0);
  return (f - static_cast<float>(tens)) / 1000.0f;
}

FLOAT64 ThousandsDigit3(double v, float f) {
  const int64_t thousands = int64_t{1000} * host::TruncToInt32(v / 1000.0);
  return (f - static_cast<float>(thousands)) / 100.0f;
}

// The millibars modulo 100, as a 32-bit float.
float MillibarsModHundred() {
  const double v = host::Read(PreselectorKohlsmanMb);
  const float f = host::ToFloat(v);
  return f - static_cast<float>(int64_t{100} * host::TruncToInt32(v / 100.0));
}

using ThousandsDigit = FLOAT64 (*)(double, float);

FLOAT64 LeftDigit(ThousandsDigit thousands, FLOAT64 (*inches)(), FLOAT64 (*millibars)()) {
  switch (PreselectorMode) {
    case kModeVs:
    case kModeAlt: {
      const double v = host::Read(PreselectorAltitudeRef);
      return thousands(v, host::ToFloat(v));
    }
    case kModeDh:
      return thousands(static_cast<double>(DecisionHeight), static_cast<float>(DecisionHeight));
    case kModeBaro:
      return BaroUnit == kUnitHg ? inches() : millibars();
    default:
      return kHidden;
  }
}

FLOAT64 InchesDigit1() { return host::Read(PreselectorKohlsmanHg) / 10.0; }

FLOAT64 InchesDigit2() {
  const double v = host::Read(PreselectorKohlsmanHg);
  return host::ToFloat(v) - static_cast<float>(int64_t{10} * host::TruncToInt32(v / 10.0));
}

FLOAT64 InchesDigit3() {
  const double v = host::Read(PreselectorKohlsmanHg);
  return (host::ToFloat(v) - static_cast<float>(host::TruncToInt32(v))) * 10.0f;
}

FLOAT64 MillibarsDigit1() { return MillibarsModHundred() / 10.0f; }

FLOAT64 MillibarsDigit2() {
  const float r = MillibarsModHundred();
  return r - static_cast<float>(int64_t{10} * host::TruncToInt32(r / 10.0f));
}

FLOAT64 MillibarsDigit3() {
  const float r = MillibarsModHundred();
  return (r - static_cast<float>(host::TruncToInt32(r))) * 10.0f;
}

FLOAT64 HOSTCALL LeftDigit1(ELEMENT_HEADER*) { return LeftDigit(ThousandsDigit1, InchesDigit1, MillibarsDigit1); }
FLOAT64 HOSTCALL LeftDigit2(ELEMENT_HEADER*) { return LeftDigit(ThousandsDigit2, InchesDigit2, MillibarsDigit2); }
FLOAT64 HOSTCALL LeftDigit3(ELEMENT_HEADER*) { return LeftDigit(ThousandsDigit3, InchesDigit3, MillibarsDigit3); }

// The right display: the vertical-speed reference in hundreds, in every mode.

FLOAT64 HOSTCALL VsSign(ELEMENT_HEADER*) { return readout::VsSign(host::Read(PreselectorVsRef)); }
FLOAT64 HOSTCALL VsDigitThousands(ELEMENT_HEADER*) { return readout::VsThousands(host::Read(PreselectorVsRef)); }
FLOAT64 HOSTCALL VsDigitHundreds(ELEMENT_HEADER*) { return readout::VsHundreds(host::Read(PreselectorVsRef)); }

// The annunciators.

FLOAT64 AfterTest(FLOAT64 value) { return PreselectorTestDone != 0 ? value : kHidden; }

FLOAT64 HOSTCALL EntLight(ELEMENT_HEADER*) { return AfterTest(DataEntry); }
FLOAT64 HOSTCALL AltModeLight(ELEMENT_HEADER*) { return AfterTest(PreselectorMode == kModeAlt ? 1.0 : 0.0); }
FLOAT64 HOSTCALL VsModeLight(ELEMENT_HEADER*) { return AfterTest(PreselectorMode == kModeVs ? 1.0 : 0.0); }
FLOAT64 HOSTCALL BaroModeLight(ELEMENT_HEADER*) { return AfterTest(PreselectorMode == kModeBaro ? 1.0 : 0.0); }

FLOAT64 HOSTCALL BaroUnitLight(ELEMENT_HEADER*) {
  return PreselectorMode == kModeBaro ? static_cast<FLOAT64>(BaroUnit - 1) : kHidden;
}

// The text elements: each returns its value; the module writes no text.

float StringSource(ELEMENT_HEADER* element) {
  return host::ToFloat(reinterpret_cast<ELEMENT_STRING*>(element)->sources[0].value);
}

FLOAT64 HOSTCALL BaroString(ELEMENT_HEADER* element) { return StringSource(element); }

FLOAT64 HOSTCALL AltRefString(ELEMENT_HEADER* element) {
  const float ref = StringSource(element);
  const FLOAT64 power = host::Read(PreselectorAvionicsMaster);
  const bool altitude_mode = PreselectorMode == kModeVs || PreselectorMode == kModeAlt;
  if (altitude_mode && PreselectorTestDone != 0 && power == 1.0) return ref / 1000.0f;
  return ref;
}

FLOAT64 HOSTCALL VsRefString(ELEMENT_HEADER* element) { return StringSource(element) / 100.0f; }

// ---------------------------------------------------------------------------
// Records.

constexpr uint32_t kIconFlags = kImageTransparent | kImageErase;
constexpr uint32_t kFaceFlags = kImageBilinear | kImageTransparent | kImageErase;

const MOUSERECT kPreselectorMouse[] = {
    {kMouseParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseChild, {209, 47, 12, 12}, kCursorDownArrow, 0, kMouseClickRepeat, 0, PreselectorKnobDown, nullptr},
    {kMouseChild, {235, 47, 12, 12}, kCursorUpArrow, 0, kMouseClickRepeat, 0, PreselectorKnobUp, nullptr},
    {kMouseChild, {34, 92, 24, 12}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorAltPress, nullptr},
    {kMouseChild, {147, 92, 24, 12}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorVsPress, nullptr},
    {kMouseChild, {7, 33, 31, 16}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorDtaPress, nullptr},
    {kMouseChild, {7, 62, 31, 16}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorBarPress, nullptr},
    {kMouseChild, {68, 92, 24, 12}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorAlrPress, nullptr},
    {kMouseChild, {104, 92, 24, 12}, kCursorHand, 0, kMouseLeftSingle, 0, PreselectorDhPress, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

const FAILURE_RECORD kPreselectorFaceFailures[] = {{0, 0, 0}};
const FAILURE_RECORD kPreselectorFailures[] = {
    {kFailElectricalPanel, kFailActionHide, 0},
    {kFailAvionics, kFailActionZero, 0},
    {0, 0, 0},
};
const FAILURE_RECORD kPreselectorPatternFailures[] = {
    {kFailElectricalPanel, kFailActionHide, 0},
    {kFailAvionics, kFailActionHide, 0},
    {0, 0, 0},
};

constexpr uint32_t kStringText = 0x00010101;        // RGB(1,1,1)
constexpr uint32_t kStringBackground = 0x00408080;  // RGB(128,128,64)
constexpr uint32_t kStringHighlight = 0x00000000;
constexpr uint32_t kStringWeight = 400;
constexpr uint32_t kStringCharset = 1;
constexpr uint32_t kStringDrawFlags = 6;  // right-aligned, vertically centred

}  // namespace

extern GAUGEHDR PreselectorGauge;

namespace {

// The element chain in drawing order: the face is the root and each element's
// list names the element of the next row.
extern ELEMENT_STATIC PreselectorFace;
extern ELEMENT_ICON PreselectorDh, PreselectorAlr, PreselectorUnit, PreselectorVsSign, PreselectorVsThousands,
    PreselectorVsHundreds, PreselectorLeft3, PreselectorLeft2, PreselectorLeft1;
extern ELEMENT_STATIC PreselectorPoint;
extern ELEMENT_ICON PreselectorPower, PreselectorPattern, PreselectorVsMode, PreselectorBaroMode, PreselectorAltMode,
    PreselectorEnt;
extern ELEMENT_STRING PreselectorBaroText, PreselectorAltRefText, PreselectorVsText;

#define PRESELECTOR_NEXT(name, next) ELEMENT_HEADER* name##Next[] = {&(next).header, nullptr}

#define PRESELECTOR_STATIC(name, bitmap, x, y, failures, next)                                                 \
  PRESELECTOR_NEXT(name, next);                                                                               \
  ELEMENT_STATIC name = {                                                                                     \
      {kElementStatic, bitmap, {x, y}, {0, 0}, {0, 0}, &PreselectorGauge, nullptr, name##Next, failures, kFaceFlags, 0}}

#define PRESELECTOR_ICON(name, bitmap, frames, x, y, token, callback, failures, next)                          \
  PRESELECTOR_NEXT(name, next);                                                                               \
  ELEMENT_ICON name = {                                                                                       \
      {kElementIcon, bitmap, {x, y}, {0, 0}, {0, 0}, &PreselectorGauge, nullptr, name##Next, failures, kIconFlags, 0}, \
      {token, nullptr, 0.0}, callback, frames, 0, 0.0, 0.0}

#define PRESELECTOR_STRING(name, x, y, w, h, chars, token1, token2, callback, next_list)                       \
  ELEMENT_STRING name = {                                                                                     \
      {kElementString, kStringBitmapId, {x, y}, {0, 0}, {0, 0}, &PreselectorGauge, nullptr, next_list,          \
       kPreselectorFailures, kFaceFlags, 0},                                                                  \
      {{token1, nullptr, 0.0}, {token2, nullptr, 0.0}, {0, nullptr, 0.0}},                                    \
      callback, {w, h}, kStringText, kStringBackground, kStringHighlight, "Quartz", kStringWeight,             \
      kStringCharset, kStringDrawFlags, chars}

//                 element                  bitmap frames  x    y   source             callback               failures                     next
PRESELECTOR_STATIC(PreselectorFace,         0x1200,        0,   0,                                            kPreselectorFaceFailures,    PreselectorDh);
PRESELECTOR_ICON(PreselectorDh,             0x12a0, 2,   128,  58,  0,                 DhAlertLight,          kPreselectorFailures,        PreselectorAlr);
PRESELECTOR_ICON(PreselectorAlr,            0x1290, 2,   100,  58,  0,                 AltAlertLight,         kPreselectorFailures,        PreselectorUnit);
PRESELECTOR_ICON(PreselectorUnit,           0x1280, 2,    52,  45,  0,                 BaroUnitLight,         kPreselectorFailures,        PreselectorVsSign);
PRESELECTOR_ICON(PreselectorVsSign,         0x1270, 3,   149,  32,  0,                 VsSign,                kPreselectorFailures,        PreselectorVsThousands);
PRESELECTOR_ICON(PreselectorVsThousands,    0x1250, 10,  163,  32,  0,                 VsDigitThousands,      kPreselectorFailures,        PreselectorVsHundreds);
PRESELECTOR_ICON(PreselectorVsHundreds,     0x1250, 10,  181,  32,  0,                 VsDigitHundreds,       kPreselectorFailures,        PreselectorLeft3);
PRESELECTOR_ICON(PreselectorLeft3,          0x1250, 10,  125,  32,  0,                 LeftDigit3,            kPreselectorFailures,        PreselectorLeft2);
PRESELECTOR_ICON(PreselectorLeft2,          0x1250, 10,   94,  32,  0,                 LeftDigit2,            kPreselectorFailures,        PreselectorLeft1);
PRESELECTOR_ICON(PreselectorLeft1,          0x1250, 10,   75,  32,  0,                 LeftDigit1,            kPreselectorFailures,        PreselectorPoint);
PRESELECTOR_STATIC(PreselectorPoint,        0x1260,      115,  48,                                            kPreselectorFailures,        PreselectorPower);
PRESELECTOR_ICON(PreselectorPower,          0x1230, 2,   167,  58,  VarAvionicsMaster, PreselectorPowerWatch, kPreselectorFailures,        PreselectorPattern);
PRESELECTOR_ICON(PreselectorPattern,        0x1202, 1,    51,  31,  VarSimRate,        PreselectorSelfTest,   kPreselectorPatternFailures, PreselectorVsMode);
PRESELECTOR_ICON(PreselectorVsMode,         0x1240, 2,   147,  58,  0,                 VsModeLight,           kPreselectorFailures,        PreselectorBaroMode);
PRESELECTOR_ICON(PreselectorBaroMode,       0x1230, 2,   167,  58,  0,                 BaroModeLight,         kPreselectorFailures,        PreselectorAltMode);
PRESELECTOR_ICON(PreselectorAltMode,        0x1220, 2,    51,  58,  0,                 AltModeLight,          kPreselectorFailures,        PreselectorEnt);
PRESELECTOR_ICON(PreselectorEnt,            0x1210, 2,    52,  31,  0,                 EntLight,              kPreselectorFailures,        PreselectorBaroText);

//                 element                  x    y   w   h  chars  sources                               callback      next
PRESELECTOR_NEXT(PreselectorBaroText, PreselectorAltRefText);
PRESELECTOR_STRING(PreselectorBaroText,     75,  24, 70, 50, 4,    VarKohlsmanHg,    0,                 BaroString,   PreselectorBaroTextNext);
PRESELECTOR_NEXT(PreselectorAltRefText, PreselectorVsText);
PRESELECTOR_STRING(PreselectorAltRefText,   75,  24, 70, 50, 4,    VarApAltitudeRef, 0,                 AltRefString, PreselectorAltRefTextNext);
PRESELECTOR_STRING(PreselectorVsText,      147,  24, 50, 50, 3,    VarApVsRef,       VarPreselectorAux, VsRefString,  nullptr);

#undef PRESELECTOR_STRING
#undef PRESELECTOR_ICON
#undef PRESELECTOR_STATIC
#undef PRESELECTOR_NEXT

ELEMENT_HEADER* PreselectorElements = &PreselectorFace.header;

}  // namespace

GAUGEHDR PreselectorGauge = {kGaugeHeaderVersion, "jovAltPreselector", &PreselectorElements, 249,
                             kPreselectorMouse, PreselectorCallback, 0, nullptr, 0};

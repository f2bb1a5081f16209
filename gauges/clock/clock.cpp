// Davtron 803: a digital clock. The upper window shows the bus voltage or the
// outside air temperature (F or C); the lower window UTC, local time, a flight
// timer or an elapsed timer. The timers count changes of the host's local-clock
// second, stepped by the first lower digit each time the host evaluates it.
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/catalogue.h"
#include "host/convert.h"
#include "host/host.h"
#include "host/module_vars.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// ---- State ------------------------------------------------------------------

enum : int32_t { kUpperVolts = 1, kUpperFahrenheit = 2, kUpperCelsius = 3 };
enum : int32_t { kLowerUtc = 1, kLowerLocal = 2, kLowerFlight = 3, kLowerElapsed = 4 };

int32_t ClockUpperMode = kUpperVolts;
int32_t ClockLowerMode = kLowerLocal;

int32_t FlightSeconds = 0;
int32_t FlightLastSecond = 0;
int32_t FlightSecondSeeded = 0;

int32_t ElapsedSeconds = 0;
int32_t ElapsedLastSecond = 0;
int32_t ElapsedRunning = 0;
int32_t ElapsedResetPending = 0;

int32_t FlightSplitHours = 0;
int32_t FlightSplitMinutes = 0;
int32_t FlightSplitSeconds = 0;
int32_t ElapsedSplitHours = 0;
int32_t ElapsedSplitMinutes = 0;
int32_t ElapsedSplitSeconds = 0;

int32_t FlightHoursShown = 0;   // never cleared
int32_t ElapsedHoursShown = 0;  // cleared with the elapsed timer

// The host tokens this gauge reads, each refreshed right before it is read.
MODULE_VAR& ClockHourVar = host::ModuleVar<VarClockHour>;
MODULE_VAR& ClockMinuteVar = host::ModuleVar<VarClockMinute>;
MODULE_VAR& ClockSecondVar = host::ModuleVar<VarClockSecond>;
MODULE_VAR& ZuluHourVar = host::ModuleVar<VarZuluHour>;
MODULE_VAR& ZuluMinuteVar = host::ModuleVar<VarZuluMinute>;
MODULE_VAR& OnGroundVar = host::ModuleVar<VarOnGround>;
MODULE_VAR& BusVoltageVar = host::ModuleVar<VarBusVoltage>;
MODULE_VAR& OutsideAirTempVar = host::ModuleVar<VarOutsideAirTemp>;

constexpr float kHidden = -1.0f;

// ---- Callbacks --------------------------------------------------------------

// The current second: the local-clock second as last refreshed, truncated.
int32_t CurrentSecond() { return host::TruncToInt32(ClockSecondVar.value); }

// A counter that stops at its limit: no host clock can make it wrap.
void CountOne(int32_t& counter) {
  if (counter < std::numeric_limits<int32_t>::max()) ++counter;
}

// Digits are worked out in 32-bit float. An x87 build may keep excess
// precision in registers; a store through memory narrows on every target.
float Narrow(double value) {
  volatile float narrowed = host::ToFloat(value);
  return narrowed;
}

// What a lower cell shows for its integer rule: a value of 10 or more keeps
// its last digit (hours and minutes show their last two digits, so a timer
// rolls over at 100 hours); a negative value leaves the cell dark.
FLOAT64 LowerCell(int32_t value) {
  if (value < 0) return kHidden;
  return static_cast<FLOAT64>(value % 10);
}

// What an upper cell shows. The window has two whole digits and no sign:
// a reading of 100 or more pegs every cell at 9 (99.9), a negative or NaN
// cell is dark, and a second or third cell that the 32-bit narrowing has
// carried to 10 (27.99999999 V) shows the 0 the whole figure moved to.
FLOAT64 UpperCell(double reading, double cell) {
  if (std::isnan(reading) || std::isnan(cell)) return kHidden;
  if (Narrow(reading) >= 100.0f) return 9.0f;
  const float v = Narrow(cell);
  if (v < 0.0f) return kHidden;
  if (v >= 10.0f) return std::fmod(v, 10.0f);
  return v;
}

// The counting step, run first by every evaluation of ClockLowerDigit1.
void ClockTimerStep() {
  host::LookupVar(ClockHourVar);
  host::LookupVar(ClockSecondVar);
  host::LookupVar(ZuluHourVar);
  host::LookupVar(OnGroundVar);
  const int32_t s = CurrentSecond();

  if (ElapsedRunning == 1 && ElapsedResetPending == 0) {
    if (s != ElapsedLastSecond) {
      CountOne(ElapsedSeconds);
      ElapsedLastSecond = s;
    }
  } else if (ElapsedResetPending == 1) {
    ElapsedSeconds = 0;
    ElapsedResetPending = 0;
    ElapsedRunning = 0;
    ElapsedHoursShown = 0;
  }

  if (OnGroundVar.value == 0.0 && s != FlightLastSecond) {
    CountOne(FlightSeconds);
    FlightLastSecond = s;
  }
}

// Splits the shown timer into hours, minutes and seconds; its hours flag is
// set at the first whole hour.
void ClockTimerSplit(int32_t n, int32_t& hours, int32_t& minutes, int32_t& seconds, int32_t& hours_shown) {
  seconds = n % 60;
  minutes = (n / 60) % 60;
  hours = n / 3600;
  if (hours > 0) hours_shown = 1;
}

struct LowerTime {
  int32_t h;
  int32_t m;
};

// UT and LT from the hour and minute records as last refreshed.
LowerTime WallClock() {
  if (ClockLowerMode == kLowerUtc) {
    int32_t h = host::TruncToInt32(ZuluHourVar.value);
    if (h < 0) h += 24;
    return {h, host::TruncToInt32(ZuluMinuteVar.value)};
  }
  return {host::TruncToInt32(ClockHourVar.value), host::TruncToInt32(ClockMinuteVar.value)};
}

bool ShowingTimer() { return ClockLowerMode == kLowerFlight || ClockLowerMode == kLowerElapsed; }

// The shown timer as (first pair, second pair): minutes and seconds until its
// hours flag is set, hours and minutes from then on.
LowerTime TimerPairs() {
  const bool flight = ClockLowerMode == kLowerFlight;
  const int32_t hours_shown = flight ? FlightHoursShown : ElapsedHoursShown;
  const int32_t hours = flight ? FlightSplitHours : ElapsedSplitHours;
  const int32_t minutes = flight ? FlightSplitMinutes : ElapsedSplitMinutes;
  const int32_t seconds = flight ? FlightSplitSeconds : ElapsedSplitSeconds;
  return hours_shown ? LowerTime{hours, minutes} : LowerTime{minutes, seconds};
}

FLOAT64 HOSTCALL ClockLowerDigit1(ELEMENT_HEADER*) {
  ClockTimerStep();
  if (ClockLowerMode == kLowerFlight) {
    ClockTimerSplit(FlightSeconds, FlightSplitHours, FlightSplitMinutes, FlightSplitSeconds, FlightHoursShown);
  } else if (ClockLowerMode == kLowerElapsed) {
    ClockTimerSplit(ElapsedSeconds, ElapsedSplitHours, ElapsedSplitMinutes, ElapsedSplitSeconds, ElapsedHoursShown);
  }
  if (ShowingTimer()) return LowerCell(TimerPairs().h / 10);
  const int32_t h = WallClock().h;
  if (h < 10) return ClockLowerMode == kLowerUtc ? 0.0f : kHidden;
  return LowerCell(h / 10);
}

FLOAT64 HOSTCALL ClockLowerDigit2(ELEMENT_HEADER*) {
  host::LookupVar(ClockHourVar);
  host::LookupVar(ZuluHourVar);
  if (ShowingTimer()) return LowerCell(TimerPairs().h % 10);
  return LowerCell(WallClock().h % 10);
}

FLOAT64 HOSTCALL ClockLowerDigit3(ELEMENT_HEADER*) {
  host::LookupVar(ClockMinuteVar);
  host::LookupVar(ZuluMinuteVar);
  if (ShowingTimer()) return LowerCell(TimerPairs().m / 10);
  const int32_t m = WallClock().m;
  return m < 10 ? 0.0f : LowerCell(m / 10);
}

FLOAT64 HOSTCALL ClockLowerDigit4(ELEMENT_HEADER*) {
  host::LookupVar(ClockMinuteVar);
  host::LookupVar(ZuluMinuteVar);
  if (ShowingTimer()) return LowerCell(TimerPairs().m % 10);
  return LowerCell(WallClock().m % 10);
}

FLOAT64 HOSTCALL ClockColonBlink(ELEMENT_HEADER*) {
  const int32_t s = host::TruncToInt32(host::Read(ClockSecondVar));
  return s % 2 == 0 ? kHidden : 0.0f;
}

FLOAT64 HOSTCALL ClockLowerModeLight(ELEMENT_HEADER*) { return ClockLowerMode - 1; }
FLOAT64 HOSTCALL ClockUpperModeLight(ELEMENT_HEADER*) { return ClockUpperMode - 1; }

// The upper window's reading: volts, or the temperature converted and clamped.
double UpperReading() {
  if (ClockUpperMode == kUpperVolts) return host::Read(BusVoltageVar);
  const double value = host::Read(OutsideAirTempVar);
  double t = ClockUpperMode == kUpperFahrenheit ? value * 256.0 * 9.0 / 5.0 + 32.0 : value * 256.0;
  if (t > 999.0) {
    t = 999.0;
  } else if (t < -99.0) {
    t = -99.0;
  }
  return t;
}

// trunc() of a reading, saturating: a reading too large for it is pegged or
// dark before its cell is shown.
double Whole(double x) { return static_cast<double>(host::TruncToInt32(x)); }

// In volts the figure is the 32-bit Vs, but the whole parts come from the
// full 64-bit V, so a V just below a whole number can carry a cell to 10.
FLOAT64 HOSTCALL ClockUpperDigit1(ELEMENT_HEADER*) {
  const double r = UpperReading();
  if (r < 10.0) return kHidden;
  const double figure = ClockUpperMode == kUpperVolts ? static_cast<double>(Narrow(r)) : r;
  return UpperCell(r, figure / 10.0);
}

FLOAT64 HOSTCALL ClockUpperDigit2(ELEMENT_HEADER*) {
  const double r = UpperReading();
  const double figure = ClockUpperMode == kUpperVolts ? static_cast<double>(Narrow(r)) : r;
  return UpperCell(r, figure - 10.0 * Whole(r / 10.0));
}

FLOAT64 HOSTCALL ClockUpperDigit3(ELEMENT_HEADER*) {
  const double r = UpperReading();
  const double figure = ClockUpperMode == kUpperVolts ? static_cast<double>(Narrow(r)) : r;
  return UpperCell(r, (figure - Whole(r)) * 10.0);
}

void HOSTCALL ClockCallback(GAUGEHDR*, int32_t service_id, uint32_t) {
  if (service_id != kServicePreDraw || FlightSecondSeeded != 0) return;
  host::LookupVar(ClockSecondVar);
  FlightLastSecond = CurrentSecond();
  FlightSecondSeeded = 1;
}

int32_t HOSTCALL ClockOatVoltsPress(PIXPOINT*, uint32_t) {
  if (++ClockUpperMode > kUpperCelsius) ClockUpperMode = kUpperVolts;
  return 0;
}

int32_t HOSTCALL ClockSelectPress(PIXPOINT*, uint32_t) {
  if (++ClockLowerMode > kLowerElapsed) ClockLowerMode = kLowerUtc;
  return 0;
}

// In ET mode alone: start, or stop and clear at the next counting step.
int32_t HOSTCALL ClockControlPress(PIXPOINT*, uint32_t) {
  if (ClockLowerMode != kLowerElapsed) return 0;
  if (ElapsedRunning == 0) {
    host::LookupVar(ClockSecondVar);
    ElapsedLastSecond = CurrentSecond();
    ElapsedRunning = 1;
    ElapsedResetPending = 0;
  } else {
    ElapsedRunning = 0;
    ElapsedResetPending = 1;
  }
  return 0;
}

// ---- Records ----------------------------------------------------------------

constexpr uint32_t kFaceFlags = kImageBilinear | kImageErase | kImageTransparent;
constexpr uint32_t kIconFlags = kImageErase | kImageTransparent;

const FAILURE_RECORD kClockFaceFailures[] = {{0, 0, 0}};
const FAILURE_RECORD kClockFailures[] = {{kFailElectricalPanel, kFailActionHide, 0}, {0, 0, 0}};

// The tree is one chain in drawing order; each element names the next.
extern ELEMENT_ICON ClockColon;
extern ELEMENT_ICON ClockLowerDigit4Icon;
extern ELEMENT_ICON ClockLowerDigit3Icon;
extern ELEMENT_ICON ClockLowerDigit2Icon;
extern ELEMENT_ICON ClockLowerDigit1Icon;
extern ELEMENT_ICON ClockLowerModeIcon;
extern ELEMENT_ICON ClockUpperModeIcon;
extern ELEMENT_ICON ClockUpperDigit3Icon;
extern ELEMENT_ICON ClockUpperDigit2Icon;
extern ELEMENT_ICON ClockUpperDigit1Icon;
extern ELEMENT_STATIC ClockPoint;

#define CLOCK_NEXT(name, next) ELEMENT_HEADER* name##Next[] = {&(next).header, nullptr}
CLOCK_NEXT(ClockFace, ClockColon);
CLOCK_NEXT(ClockColon, ClockLowerDigit4Icon);
CLOCK_NEXT(ClockLowerDigit4Icon, ClockLowerDigit3Icon);
CLOCK_NEXT(ClockLowerDigit3Icon, ClockLowerDigit2Icon);
CLOCK_NEXT(ClockLowerDigit2Icon, ClockLowerDigit1Icon);
CLOCK_NEXT(ClockLowerDigit1Icon, ClockLowerModeIcon);
CLOCK_NEXT(ClockLowerModeIcon, ClockUpperModeIcon);
CLOCK_NEXT(ClockUpperModeIcon, ClockUpperDigit3Icon);
CLOCK_NEXT(ClockUpperDigit3Icon, ClockUpperDigit2Icon);
CLOCK_NEXT(ClockUpperDigit2Icon, ClockUpperDigit1Icon);
CLOCK_NEXT(ClockUpperDigit1Icon, ClockPoint);
#undef CLOCK_NEXT

// An icon with no source, its value from the callback; frame n is base + n.
#define CLOCK_ICON(name, bitmap, frames, x, y, callback)                                                     \
  ELEMENT_ICON name = {                                                                                      \
      {kElementIcon, bitmap, {x, y}, {0, 0}, {0, 0}, &ClockGauge, nullptr, name##Next, kClockFailures,       \
       kIconFlags, 0},                                                                                       \
      {0, nullptr, 0.0}, callback, frames, 0, 0.0, 0.0}

ELEMENT_STATIC ClockFace = {
    {kElementStatic, 0x1500, {0, 0}, {0, 0}, {0, 0}, &ClockGauge, nullptr, ClockFaceNext, kClockFaceFailures,
     kFaceFlags, 0},
};
//         element               bitmap frames  x    y   value callback
CLOCK_ICON(ClockColon,           0x1570,  1, 116, 100, ClockColonBlink);
CLOCK_ICON(ClockLowerDigit4Icon, 0x1550, 10, 160, 100, ClockLowerDigit4);
CLOCK_ICON(ClockLowerDigit3Icon, 0x1550, 10, 138, 100, ClockLowerDigit3);
CLOCK_ICON(ClockLowerDigit2Icon, 0x1550, 10,  95, 100, ClockLowerDigit2);
CLOCK_ICON(ClockLowerDigit1Icon, 0x1550, 10,  73, 100, ClockLowerDigit1);
CLOCK_ICON(ClockLowerModeIcon,   0x1510,  4,  22, 100, ClockLowerModeLight);
CLOCK_ICON(ClockUpperModeIcon,   0x1580,  3, 136,  52, ClockUpperModeLight);
CLOCK_ICON(ClockUpperDigit3Icon, 0x1550, 10, 112,  52, ClockUpperDigit3);
CLOCK_ICON(ClockUpperDigit2Icon, 0x1550, 10,  72,  52, ClockUpperDigit2);
CLOCK_ICON(ClockUpperDigit1Icon, 0x1550, 10,  49,  52, ClockUpperDigit1);
ELEMENT_STATIC ClockPoint = {
    {kElementStatic, 0x1560, {92, 52}, {0, 0}, {0, 0}, &ClockGauge, nullptr, nullptr, kClockFailures, kFaceFlags, 0},
};
#undef CLOCK_ICON

ELEMENT_HEADER* ClockElements = &ClockFace.header;

const MOUSERECT kClockMouse[] = {
    {kMouseParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseChild, {87, 5, 35, 28}, kCursorHand, 0, kMouseLeftSingle, 0, ClockOatVoltsPress, nullptr},
    {kMouseChild, {47, 159, 41, 38}, kCursorHand, 0, kMouseLeftSingle, 0, ClockSelectPress, nullptr},
    {kMouseChild, {120, 159, 41, 38}, kCursorHand, 0, kMouseLeftSingle, 0, ClockControlPress, nullptr},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

}  // namespace

// ---- Header -----------------------------------------------------------------

GAUGEHDR ClockGauge = {
    kGaugeHeaderVersion, "Davtron 803", &ClockElements, 205, kClockMouse, ClockCallback, 0, nullptr, 0,
};

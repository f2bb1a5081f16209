// Airspeed: a needle indicator for 0 to 200 knots over a non-linear scale,
// whose tooltip shows the ground speed from the host's GPS record.
#include <cstring>

#include "host/catalogue.h"
#include "host/host.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// ---- State ------------------------------------------------------------------

// The host's GPS record once bound, read in place; never released.
const void* AirspeedGpsRecord = nullptr;

constexpr double kKnotsPerMetrePerSecond = 1.943844;

// ---- Callbacks --------------------------------------------------------------

// Binds the GPS record at pre-draw, again and again while the host has none,
// never again once it has handed one back.
void HOSTCALL AirspeedCallback(GAUGEHDR*, int32_t service_id, uint32_t) {
  if (service_id != kServicePreDraw || AirspeedGpsRecord != nullptr) return;
  MODULE_VAR gps = {};
  host::InitializeVarByName(gps, "FS2002 GPS DATA");
  AirspeedGpsRecord = gps.var_ptr;
}

extern ELEMENT_NEEDLE AirspeedNeedle;

// The indicated airspeed as the host refreshed it into the needle's source:
// the table does the scaling, and speeds beyond it are the host's to place.
FLOAT64 HOSTCALL AirspeedNeedleValue(ELEMENT_HEADER*) { return AirspeedNeedle.source.value; }

// The ground speed in knots; 0 without a record or with one too short to hold
// the field. The record is read byte-wise: the host guarantees no alignment.
FLOAT64 HOSTCALL GroundSpeedTooltipValue(FLOAT64, uint32_t, const char*, MODULE_VAR*, GAUGEHDR*) {
  if (AirspeedGpsRecord == nullptr) return 0.0;
  const auto* bytes = static_cast<const unsigned char*>(AirspeedGpsRecord);
  uint32_t size = 0;
  std::memcpy(&size, bytes, sizeof size);
  if (size < kGpsRecordMinSize) return 0.0;
  FLOAT64 metres_per_second = 0.0;
  std::memcpy(&metres_per_second, bytes + kGpsGroundSpeedOffset, sizeof metres_per_second);
  return metres_per_second * kKnotsPerMetrePerSecond;
}

// ---- Records ----------------------------------------------------------------

const FAILURE_RECORD kAirspeedFaceFailures[] = {{0, 0, 0}};
const FAILURE_RECORD kAirspeedNeedleFailures[] = {
    {kFailPitotStatic, kFailActionZero, 0},
    {kFailAirspeed, kFailActionZero, 0},
    {0, 0, 0},
};

// Spots on the face and the speeds the needle points at them; the host fills
// in each angle from the spot's direction seen from the pivot (153,153).
NONLINEARITY AirspeedNeedleTable[] = {
    {{152, 37}, 0, 0},    {{211, 51}, 40, 0},   {{262, 121}, 60, 0},  {{252, 207}, 80, 0},
    {{190, 260}, 100, 0}, {{101, 258}, 120, 0}, {{52, 211}, 140, 0},  {{34, 153}, 160, 0},
    {{46, 102}, 180, 0},  {{75, 62}, 200, 0},
};

ELEMENT_NEEDLE AirspeedNeedle = {
    {kElementNeedle, 0x1310, {153, 153}, {36, 10}, {0, 0}, &AirspeedGauge, nullptr, nullptr,
     kAirspeedNeedleFailures, kImageBilinear | kImageErase | kImageTransparent, 0},
    {VarAirspeed, nullptr, 0.0},
    AirspeedNeedleValue,
    AirspeedNeedleTable,
    sizeof AirspeedNeedleTable / sizeof AirspeedNeedleTable[0],
    0.0,
};
ELEMENT_HEADER* AirspeedFaceNext[] = {&AirspeedNeedle.header, nullptr};

ELEMENT_STATIC AirspeedFace = {
    {kElementStatic, 0x1300, {0, 0}, {0, 0}, {0, 0}, &AirspeedGauge, nullptr, AirspeedFaceNext,
     kAirspeedFaceFailures, kImageBilinear | kImageErase | kImageTransparent, 0},
};
ELEMENT_HEADER* AirspeedElements = &AirspeedFace.header;

// One argument, no source: the callback alone gives the number.
MOUSE_ARG GroundSpeedTooltipArgs[] = {
    {{0, nullptr, 0.0}, GroundSpeedTooltipValue},
    {{0, nullptr, 0.0}, nullptr},
};

const MOUSERECT kAirspeedMouse[] = {
    {kMouseParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseUser, {0, 0, 0, 0}, kCursorNone, 0, 0, 1, "Airspeed Indicator - Ground Speed: %1!d! knots",
     GroundSpeedTooltipArgs},
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

}  // namespace

// ---- Header -----------------------------------------------------------------

GAUGEHDR AirspeedGauge = {
    kGaugeHeaderVersion, "Airspeed", &AirspeedElements, 306, kAirspeedMouse, AirspeedCallback, 0, nullptr, 0,
};

// Throttle Lever and Mixture Lever: a knob sliding down a 224-pixel strip that
// follows the host's lever position, and a strip that sets the lever from the
// pointer's height when clicked or dragged. Both gauges are one description
// instantiated with two columns of data; they keep no state of their own.
#include <cstdint>

#include "host/catalogue.h"
#include "host/host.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// -- callbacks --

// The knob's rest position is y 174; the pointer's travel over the strip maps
// 0..174 onto the lever's full range 16383..0.
constexpr int32_t kLeverTravel = 174;
constexpr int32_t kLeverFull = 16383;

constexpr int32_t LeverValue(int32_t y) {
  if (y > kLeverTravel) {
    y = kLeverTravel;
  } else if (y < 0) {
    y = 0;
  }
  return kLeverFull - (y * kLeverFull) / kLeverTravel;
}

static_assert(LeverValue(-5) == 16383 && LeverValue(0) == 16383 && LeverValue(1) == 16289 &&
                  LeverValue(87) == 8192 && LeverValue(173) == 95 && LeverValue(174) == 0 &&
                  LeverValue(INT32_MAX) == 0 && LeverValue(INT32_MIN) == 16383,
              "drag rule");

void HOSTCALL LeverCallback(GAUGEHDR*, int32_t, uint32_t) {}

// One event per call, also when the value repeats: the host owns the lever.
template <uint32_t kEvent>
int32_t HOSTCALL LeverDrag(PIXPOINT* point, uint32_t) {
  if (point == nullptr) return 0;
  host::TriggerKeyEvent(kEvent, static_cast<uint32_t>(LeverValue(point->y)));
  return 0;
}

constexpr MOUSE_FUNCTION ThrottleLeverDrag = LeverDrag<EvtThrottleSet>;
constexpr MOUSE_FUNCTION MixtureLeverDrag = LeverDrag<EvtMixtureSet>;

// -- records --

// What differs between the two levers.
struct LeverData {
  const char* name;
  uint32_t width_mm;
  uint32_t background_bitmap;
  uint32_t knob_bitmap;
  uint32_t token;        // the slider's vertical source
  uint32_t help_id;      // on the mouse list's outer parent
  PIXBOX area;           // the child area, the whole strip
  MOUSE_FUNCTION drag;   // sends the lever's event
};

constexpr LeverData kThrottle = {
    "Throttle Lever",
    89,
    0x1600,  // 89 x 224, pure black
    0x1601,  // 89 x 50, the black grip
    VarThrottleLever,
    0xAB6C,
    {0, 0, 89, 224},
    ThrottleLeverDrag,  // EvtThrottleSet
};
constexpr LeverData kMixture = {
    "Mixture Lever",
    60,
    0x1605,  // 60 x 224, pure black
    0x1606,  // 60 x 50, the red fluted knob
    VarMixtureLever,
    0xAB6B,
    {0, 0, 60, 224},
    MixtureLeverDrag,  // EvtMixtureSet
};

// Engine failure, action none: the lever goes on drawing and working.
const FAILURE_RECORD kLeverFailures[] = {{kFailEngine, kFailActionNone, 0}, {0, 0, 0}};

template <const LeverData& L, GAUGEHDR& Gauge>
struct Lever {
  static inline ELEMENT_SLIDER knob = {
      {kElementSlider, L.knob_bitmap, {0, kLeverTravel}, {0, 0}, {0, 0}, &Gauge, nullptr, nullptr, kLeverFailures,
       kImageTransparent | kImageErase, 0},
      {0, nullptr, 0.0},  // x: no movement
      nullptr,
      0.0,
      {L.token, nullptr, 0.0},
      nullptr,
      -0.01,  // pixels per lever unit: 16383 lifts the knob about 164 pixels
  };
  static inline ELEMENT_HEADER* face_next[] = {&knob.header, nullptr};
  static inline ELEMENT_STATIC face = {{kElementStatic, L.background_bitmap, {0, 0}, {0, 0}, {0, 0}, &Gauge, nullptr,
                                        face_next, kLeverFailures, kImageTransparent | kImageErase | kImageBilinear, 0}};
  static inline ELEMENT_HEADER* elements = &face.header;

  static inline const MOUSERECT mouse[] = {
      {kMouseParent, {0, 0, 0, 0}, kCursorNone, L.help_id, 0, 0, nullptr, nullptr},
      {kMouseChild, L.area, kCursorHand, 0, kMouseClickDrag, 0, L.drag, nullptr},
      {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
      {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
  };
};

using ThrottleLever = Lever<kThrottle, ThrottleGauge>;
using MixtureLever = Lever<kMixture, MixtureGauge>;

}  // namespace

// -- headers --
GAUGEHDR ThrottleGauge = {kGaugeHeaderVersion, kThrottle.name, &ThrottleLever::elements, kThrottle.width_mm,
                          ThrottleLever::mouse, LeverCallback, 0, nullptr, 0};
GAUGEHDR MixtureGauge = {kGaugeHeaderVersion, kMixture.name, &MixtureLever::elements, kMixture.width_mm,
                         MixtureLever::mouse, LeverCallback, 0, nullptr, 0};

// GMA340: an audio selector panel. The PILOT knob switches the panel's own
// power; SENS flips HI/LO; eight selector buttons send the host its audio
// events; six buttons keep switches the panel holds to itself; TEST steps a
// marker-beacon test with its tones. Nineteen lights on the face show that
// state and the host's audio selections and marker beacon.
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "host/catalogue.h"
#include "host/host.h"
#include "host/module_vars.h"
#include "host/records.h"
#include "module/gauge_table.h"

namespace {

// -- state --

// Switches hold 0 or 1. The panel starts off, LO, with no marker test and
// COM1 MIC, SPKR and ICS PILOT selected.
int32_t AudioPower = 0;
int32_t AudioSensHigh = 0;
int32_t MarkerTestStep = 0;  // 0 none, 1 inner, 2 outer, 3 middle
int32_t AudioCom1Mic = 1;
int32_t AudioCom2Mic = 0;
int32_t AudioSpkr = 1;
int32_t AudioPa = 0;
int32_t AudioIcsPilot = 1;
int32_t AudioIcsCrew = 0;

MODULE_VAR& AudioMarkerBeacon = host::ModuleVar<VarMarkerBeacon>;

void Flip(int32_t& s) { s = (s == 0) ? 1 : 0; }

// The selector buttons, in the order of their areas and their LEDs.
enum Selector : std::size_t { kNav1, kNav2, kCom1, kCom2, kMarker, kDme, kAdf, kComBoth, kSelectorCount };
constexpr uint32_t kSelectorEvents[kSelectorCount] = {
    EvtAudioNav1, EvtAudioNav2, EvtAudioCom1, EvtAudioCom2, EvtAudioMarker, EvtAudioDme, EvtAudioAdf, EvtAudioComBoth,
};

// The switches the panel keeps to itself, in the order of their areas and lights.
enum LocalSwitch : std::size_t { kCom1Mic, kCom2Mic, kSpkr, kIcsPilot, kPa, kIcsCrew, kLocalCount };
int32_t* const kLocalSwitches[kLocalCount] = {
    &AudioCom1Mic, &AudioCom2Mic, &AudioSpkr, &AudioIcsPilot, &AudioPa, &AudioIcsCrew,
};

// The marker lamps: the test step that lights each and the beacon value that
// lights it (1 outer, 2 middle, 3 inner), compared exactly.
enum MarkerLamp : std::size_t { kLampA, kLampO, kLampM, kLampCount };
struct MarkerLampData {
  int32_t test_step;
  FLOAT64 beacon;
};
constexpr MarkerLampData kMarkerLamps[kLampCount] = {{1, 3.0}, {2, 1.0}, {3, 2.0}};

// The tones of test steps 1..3.
constexpr const char* kMarkerTones[] = {nullptr, "Sound\\Innermk.wav", "Sound\\Outermk.wav", "Sound\\Middmk.wav"};

// -- callbacks --

void HOSTCALL AudioCallback(GAUGEHDR*, int32_t, uint32_t) {}

// Switching off returns the sensitivity to LO and keeps everything else.
int32_t HOSTCALL AudioPowerToggle(PIXPOINT*, uint32_t) {
  Flip(AudioPower);
  if (AudioPower == 0) AudioSensHigh = 0;
  return 0;
}

// Works powered or not; the indicator shows it once the panel is on.
int32_t HOSTCALL AudioSensToggle(PIXPOINT*, uint32_t) {
  Flip(AudioSensHigh);
  return 0;
}

int32_t HOSTCALL MarkerTestPress(PIXPOINT*, uint32_t) {
  if (AudioPower == 0) return 0;
  ++MarkerTestStep;
  if (MarkerTestStep > 3) MarkerTestStep = 0;
  if (MarkerTestStep >= 1 && MarkerTestStep <= 3) host::PlaySound(kMarkerTones[MarkerTestStep]);
  return 0;
}

template <Selector S>
int32_t HOSTCALL AudioSelectorPress(PIXPOINT*, uint32_t) {
  if (AudioPower != 0) host::TriggerKeyEvent(kSelectorEvents[S], 0);
  return 0;
}

template <LocalSwitch S>
int32_t HOSTCALL AudioLocalTogglePress(PIXPOINT*, uint32_t) {
  if (AudioPower != 0) Flip(*kLocalSwitches[S]);
  return 0;
}

// -1 hides, 0 LO, 1 HI.
FLOAT64 HOSTCALL AudioSensIndicator(ELEMENT_HEADER*) {
  if (AudioPower == 0) return -1.0;
  return AudioSensHigh != 0 ? 1.0 : 0.0;
}

// The host's selection, unchanged, while on; the dark strip (not hidden) while off.
FLOAT64 HOSTCALL AudioSelectorLed(ELEMENT_HEADER* element) {
  if (AudioPower == 0 || element == nullptr) return 0.0;
  return reinterpret_cast<ELEMENT_ICON*>(element)->source.value;
}

FLOAT64 HOSTCALL AudioPowerLamp(ELEMENT_HEADER*) { return AudioPower != 0 ? 0.0 : -1.0; }

// Each lamp refreshes the beacon first, on every call, powered or not.
template <MarkerLamp L>
FLOAT64 HOSTCALL MarkerLight(ELEMENT_HEADER*) {
  const FLOAT64 beacon = host::Read(AudioMarkerBeacon);
  if (AudioPower == 0) return -1.0;
  if (MarkerTestStep == kMarkerLamps[L].test_step) return 0.0;
  if (beacon == kMarkerLamps[L].beacon) return 0.0;
  return -1.0;
}

template <LocalSwitch S>
FLOAT64 HOSTCALL AudioToggleLight(ELEMENT_HEADER*) {
  return (AudioPower != 0 && *kLocalSwitches[S] != 0) ? 0.0 : -1.0;
}

// -- records --

const FAILURE_RECORD kAudioLightFailures[] = {
    {kFailElectricalPanel, kFailActionHide, 0},
    {kFailAvionics, kFailActionHide, 0},
    {0, 0, 0},
};

constexpr ELEMENT_ICON Light(uint32_t bitmap, uint32_t frames, PIXPOINT position, uint32_t token,
                             VALUE_CALLBACK callback) {
  return {
      {kElementIcon, bitmap, position, {0, 0}, {0, 0}, &AudioGauge, nullptr, nullptr, kAudioLightFailures,
       kImageTransparent | kImageErase | kImageBright, 0},
      {token, nullptr, 0.0},
      callback,
      frames,
      0,
      0.0,
      0.0,
  };
}

ELEMENT_ICON AudioLights[] = {
    Light(0x1701, 2, {77, 49}, 0, AudioSensIndicator),                  // HI/LO
    Light(0x1710, 2, {270, 14}, VarAudioNav1, AudioSelectorLed),        // NAV1
    Light(0x1710, 2, {311, 14}, VarAudioNav2, AudioSelectorLed),        // NAV2
    Light(0x1710, 2, {130, 14}, VarAudioCom1, AudioSelectorLed),        // COM1
    Light(0x1710, 2, {171, 14}, VarAudioCom2, AudioSelectorLed),        // COM2
    Light(0x1710, 2, {84, 14}, VarAudioMarker, AudioSelectorLed),       // MKR MUTE
    Light(0x1710, 2, {352, 14}, VarAudioDme, AudioSelectorLed),         // DME
    Light(0x1710, 2, {393, 14}, VarAudioAdf, AudioSelectorLed),         // ADF
    Light(0x1710, 2, {269, 49}, VarAudioComBoth, AudioSelectorLed),     // COM 1/2
    Light(0x1703, 1, {245, 36}, 0, AudioPowerLamp),                     // power
    Light(0x1715, 1, {7, 16}, 0, MarkerLight<kLampA>),                  // marker A
    Light(0x1716, 1, {28, 15}, 0, MarkerLight<kLampO>),                 // marker O
    Light(0x1717, 1, {50, 15}, 0, MarkerLight<kLampM>),                 // marker M
    Light(0x1711, 1, {129, 49}, 0, AudioToggleLight<kCom1Mic>),         // COM1 MIC
    Light(0x1711, 1, {170, 49}, 0, AudioToggleLight<kCom2Mic>),         // COM2 MIC
    Light(0x1711, 1, {306, 50}, 0, AudioToggleLight<kSpkr>),            // SPKR
    Light(0x1711, 1, {370, 50}, 0, AudioToggleLight<kIcsPilot>),        // ICS PILOT
    Light(0x1711, 1, {307, 80}, 0, AudioToggleLight<kPa>),              // PA
    Light(0x1711, 1, {370, 80}, 0, AudioToggleLight<kIcsCrew>),         // ICS CREW
};
constexpr std::size_t kLightCount = sizeof AudioLights / sizeof AudioLights[0];
static_assert(kLightCount == 19, "nineteen lights on the face");

// The root lists every light directly, in drawing order.
template <std::size_t... I>
constexpr std::array<ELEMENT_HEADER*, sizeof...(I) + 1> ListLights(std::index_sequence<I...>) {
  return {&AudioLights[I].header..., nullptr};
}
std::array<ELEMENT_HEADER*, kLightCount + 1> AudioFaceNext = ListLights(std::make_index_sequence<kLightCount>{});

ELEMENT_STATIC AudioFace = {{kElementStatic, 0x1700, {0, 0}, {0, 0}, {0, 0}, &AudioGauge, nullptr,
                             AudioFaceNext.data(), nullptr, kImageTransparent | kImageErase | kImageBilinear, 0}};
ELEMENT_HEADER* AudioElements = &AudioFace.header;

// One parent per area, holding one hand-cursor child of the same size.
struct AudioArea {
  MOUSERECT parent;
  MOUSERECT child;
  MOUSERECT end;
};

constexpr AudioArea Area(PIXBOX box, MOUSE_FUNCTION function) {
  return {
      {kMouseParent, box, kCursorNone, 0, 0, 0, nullptr, nullptr},
      {kMouseChild, {0, 0, box.w, box.h}, kCursorHand, 0, kMouseLeftSingle, 0, function, nullptr},
      {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
  };
}

// Read by the host as one array of entries.
struct AudioMouseList {
  MOUSERECT outer;
  AudioArea areas[17];
  MOUSERECT outer_end;
  MOUSERECT end;
};
static_assert(sizeof(AudioArea) == 3 * sizeof(MOUSERECT) && sizeof(AudioMouseList) == 54 * sizeof(MOUSERECT),
              "the list's entries lie back to back");

// COM3, COM3 MIC and the COPILOT knob have no area.
const AudioMouseList kAudioMouse = {
    {kMouseParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {
        Area({6, 43, 34, 39}, AudioPowerToggle),                  // PILOT knob (OFF/VOL)
        Area({78, 75, 33, 18}, AudioSensToggle),                  // SENS
        Area({448, 14, 36, 20}, MarkerTestPress),                 // TEST
        Area({261, 9, 35, 29}, AudioSelectorPress<kNav1>),        // NAV1
        Area({303, 9, 35, 29}, AudioSelectorPress<kNav2>),        // NAV2
        Area({121, 9, 35, 29}, AudioSelectorPress<kCom1>),        // COM1
        Area({163, 9, 35, 29}, AudioSelectorPress<kCom2>),        // COM2
        Area({78, 9, 35, 29}, AudioSelectorPress<kMarker>),       // MKR MUTE
        Area({344, 9, 35, 29}, AudioSelectorPress<kDme>),         // DME
        Area({386, 9, 35, 29}, AudioSelectorPress<kAdf>),         // ADF
        Area({262, 44, 33, 48}, AudioSelectorPress<kComBoth>),    // COM 1/2
        Area({120, 44, 36, 49}, AudioLocalTogglePress<kCom1Mic>),   // COM1 MIC
        Area({162, 44, 36, 49}, AudioLocalTogglePress<kCom2Mic>),   // COM2 MIC
        Area({303, 44, 51, 20}, AudioLocalTogglePress<kSpkr>),      // SPKR
        Area({368, 44, 51, 20}, AudioLocalTogglePress<kIcsPilot>),  // PILOT (ICS ISOLATION)
        Area({303, 74, 51, 20}, AudioLocalTogglePress<kPa>),        // PA
        Area({368, 74, 51, 20}, AudioLocalTogglePress<kIcsCrew>),   // CREW
    },
    {kMouseEndParent, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
    {kMouseEnd, {0, 0, 0, 0}, kCursorNone, 0, 0, 0, nullptr, nullptr},
};

}  // namespace

// -- header --
GAUGEHDR AudioGauge = {kGaugeHeaderVersion, "GMA340", &AudioElements, 500, &kAudioMouse.outer, AudioCallback, 0,
                       nullptr, 0};

#include "emulator/event_model.h"

#include <algorithm>
#include <cmath>

#include "emulator/host_state.h"
#include "emulator/session.h"
#include "host/catalogue.h"

namespace talvor {

namespace {

void Toggle(HostState& s, uint32_t token) { s.Set(token, s.Get(token) == 0.0 ? 1.0 : 0.0); }

void Step(HostState& s, uint32_t token, double step) { s.Set(token, s.Get(token) + step); }

// The altimeter setting is kept in both units; inches are the master so that
// repeated steps do not drift.
void StepKohlsman(HostState& s, double step_hg) {
  const double hg = std::round((s.Get(VarKohlsmanHg) + step_hg) * 100.0) / 100.0;
  s.Set(VarKohlsmanHg, hg);
  s.Set(VarKohlsmanMb, hg * kMillibarsPerInchHg);
}

void StepTrim(HostState& s, double step) {
  const double trim = std::round((s.Get(kTokenElevatorTrim) + step) * 100.0) / 100.0;
  s.Set(kTokenElevatorTrim, std::clamp(trim, -1.0, 1.0));
}

}  // namespace

void ApplyEvent(HostState& s, uint32_t event, uint32_t value) {
  switch (event) {
    case EvtApHeadingHold: Toggle(s, VarApHeadingLock); break;
    case EvtApApproachHold: Toggle(s, VarApApproachLock); break;
    case EvtApBackCourseHold: Toggle(s, VarApBackCourseLock); break;
    case EvtApAltitudeHold: Toggle(s, VarApAltitudeLock); break;
    case EvtApVsHold: Toggle(s, VarApVsLock); break;
    case EvtApNavHoldOn: s.Set(VarApNavLock, 1.0); break;
    case EvtApNavHoldOff: s.Set(VarApNavLock, 0.0); break;
    case EvtGpsDrivesNavToggle: Toggle(s, VarGpsDrivesNav); break;
    case EvtApVsRefInc: Step(s, VarApVsRef, kVsRefStepFpm); break;
    case EvtApVsRefDec: Step(s, VarApVsRef, -kVsRefStepFpm); break;
    case EvtApAltRefInc: Step(s, VarApAltitudeRef, kAltitudeRefStepFt); break;
    case EvtApAltRefDec:
      s.Set(VarApAltitudeRef, std::max(0.0, s.Get(VarApAltitudeRef) - kAltitudeRefStepFt));
      break;
    case EvtKohlsmanInc: StepKohlsman(s, kKohlsmanStepHg); break;
    case EvtKohlsmanDec: StepKohlsman(s, -kKohlsmanStepHg); break;
    case EvtThrottleSet: s.Set(VarThrottleLever, std::min<double>(value, kLeverMax)); break;
    case EvtMixtureSet: s.Set(VarMixtureLever, std::min<double>(value, kLeverMax)); break;
    case EvtElevTrimUp: StepTrim(s, kElevatorTrimStep); break;
    case EvtElevTrimDown: StepTrim(s, -kElevatorTrimStep); break;
    case EvtApMaster: Toggle(s, kTokenAutopilotMaster); break;
    case EvtSpoiler: s.Set(kTokenSpoilersArmed, 1.0); break;
    case EvtAudioCom1: Toggle(s, VarAudioCom1); break;
    case EvtAudioCom2: Toggle(s, VarAudioCom2); break;
    case EvtAudioComBoth: Toggle(s, VarAudioComBoth); break;
    case EvtAudioNav1: Toggle(s, VarAudioNav1); break;
    case EvtAudioNav2: Toggle(s, VarAudioNav2); break;
    case EvtAudioDme: Toggle(s, VarAudioDme); break;
    case EvtAudioAdf: Toggle(s, VarAudioAdf); break;
    case EvtAudioMarker: Toggle(s, VarAudioMarker); break;
    default: break;
  }
}

}  // namespace talvor

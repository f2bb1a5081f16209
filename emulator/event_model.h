// What the emulated host does when the module sends it an event: a small,
// deterministic model of the autopilot, altimeter, engine levers, trim and
// audio panel switches. It is the emulator's own model, not the simulator's.
#pragma once

#include <cstdint>

namespace talvor {

class HostState;

// Steps and limits of the model.
constexpr double kAltitudeRefStepFt = 100.0;  // never below 0
constexpr double kVsRefStepFpm = 100.0;
constexpr double kKohlsmanStepHg = 0.01;
constexpr double kMillibarsPerInchHg = 33.8639;
constexpr double kLeverMax = 16383.0;       // throttle and mixture set values are clamped to 0..16383
constexpr double kElevatorTrimStep = 0.01;  // per trim event, within -1..1

// Applies one event to the host's variables. Events the model does not know
// change nothing (they are still logged by the session).
void ApplyEvent(HostState& state, uint32_t event, uint32_t value);

}  // namespace talvor

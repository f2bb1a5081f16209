// The host's token and event numbers: the one place where they are defined.
// Each list is a table of (name, number); hosts iterate it for names.
#pragma once

#include <cstdint>

// Tokens read, as the module uses them.
#define TALVOR_HOST_VARS(X) \
  X(VarClockHour, 3) \
  X(VarClockMinute, 4) \
  X(VarClockSecond, 5) \
  X(VarZuluHour, 6) \
  X(VarZuluMinute, 7) \
  X(VarOnGround, 60) \
  X(VarAirspeed, 61) \
  X(VarAltitudeMeters, 73) \
  X(VarKohlsmanMb, 75) \
  X(VarKohlsmanHg, 76) \
  X(VarApNavLock, 105) \
  X(VarApHeadingLock, 106) \
  X(VarApAltitudeLock, 108) \
  X(VarApAltitudeRef, 109) \
  X(VarApGlideslopeLock, 111) \
  X(VarApApproachLock, 112) \
  X(VarApBackCourseLock, 113) \
  X(VarApVsLock, 119) \
  X(VarApVsRef, 120) \
  X(VarThrottleLever, 128) \
  X(VarMixtureLever, 130) \
  X(VarPreselectorAux, 335) \
  X(VarSimRate, 336) \
  X(VarOutsideAirTemp, 350) \
  X(VarMarkerBeacon, 354) \
  X(VarAvionicsMaster, 740) \
  X(VarBusVoltage, 752) \
  X(VarGpsDrivesNav, 848) \
  X(VarAudioCom1, 874) \
  X(VarAudioCom2, 875) \
  X(VarAudioComBoth, 876) \
  X(VarAudioNav1, 877) \
  X(VarAudioNav2, 878) \
  X(VarAudioDme, 879) \
  X(VarAudioAdf, 880) \
  X(VarAudioMarker, 881)

// Events sent through trigger_key_event.
#define TALVOR_HOST_EVENTS(X) \
  X(EvtApMaster, 65580) \
  X(EvtElevTrimDown, 65607) \
  X(EvtElevTrimUp, 65615) \
  X(EvtApApproachHold, 65724) \
  X(EvtApHeadingHold, 65725) \
  X(EvtApBackCourseHold, 65728) \
  X(EvtApAltitudeHold, 65799) \
  X(EvtApNavHoldOn, 65811) \
  X(EvtApNavHoldOff, 65819) \
  X(EvtThrottleSet, 65820) \
  X(EvtAudioNav1, 65842) \
  X(EvtAudioNav2, 65843) \
  X(EvtAudioDme, 65844) \
  X(EvtAudioAdf, 65846) \
  X(EvtKohlsmanInc, 65883) \
  X(EvtKohlsmanDec, 65884) \
  X(EvtApAltRefInc, 65892) \
  X(EvtApAltRefDec, 65893) \
  X(EvtApVsRefInc, 65894) \
  X(EvtApVsRefDec, 65895) \
  X(EvtMixtureSet, 65919) \
  X(EvtSpoiler, 66065) \
  X(EvtApVsHold, 66099) \
  X(EvtGpsDrivesNavToggle, 66375) \
  X(EvtAudioCom1, 66463) \
  X(EvtAudioCom2, 66464) \
  X(EvtAudioComBoth, 66465) \
  X(EvtAudioMarker, 66477)

#define TALVOR_DEFINE_NUMBER(name, number) constexpr uint32_t name = number;
TALVOR_HOST_VARS(TALVOR_DEFINE_NUMBER)
TALVOR_HOST_EVENTS(TALVOR_DEFINE_NUMBER)
#undef TALVOR_DEFINE_NUMBER

// Units as used: clock tokens 3..7 in hours, minutes, seconds (whole parts shown;
// a negative UTC hour is taken plus 24); altitude in metres; Kohlsman in millibars
// (75) and inches of mercury (76); the references in feet and feet per minute;
// lever positions 0..16383, the units of EvtThrottleSet and EvtMixtureSet;
// sim rate 1.0 at normal speed; outside air temperature x 256 gives degrees
// Celsius; marker beacon 1 outer, 2 middle, 3 inner; avionics master 1.0 on;
// bus voltage in volts; on-ground nonzero on the ground.

// The named variable holding the host's GPS record.
constexpr const char* kGpsDataName = "FS2002 GPS DATA";

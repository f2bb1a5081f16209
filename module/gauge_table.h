// The module's nine gauge headers, each defined in its gauge's folder.
#pragma once

#include "host/records.h"

extern GAUGEHDR StecGauge;
extern GAUGEHDR PreselectorGauge;
extern GAUGEHDR AirspeedGauge;
extern GAUGEHDR ClockGauge;
extern GAUGEHDR ThrottleGauge;
extern GAUGEHDR MixtureGauge;
extern GAUGEHDR TrimGauge;
extern GAUGEHDR AudioGauge;
extern GAUGEHDR SpoilerGauge;

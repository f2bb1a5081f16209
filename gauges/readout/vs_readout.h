// The vertical-speed readout shared by the autopilot and the preselector: a
// sign, a thousands digit and a hundreds digit of a reference in feet per
// minute, shown in hundreds. Each returns an icon value: the frame's whole
// part, or a negative value that hides the icon.
#pragma once

namespace readout {

// 2 minus, 1 plus, 0 blank.
double VsSign(double fpm);
// The thousands digit, -1 (hidden) below 1000 ft/min in magnitude.
double VsThousands(double fpm);
// The hundreds digit.
double VsHundreds(double fpm);

}  // namespace readout

// The vertical-speed readout shared by the autopilot and the preselector: a
// sign, a thousands digit and a hundreds digit of a reference in feet per
// minute, shown in hundreds. Each returns an icon value: the frame's whole
// part, or a negative value that hides the icon. A NaN reference hides all
// three; magnitudes of 10000 ft/min and more peg the digits at 9 9.
#pragma once

namespace readout {

// 2 minus (-100 and below), 1 plus (100 and above), 0 blank.
double VsSign(double fpm);
// The thousands digit, -1 (hidden) below 1000 ft/min in magnitude.
double VsThousands(double fpm);
// The hundreds digit: the last digit of the magnitude's whole hundreds.
double VsHundreds(double fpm);

}  // namespace readout

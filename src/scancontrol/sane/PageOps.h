#pragma once
// Software steps on page images that SANE does not offer: black-and-white from grey
// (threshold or ordered-dither halftone), grey from colour, 16-bit samples to 8-bit,
// rotation by quarter turns. In place wherever the result is not larger.

#include "scancontrol/PageImage.h"

namespace scancontrol::sanectl {

void ColorToGray(PageImage& page);                     // 24 -> 8 bits, in place
void GrayToBlackWhite(PageImage& page, bool halftone); // 8 -> 1 bit, in place
// Clockwise by 0, 90, 180 or 270 degrees. 180 is done in place; 90 and 270 need a
// second buffer for the time of the turn.
void Rotate(PageImage& page, int degrees);

} // namespace scancontrol::sanectl

// How far into its palette a rectangle of a palette image reaches.
#pragma once

#include "image/dib_desc.h"

// The highest palette index the pixels of the rectangle (left, top, width, height) of a 1-, 4-
// or 8-bit image use. The search stops once it finds `highest`, the largest there can be.
int HighestIndexUsed(const TVynDIBDesc& desc, int left, int top, int width, int height,
                     int highest);

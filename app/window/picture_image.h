// The composer's 8-bit picture as a Qt image with the same colour table, for showing and copying.
#pragma once

#include <QImage>

class TBitmap;

// An indexed image of the bitmap's pixels and palette; a null image for a bitmap that is not 8
// bits.
QImage PictureImage(TBitmap& bitmap);

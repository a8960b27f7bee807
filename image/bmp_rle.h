// The BMP decoder's run-length pixel data: RLE8 and RLE4.
#pragma once

#include "image/bmp_source.h"
#include "image/dib_desc.h"

namespace bmp_detail {
// Run-length data into the pixel memory of desc, its first row at the bottom or, top-down, at
// the top; writes outside the image are dropped.
void DecodeRle8(BmpSource& source, const TVynDIBDesc& desc, bool topDown);
void DecodeRle4(BmpSource& source, const TVynDIBDesc& desc, bool topDown);
}  // namespace bmp_detail

#include "app/window/picture_image.h"

#include <array>
#include <cstring>

#include "platform/bitmap.h"
#include "platform/gdi.h"

QImage PictureImage(TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.PixelFormat() != pf8bit) return {};
  GdiFlush();  // drawing may still be pending on the bitmap's canvas

  std::array<PALETTEENTRY, 256> entries{};
  const UINT count =
      bitmap.Palette() ? GetPaletteEntries(bitmap.Palette(), 0, 256, entries.data()) : 0;
  // Every index gets an entry, so a pixel past the palette shows black rather than garbage.
  QList<QRgb> table(256, qRgb(0, 0, 0));
  for (UINT i = 0; i < count && i < 256; ++i)
    table[i] = qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);

  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_Indexed8);
  image.setColorTable(table);
  for (int y = 0; y < bitmap.Height(); ++y)
    std::memcpy(image.scanLine(y), bitmap.ScanLine(y), std::size_t(bitmap.Width()));
  return image;
}

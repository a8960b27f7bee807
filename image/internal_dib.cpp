#include "image/internal_dib.h"

#include <algorithm>
#include <cstring>

#include "image/dib_error.h"
#include "image/dib_routines.h"
#include "platform/exception.h"
#include "platform/gdi_scope.h"
#include "platform/row_size.h"

namespace {

constexpr int kLogPaletteVersion = 0x300;

bool IsSupportedBitCount(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

// Palette entries an image of bitCount keeps when asked for `asked` of them.
int PaletteCountFor(int bitCount, int asked) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    default:
      if (asked == 0) return bitCount == 8 ? kMaxPaletteEntries : 0;
      if (asked < 2 || asked > kMaxPaletteEntries) return kMaxPaletteEntries;
      return asked;
  }
}

void WriteInfoHeader(TVynDIBDesc& desc) {
  BITMAPINFOHEADER& h = *desc.InfoHeader;
  h = BITMAPINFOHEADER{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = desc.Width;
  h.biHeight = desc.Height;
  h.biPlanes = 1;
  h.biBitCount = WORD(desc.BitCount);
  h.biCompression = BI_RGB;
  h.biClrUsed = DWORD(desc.PaletteCount);
}

DWORD KeyMode(DWORD flags, int shift) {
  return (flags >> shift) & kTransModeMask;
}

}  // namespace

// ---- lifecycle ----------------------------------------------------------------------------

TVynCustomInternalDIB::TVynCustomInternalDIB() {
  CreateImage(8, 8, false, nullptr, 0, 1);
}

TVynCustomInternalDIB::~TVynCustomInternalDIB() {
  TVynCustomInternalDIB::FreeImage();  // FDC, a member, is released after this
}

bool TVynCustomInternalDIB::TakePaletteChanged() {
  const bool changed = FPaletteChanged;
  FPaletteChanged = false;
  return changed;
}

void TVynCustomInternalDIB::CreateImage(int width, int height, bool withAlpha,
                                        const RGBQUAD* palette, int paletteCount, int bitCount) {
  // AllocImage frees what it made when it fails, and AttachImage does not raise.
  TVynDIBDesc desc{};
  AllocImage(desc, width, withAlpha, palette, paletteCount, bitCount, height);
  AttachImage(desc);
}

void TVynCustomInternalDIB::AllocImage(TVynDIBDesc& desc, int width, bool withAlpha,
                                       const RGBQUAD* palette, int paletteCount, int bitCount,
                                       int height) {
  desc = TVynDIBDesc{};
  if (bitCount == 24 && withAlpha) bitCount = 32;
  if (width <= 0 || height <= 0) RaiseDIBError("AllocImage", "Invalid Width or Height");
  if (!IsSupportedBitCount(bitCount)) RaiseDIBError("AllocImage", "Invalid BitCount");
  // Checked before anything is allocated: an image too large for one mapping never gets a block.
  const std::size_t imageSize = DIBImageSize(width, height, bitCount);
  const int lineSize = int(RequireRowBytes(width, bitCount, kDIBRowAlignment));

  void* tables = VirtualAlloc(nullptr, kTableBlockSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (tables == nullptr) OutOfMemoryError();
  desc.Tables = static_cast<BYTE*>(tables);
  desc.InfoHeader = reinterpret_cast<BITMAPINFOHEADER*>(desc.Tables + kInfoHeaderOffset);
  desc.Palette = reinterpret_cast<RGBQUAD*>(desc.Tables + kPaletteOffset);
  std::memset(AlphaTable(desc), 255, kMaxPaletteEntries);

  desc.Width = width;
  desc.Height = height;
  desc.BitCount = bitCount;
  desc.PaletteCount = PaletteCountFor(bitCount, paletteCount);
  WriteInfoHeader(desc);
  if (palette != nullptr) {
    // A short source table is never read past its stated length.
    const int fromSource = (paletteCount >= 1 && paletteCount <= kMaxPaletteEntries)
                               ? std::min(paletteCount, desc.PaletteCount)
                               : desc.PaletteCount;
    std::memcpy(desc.Palette, palette, std::size_t(fromSource) * sizeof(RGBQUAD));
  }

  desc.Section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    DWORD(imageSize), nullptr);
  if (desc.Section != nullptr)
    desc.Bits = static_cast<BYTE*>(MapViewOfFile(desc.Section, FILE_MAP_WRITE, 0, 0, imageSize));
  if (desc.Bits == nullptr) {
    FreeImageData(desc);  // the one failure after the table block: desc is left empty
    OutOfMemoryError();
  }

  desc.Allocated = 1;
  desc.UnitSpecifier = 0;
  desc.WidthSpecific = 1;
  desc.HeightSpecific = 1;
  desc.LineSize = lineSize;
  desc.TopLine = desc.Bits + std::size_t(lineSize) * std::size_t(height - 1);

  if (withAlpha) {
    if (bitCount == 32) {
      desc.KeyFlags |= DWORD(kAlphaModePixel) << kAlphaModeShift;
      const DWORD opaqueBlack = 0xFF000000u;
      for (std::size_t at = 0; at < imageSize; at += 4)
        std::memcpy(desc.Bits + at, &opaqueBlack, 4);
    } else {
      desc.AlphaCount = desc.PaletteCount;
      desc.KeyFlags |= DWORD(kAlphaModeTable) << kAlphaModeShift;
    }
  }
}

void TVynCustomInternalDIB::FreeImageData(TVynDIBDesc& desc) {
  if (desc.Tables != nullptr) {
    VirtualFree(desc.Tables, 0, MEM_RELEASE);
    desc.Tables = nullptr;
    desc.InfoHeader = nullptr;
    desc.Palette = nullptr;
  }
  if (desc.Bits != nullptr) {
    UnmapViewOfFile(desc.Bits);
    desc.Bits = nullptr;
    desc.TopLine = nullptr;
  }
  if (desc.Section != nullptr) {
    CloseHandle(desc.Section);
    desc.Section = nullptr;
  }
  desc.Allocated = 0;
}

void TVynCustomInternalDIB::AttachImage(const TVynDIBDesc& desc) {
  const TVynDIBDesc incoming = desc;
  if (incoming.Tables != nullptr && incoming.Tables == FDesc.Tables) {
    // Re-attaching the storage the store already owns: keep it, drop only what depends on it.
    DropHandles();
  } else {
    FreeImage();
  }
  FDesc = incoming;
  FPaletteChanged = true;
  // A descriptor without pixels or tables (a load that found no image data) leaves no image,
  // so every check reports it instead of reading through a null pointer.
  FHasImage =
      FDesc.Tables != nullptr && FDesc.Bits != nullptr && IsSupportedBitCount(FDesc.BitCount);
  if (!FHasImage) FreeImageData(FDesc);
  InstallAccessors();
  ReduceAlphaTable();
  UpdateBGCache();
  UpdateTransCache();
  SelectIntoDC();
}

void TVynCustomInternalDIB::DropHandles() {
  FDC.DeselectAll();
  FBitmap.reset();
  FPalette.reset();
}

void TVynCustomInternalDIB::InstallAccessors() {
  FPixels = &PixelAccessorsFor(FHasImage ? FDesc.BitCount : 0);
}

void TVynCustomInternalDIB::FreeImage() {
  DropHandles();
  FreeImageData(FDesc);
  FHasImage = false;
  InstallAccessors();
}

// ---- copy and resize ----------------------------------------------------------------------

void TVynCustomInternalDIB::CopyImage(TVynCustomInternalDIB& target) {
  if (!FHasImage) RaiseDIBError("CopyImage", "not Image Data!");
  TVynDIBDesc copy{};
  AllocImage(copy, FDesc.Width, false, FDesc.Palette, FDesc.PaletteCount, FDesc.BitCount,
             FDesc.Height);
  TDIBDescGuard guard(target, copy);
  CopyDescResolution(FDesc, copy);
  CopyDescColorTables(FDesc, copy);
  std::memcpy(copy.Bits, FDesc.Bits, std::size_t(FDesc.LineSize) * std::size_t(FDesc.Height));
  CopyDescColorKeys(FDesc, copy);
  guard.Attach();
}

void TVynCustomInternalDIB::ResizeImage(int newWidth, int newHeight) {
  if (!FHasImage) RaiseDIBError("ResizeImage", "not Image Data!");
  TVynDIBDesc resized{};
  AllocImage(resized, newWidth, false, FDesc.Palette, FDesc.PaletteCount, FDesc.BitCount,
             newHeight);
  TDIBDescGuard guard(*this, resized);
  CopyDescResolution(FDesc, resized);
  CopyDescColorTables(FDesc, resized);
  CopyDescColorKeys(FDesc, resized);

  const int rows = std::min(FDesc.Height, resized.Height);
  const std::size_t bytes = std::size_t(std::min(FDesc.LineSize, resized.LineSize));
  // Pixels cut off on the right must not linger in the new row's padding.
  const std::size_t keptBits = std::size_t(resized.Width) * std::size_t(resized.BitCount);
  const std::size_t fullBytes = keptBits / 8;
  const int partialBits = int(keptBits % 8);
  for (int y = 0; y < rows; ++y) {
    BYTE* row = PictureRow(resized, y);
    std::memcpy(row, PictureRow(FDesc, y), bytes);
    if (fullBytes >= bytes) continue;
    std::size_t clearFrom = fullBytes;
    if (partialBits != 0) row[clearFrom++] &= BYTE(0xFF00u >> partialBits);
    if (clearFrom < bytes) std::memset(row + clearFrom, 0, bytes - clearFrom);
  }
  guard.Attach();
}

// ---- colour keys --------------------------------------------------------------------------

void TVynCustomInternalDIB::SetTransColor(COLORREF color) {
  FDesc.KeyFlags &= ~kTransModeMask;
  if (color > 0x00FFFFFF) {
    FDesc.TransValue = 0;
  } else {
    FDesc.KeyFlags |= kKeyModeColor;
    FDesc.TransValue = color;
  }
  FDesc.Reserved1 = 0;
  UpdateTransCache();
}

void TVynCustomInternalDIB::SetBGColor(COLORREF color) {
  FDesc.KeyFlags &= ~kBGModeMask;
  if (color > 0x00FFFFFF) {
    FDesc.BGValue = 0;
  } else {
    FDesc.KeyFlags |= kKeyModeColor << kBGModeShift;
    FDesc.BGValue = color;
  }
  FDesc.Reserved2 = 0;
  UpdateBGCache();
}

namespace {

// Works out the cached index and colour of one key. Never raises: it runs inside AttachImage,
// after the store has taken the descriptor, so a key that names an entry the palette does not
// have is treated as no key at all.
void ResolveKey(const TVynDIBDesc& desc, bool hasImage, DWORD mode, DWORD value, int& index,
                COLORREF& color) {
  index = -1;
  color = clNone;
  if (!hasImage) return;
  if (mode == kKeyModeIndex) {
    if (desc.PaletteCount == 0) {
      index = int(value);
      color = 0;
    } else if (value < DWORD(desc.PaletteCount)) {
      index = int(value);
      color = EntryColor(desc.Palette[value]);
    }
  } else if (mode == kKeyModeColor) {
    index = desc.BitCount <= 8 ? NearestPaletteIndex(desc.Palette, desc.PaletteCount, value) : -1;
    color = value;
  }
}

}  // namespace

void TVynCustomInternalDIB::UpdateTransCache() {
  ResolveKey(FDesc, FHasImage, KeyMode(FDesc.KeyFlags, 0), FDesc.TransValue, FTransIndex,
             FTransColor);
}

void TVynCustomInternalDIB::UpdateBGCache() {
  ResolveKey(FDesc, FHasImage, KeyMode(FDesc.KeyFlags, kBGModeShift), FDesc.BGValue, FBGIndex,
             FBGColor);
}

void TVynCustomInternalDIB::ReduceAlphaTable() {
  if (!FHasImage || FDesc.BitCount > 8 || AlphaMode(FDesc) != kAlphaModeTable) return;
  const int count = std::clamp(FDesc.PaletteCount, 0, kMaxPaletteEntries);
  const BYTE* alpha = AlphaTable(FDesc);
  int transparent = 0;
  int opaque = 0;
  int transparentIndex = 0;
  for (int i = 0; i < count; ++i) {
    if (alpha[i] == 0) {
      ++transparent;
      transparentIndex = i;
    } else if (alpha[i] == 255) {
      ++opaque;
    }
  }
  // One fully transparent entry among opaque ones is a transparent colour, not an alpha table.
  if (transparent != 1 || opaque != count - 1) return;
  FDesc.KeyFlags &= ~(kAlphaModeMask | kTransModeMask);
  FDesc.KeyFlags |= kKeyModeIndex;
  FDesc.TransValue = DWORD(transparentIndex);
  FDesc.Reserved1 = 0;
}

void TVynCustomInternalDIB::SetAlphaMode(int mode) {
  FDesc.KeyFlags =
      (FDesc.KeyFlags & ~kAlphaModeMask) | ((DWORD(mode) << kAlphaModeShift) & kAlphaModeMask);
}

// ---- palette ------------------------------------------------------------------------------

int TVynCustomInternalDIB::GetNearestPaletteIndex(COLORREF color) {
  if (!FHasImage) RaiseDIBError("GetNearestPaletteIndex", "not Image Data!");
  return NearestPaletteIndex(FDesc.Palette, FDesc.PaletteCount, color);
}

COLORREF TVynCustomInternalDIB::GetPaletteColor(int index) {
  if (!FHasImage) RaiseDIBError("GetPaletteColor", "not Image Data!");
  if (FDesc.PaletteCount == 0) return 0;
  if (index < 0 || index >= FDesc.PaletteCount)
    RaiseDIBError("GetPaletteColor", "Palette Index Over");
  return EntryColor(FDesc.Palette[index]);
}

COLORREF TVynCustomInternalDIB::GetColorRef(int index) {
  return PaletteColorRef(FDesc.Palette, FHasImage ? FDesc.PaletteCount : 0, index);
}

HPALETTE TVynCustomInternalDIB::GetPaletteHandle() {
  if (!FHasImage) RaiseDIBError("GetPaletteHandle", "not Image Data!");
  if (FPalette == nullptr && FDesc.PaletteCount > 0) {
    struct {
      WORD palVersion;
      WORD palNumEntries;
      PALETTEENTRY palPalEntry[kMaxPaletteEntries];
    } log{};
    const int count = std::min(FDesc.PaletteCount, kMaxPaletteEntries);
    log.palVersion = kLogPaletteVersion;
    log.palNumEntries = WORD(count);
    const BYTE* flags = EntryFlags(FDesc);
    for (int i = 0; i < count; ++i) {
      const RGBQUAD& q = FDesc.Palette[i];
      log.palPalEntry[i] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, flags[i]};
    }
    FPalette.reset(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log)));
  }
  return FPalette.get();
}

void TVynCustomInternalDIB::SetPaletteHandle(HPALETTE value) {
  ReadPaletteEntries(value);
  if (value != nullptr && value == FPalette.get()) {
    SelectNewPalette();
  } else {
    UsePalette(PaletteOwner(value));
  }
}

void TVynCustomInternalDIB::AdoptPalette(PaletteOwner palette) {
  ReadPaletteEntries(palette.get());
  UsePalette(std::move(palette));
}

void TVynCustomInternalDIB::ReadPaletteEntries(HPALETTE value) {
  if (!FHasImage) RaiseDIBError("SetPaletteHandle", "not Image Data!");
  if (value == nullptr) return;
  PALETTEENTRY entries[kMaxPaletteEntries];
  const UINT read = GetPaletteEntries(value, 0, kMaxPaletteEntries, entries);
  if (read == 0) RaiseDIBError("SetPaletteHandle", "Invalid Palette");
  const int count = int(std::min<UINT>(read, kMaxPaletteEntries));
  FDesc.PaletteCount = count;
  FDesc.InfoHeader->biClrUsed = DWORD(count);
  BYTE* flags = EntryFlags(FDesc);
  for (int i = 0; i < count; ++i) {
    FDesc.Palette[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    flags[i] = entries[i].peFlags;
  }
}

void TVynCustomInternalDIB::UsePalette(PaletteOwner palette) {
  FDC.DeselectPalette();
  FPalette = std::move(palette);
  if (FPalette != nullptr) SelectNewPalette();
}

void TVynCustomInternalDIB::SelectNewPalette() {
  FDC.SelectPalette(FPalette.get());
  if (FBitmap != nullptr) {
    // The section carries its own colour table, so it is made again from the new entries.
    FDC.DeselectBitmap();
    FBitmap.reset();
    CreateBMPHandle();
    FDC.SelectBitmap(FBitmap.get());
  }
}

HBITMAP TVynCustomInternalDIB::CreateBMPHandle() {
  if (FBitmap != nullptr) return FBitmap.get();
  ScreenDC screen;
  if (screen.get() == nullptr) RaiseDIBError("CreateBMPHandle", "Cannot Create Memory DC");
  {
    PaletteSelection selection(screen.get(), GetPaletteHandle());
    // The section maps the store's own pixel memory: GDI and the store see the same pixels.
    void* bits = nullptr;
    FBitmap.reset(CreateDIBSection(screen.get(),
                                   reinterpret_cast<const BITMAPINFO*>(FDesc.InfoHeader),
                                   DIB_RGB_COLORS, &bits, FDesc.Section, 0));
  }
  if (FBitmap == nullptr) RaiseDIBError("CreateBMPHandle", "not Create Bitmap Handle");
  GdiFlush();
  return FBitmap.get();
}

// ---- device context -----------------------------------------------------------------------

void TVynCustomInternalDIB::BindDC(HDC dc) {
  if (dc == FDC.dc()) return;
  FDC.Bind(dc);
  SelectIntoDC();
}

void TVynCustomInternalDIB::ReleaseDC() {
  FDC.Release();
}

void TVynCustomInternalDIB::SelectIntoDC() {
  if (FDC.dc() == nullptr || !FHasImage) return;
  GetPaletteHandle();
  FDC.SelectPalette(FPalette.get());
  FDC.SelectBitmap(FBitmap.get());
}

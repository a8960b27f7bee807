// The image as a packed DIB in global memory: the clipboard's CF_DIB format.
#include <cstring>
#include <optional>
#include <utility>

#include "image/bmp_decode.h"
#include "image/bmp_limits.h"
#include "image/bmp_source.h"
#include "image/custom_dib.h"
#include "image/dib_error.h"
#include "platform/exception.h"

namespace {

// Keeps a global memory block locked for as long as it is read or filled.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory)
      : memory_(memory), data_(static_cast<BYTE*>(GlobalLock(memory))) {}
  ~GlobalLockGuard() {
    if (data_ != nullptr) GlobalUnlock(memory_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  BYTE* Data() const { return data_; }

 private:
  HGLOBAL memory_;
  BYTE* data_;
};

}  // namespace

void TVynCustomDIB::LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE) {
  if (format != CF_DIB || data == nullptr)
    RaiseDIBError("LoadFromClipBoardFormat", "Invalid Clipboard Format or No Data");
  RefPtr<TVynCustomInternalDIB> store = CreateInternalDIB();
  {
    GlobalLockGuard lock(data);
    // Every read is bounded by the size of the block, not by what its header claims.
    BmpMemorySource source(lock.Data(), GlobalSize(data), kClipboardMessages.method);
    DecodeBmp(source, kClipboardMessages, std::nullopt, *store);
  }
  ReplaceImage(std::move(store));
  Changed();
}

void TVynCustomDIB::SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) {
  CheckImage("SaveToClipboardFormat");
  format = CF_DIB;
  palette = nullptr;
  const TVynDIBDesc& desc = FImage->Desc();
  const std::size_t tableSize = std::size_t(desc.PaletteCount) * sizeof(RGBQUAD);
  const std::size_t pixelSize = std::size_t(desc.LineSize) * std::size_t(desc.Height);
  HGLOBAL memory =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + tableSize + pixelSize);
  if (memory == nullptr) OutOfMemoryError();
  {
    GlobalLockGuard lock(memory);
    if (lock.Data() == nullptr) {
      GlobalFree(memory);
      OutOfMemoryError();
    }
    BYTE* out = lock.Data();
    std::memcpy(out, desc.InfoHeader, sizeof(BITMAPINFOHEADER));
    std::memcpy(out + sizeof(BITMAPINFOHEADER), desc.Palette, tableSize);
    std::memcpy(out + sizeof(BITMAPINFOHEADER) + tableSize, desc.Bits, pixelSize);
  }
  // The clipboard owns the block from here on.
  data = memory;
}

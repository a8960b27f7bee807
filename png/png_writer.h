// The PNG writer: one image (or a rectangle of it) to one complete PNG datastream, written
// in a single pass. Rows are streamed: besides zlib's state, memory in use is two row
// buffers, at most four filter candidates and one 32768-byte output buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "image/custom_dib.h"
#include "image/dib_desc.h"
#include "platform/stream.h"
#include "png/png_exceptions.h"
#include "png/png_row_gather.h"
#include "png/png_save_settings.h"

class IdatDeflater;
class PngRowFilter;
class PngChunkWriter;

// What the writer reads from an image, gathered once at the start of a save. The writer never
// changes the image.
struct PngWriteSource {
  const TVynDIBDesc* Desc = nullptr;
  bool AlphaFlag = false;
  COLORREF TransColor = clNone;  // above 0x00FFFFFF: none
  COLORREF BGColor = clNone;
  // The palette entries the image holds as its keys; -1 when it holds none.
  int TransIndex = -1;
  int BGIndex = -1;
  int UnitSpecifier = 0;
  int WidthSpecific = 0;
  int HeightSpecific = 0;
  std::string_view Text;
};

// The state of one save. The caller makes it, sets Stream and Image, calls PngSaveStream and
// drops it; the writer releases the zlib stream and every buffer before it returns or raises.
struct PngWriteState {
  PngWriteState();
  ~PngWriteState();
  PngWriteState(const PngWriteState&) = delete;
  PngWriteState& operator=(const PngWriteState&) = delete;

  // Ends the zlib stream and frees the buffers; runs on every way out of the writer.
  void Release();

  TStream* Stream = nullptr;
  TVynCustomDIB* Image = nullptr;

  // The rectangle written and its first row.
  int Left = 0, Top = 0, Width = 0, Height = 0;
  const BYTE* FirstRow = nullptr;

  // The derived format.
  int BitDepth = 0;
  int ColorType = 0;
  int BitsPerPixel = 0;
  bool AlphaFlag = false;

  // Interlacing: the last pass (0, or 6 for Adam7) and where the current pass stands.
  bool Interlaced = false;
  int LastPass = 0;
  int Pass = 0;
  std::int64_t PassRow = 0;
  int PassFirstColumn = 0;
  int PassColumnStep = 1;
  std::int64_t PassPixels = 0;
  std::size_t RowLength = 0;  // type byte included

  // Previous and current row, each a type byte 0 and the row data.
  std::vector<std::uint8_t> PriorRow;
  std::vector<std::uint8_t> CurrentRow;
  // The highest instruction set the row kernels may use; tests lower it to run each variant.
  SimdLevel MaxSimdLevel = SimdLevel::kAvx2;
  // The row kernels, chosen for one instruction set when the save begins.
  RowGather Gather{SimdLevel::kScalar};
  std::unique_ptr<PngRowFilter> Filter;
  int ZlibLevel = 0;
  std::unique_ptr<PngChunkWriter> Chunks;
  std::unique_ptr<IdatDeflater> Deflater;
};

// Writes the rectangle (left, top, width, height) of State.Image to State.Stream. Width or
// height 0 writes the whole image. The rectangle must lie inside the image, and the image
// must have storage. settings may be null (all zero).
void PngSaveStream(PngWriteState& state, int left, int top, int width, int height,
                   const SaveSettings* settings);

// The same on an image gathered by the caller; State.Image is not used.
void PngWriteImage(PngWriteState& state, const PngWriteSource& source, int left, int top, int width,
                   int height, const SaveSettings* settings);

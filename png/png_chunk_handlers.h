// The handlers of the chunks that describe the picture and its keys. The chunk loop has
// checked where each chunk stands; a handler checks the chunk's data and reads all of it.
#pragma once

#include "png/png_chunk_cursor.h"
#include "png/png_read_state.h"

void HandleIHDR(ChunkCursor& chunk, const PngReadLimits& limits, PngHeader& header);
// A PLTE after the image data is read but changes nothing.
void HandlePLTE(ChunkCursor& chunk, bool afterImageData, PngPalette& palette);
void HandleTRNS(ChunkCursor& chunk, const PngHeader& header, const PngPalette& palette,
                PngColourKeys& keys);
void HandleBKGD(ChunkCursor& chunk, const PngHeader& header, const PngPalette& palette,
                PngColourKeys& keys);
void HandleGAMA(ChunkCursor& chunk, PngPictureInfo& info);
void HandlePHYS(ChunkCursor& chunk, PngPictureInfo& info);
void HandleOFFS(ChunkCursor& chunk, PngPictureInfo& info);
// IEND ends the load, which fails when no image data came before it.
void HandleIEND(ChunkCursor& chunk, bool afterImageData);

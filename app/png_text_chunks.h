// The text of a PNG file entry by entry, as its tEXt and zTXt chunks hold it: the reader
// gathers all of it into one string, info lists each keyword with its text.
#pragma once

#include <string_view>
#include <vector>

#include "app/image_facts.h"
#include "app/png_chunk_walk.h"

// The entries of the text chunks walk found in bytes, in file order, each text up to its first
// 0 byte. A zTXt text is inflated; text past the reader's limit (kMaxTextBytes) in all is left
// out, as the reader leaves it out, so a small file cannot ask for much memory.
std::vector<TextFact> ReadPngTextChunks(std::string_view bytes, const PngChunkWalk& walk);

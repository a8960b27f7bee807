// Owners of GDI objects. A handle never owns what it points to; whoever made the object holds
// it in one of these, hands out get() wherever a handle is asked for, and DeleteObject frees
// it when the owner goes or is given another.
#pragma once

#include <memory>

#include "platform/gdi.h"

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

template <typename Object>
using GdiOwner = std::unique_ptr<Object, GdiObjectDeleter>;
using PaletteOwner = GdiOwner<GdiPalette>;
using BitmapOwner = GdiOwner<GdiBitmap>;

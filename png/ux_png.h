// TUxPNG: the image class that reads and writes PNG instead of BMP.
#pragma once

#include "image/custom_dib.h"
#include "png/png_exceptions.h"
#include "png/png_limits.h"
#include "png/png_save_settings.h"

class TUxPNG : public TVynCustomDIB {
 public:
  const char* ClassName() const override { return "TUxPNG"; }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void RectSaveToStream(TStream& stream, int left, int top, int width, int height) override;

  // Whether the last load gathered more text than FInfoText holds: text past the reader's
  // limit is left out, not the picture.
  bool TextTruncated() const { return textTruncated_; }

  SaveSettings Settings;
  // What every load of this image may take; a file cannot ask for more.
  PngReadLimits ReadLimits;

 private:
  bool textTruncated_ = false;
};

// PngSaveStream: gathers what the writer needs from the image, then writes it.
#include "platform/gdi.h"
#include "png/png_writer.h"

void PngSaveStream(PngWriteState& state, int left, int top, int width, int height,
                   const SaveSettings* settings) {
  // Drawing still queued on the pixel memory must land before rows are read.
  GdiFlush();
  TVynCustomDIB& image = *state.Image;
  PngWriteSource source;
  source.Desc = &image.Image()->Desc();
  source.AlphaFlag = image.GetAlphaFlag();
  source.TransColor = image.GetTransColor();
  source.BGColor = image.GetBGColor();
  source.TransIndex = image.Image()->TransIndex();
  source.BGIndex = image.Image()->BGIndex();
  source.UnitSpecifier = image.GetUnitSpecifier();
  source.WidthSpecific = image.GetWidthSpecific();
  source.HeightSpecific = image.GetHeightSpecific();
  source.Text = image.FInfoText.bytes();
  PngWriteImage(state, source, left, top, width, height, settings);
}

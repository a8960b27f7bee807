// TUxPNG in the framework's picture-format registries.
#include "png/png_registration.h"

#include <gtest/gtest.h>

#include "png/ux_png.h"

namespace {

TEST(PngRegistration, RegistersForPngFilesAndDibClipboardUntilDropped) {
  {
    PngFormatRegistration registration;
    const TFileFormat format = TPicture::FileFormat("png");
    ASSERT_EQ(format.graphicClass, UxPNGGraphicClass());
    EXPECT_EQ(format.description, "Portable Network Graphics");
    EXPECT_EQ(TPicture::FileFormat(".PNG").graphicClass, UxPNGGraphicClass());
    EXPECT_EQ(TPicture::ClipboardFormatClass(CF_DIB), UxPNGGraphicClass());
    const auto graphic = format.graphicClass->create();
    EXPECT_NE(dynamic_cast<TUxPNG*>(graphic.get()), nullptr);
  }
  EXPECT_EQ(TPicture::FileFormat("PNG").graphicClass, nullptr);
  EXPECT_EQ(TPicture::ClipboardFormatClass(CF_DIB), nullptr);
}

}  // namespace

// TPicture's file-format and clipboard-format registries.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/bitmap.h"
#include "platform/picture.h"

namespace {

class FirstGraphic : public TBitmap {};
class SecondGraphic : public TBitmap {};

TGraphicClass First() {
  return GraphicClassOf<FirstGraphic>("FirstGraphic");
}
TGraphicClass Second() {
  return GraphicClassOf<SecondGraphic>("SecondGraphic");
}

class PictureRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    TPicture::UnregisterGraphicClass(First());
    TPicture::UnregisterGraphicClass(Second());
  }
};

TEST_F(PictureRegistryTest, ExtensionsMatchWhateverTheirCaseOrDot) {
  TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", First());
  for (const char* ext : {"PNG", "png", ".Png", ".pNG"}) {
    const TFileFormat format = TPicture::FileFormat(ext);
    EXPECT_EQ(format.graphicClass, First()) << ext;
    EXPECT_EQ(format.description, "Portable Network Graphics");
  }
  EXPECT_EQ(TPicture::FileFormat("PN").graphicClass, nullptr);
  EXPECT_EQ(TPicture::FileFormat("").graphicClass, nullptr);
}

TEST_F(PictureRegistryTest, TheLaterRegistrationOfAnExtensionWins) {
  TPicture::RegisterFileFormat("png", "one", First());
  TPicture::RegisterFileFormat("PNG", "two", Second());
  EXPECT_EQ(TPicture::FileFormat("png").graphicClass, Second());
  TPicture::UnregisterGraphicClass(Second());
  EXPECT_EQ(TPicture::FileFormat("png").graphicClass, First());
}

TEST_F(PictureRegistryTest, UnregisteringRemovesBothKindsOfEntryOfThatClassOnly) {
  TPicture::RegisterClipboardFormat(8, First());
  TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", First());
  TPicture::RegisterFileFormat("XYZ", "other", Second());
  EXPECT_EQ(TPicture::ClipboardFormatClass(8), First());
  EXPECT_EQ(TPicture::ClipboardFormatClass(2), nullptr);

  TPicture::UnregisterGraphicClass(First());
  EXPECT_EQ(TPicture::ClipboardFormatClass(8), nullptr);
  EXPECT_EQ(TPicture::FileFormat("PNG").graphicClass, nullptr);
  EXPECT_EQ(TPicture::FileFormat("XYZ").graphicClass, Second());
}

TEST_F(PictureRegistryTest, ARegisteredClassMakesGraphicsOfItsType) {
  TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", First());
  const TGraphicClass cls = TPicture::FileFormat("png").graphicClass;
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->name, "FirstGraphic");
  std::unique_ptr<TGraphic> graphic = cls->create();
  EXPECT_NE(dynamic_cast<FirstGraphic*>(graphic.get()), nullptr);
}

TEST_F(PictureRegistryTest, ThreadsMayRegisterAndLookUpTogether) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        const std::string extension{'E', char('0' + t)};
        TPicture::RegisterFileFormat(extension, "d", t % 2 ? First() : Second());
        TPicture::FileFormat("E0");
        TPicture::ClipboardFormatClass(8);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(TPicture::FileFormat("e1").graphicClass, First());
  EXPECT_EQ(TPicture::FileFormat("e2").graphicClass, Second());
}

}  // namespace

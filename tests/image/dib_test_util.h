// Helpers shared by the image model tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/custom_dib.h"
#include "image/dib_error.h"

// Runs fn and checks that it raises EVynCustomDIB with exactly the given message.
inline void ExpectDIBError(const std::function<void()>& fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no EVynCustomDIB raised, expected \"" << message << "\"";
  } catch (const EVynCustomDIB& e) {
    EXPECT_EQ(e.Message().bytes(), message);
  }
}

// A palette of count entries given as COLORREF values (red in the low byte).
inline std::vector<RGBQUAD> MakePalette(const std::vector<COLORREF>& colors) {
  std::vector<RGBQUAD> palette;
  for (COLORREF c : colors) palette.push_back({GetBValue(c), GetGValue(c), GetRValue(c), 0});
  return palette;
}

// Exposes the store lifecycle helpers that Assign uses, so tests can share a store between two
// images without going through Assign.
class TestDIB : public TVynCustomDIB {
 public:
  void ShareWith(TestDIB& source) { ShareImage(source); }
  void Replace(RefPtr<TVynCustomInternalDIB> store) { ReplaceImage(std::move(store)); }
  void Check(const char* method) { CheckImage(method); }
  int changes = 0;
  void Changed() override {
    ++changes;
    TVynCustomDIB::Changed();
  }
};

// Gives the image a fresh store content of the given shape.
inline void Remake(TVynCustomDIB& image, int width, int height, int bitCount,
                   const std::vector<RGBQUAD>& palette = {}, bool withAlpha = false) {
  image.Image()->CreateImage(width, height, withAlpha, palette.empty() ? nullptr : palette.data(),
                             int(palette.size()), bitCount);
}

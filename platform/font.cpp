#include "platform/font.h"

namespace {

int MulDiv(int number, int numerator, int denominator) {
  const long long product = static_cast<long long>(number) * numerator;
  const long long half = denominator / 2;
  return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

int TFont::Size() const {
  return -MulDiv(Height, 72, kScreenPixelsPerInch);
}

void TFont::SetSize(int points) {
  Height = -MulDiv(points, kScreenPixelsPerInch, 72);
}

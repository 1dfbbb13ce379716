#include "kx8rt/text_primitives/my_unicodenew.h"

#include "kx8rt/platform/char_classes.h"

namespace kx8 {

bool DefaultGetTextExtentExPointW(HDC DC, const char16_t* P, int32_t Len, int32_t MaxExtent, int32_t* Fit,
                                  int32_t* Dx, TSize& Size) {
  Size = {};
  if (!DC || !P || Len < 0) return false;
  int32_t width = 0, fit = 0;
  for (int32_t i = 0; i < Len; ++i) {
    const char16_t u = P[i];
    bool zeroWidth = u >= 0xDC00 && u <= 0xDFFF && i > 0 && P[i - 1] >= 0xD800 && P[i - 1] <= 0xDBFF;
    if (!zeroWidth && !(u >= 0xD800 && u <= 0xDFFF)) {
      const TUnicodeCategory cat = GetUnicodeCategory(u);
      zeroWidth = cat == ucNonSpacingMark || cat == ucEnclosingMark || cat == ucFormat;
    }
    if (!zeroWidth) width += DefaultCharCellWidth;
    if (width <= MaxExtent) fit = i + 1;
    if (Dx) Dx[i] = width;
  }
  if (Fit) *Fit = fit;
  Size = {width, DefaultCharCellHeight};
  return true;
}

TSize GetTextExtentW(HDC DC, const char16_t* P, int32_t Len) {
  TSize size;
  if (Len <= 0 || !MyGetTextExtentExPointW) return {};
  if (!MyGetTextExtentExPointW(DC, P, Len, 0x7FFFFFFF, nullptr, nullptr, size)) return {};
  return size;
}

}  // namespace kx8

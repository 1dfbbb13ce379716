// Measuring UTF-16 text on a device context, through a replaceable hook (the library draws nothing
// itself; a tool with a drawing surface installs its own measure).
#pragma once

#include <cstdint>
#include <functional>

namespace kx8 {

// A device context: an opaque handle of the tool's drawing surface.
using HDC = void*;

// Width and height of a piece of text.
struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  bool operator==(const TSize&) const = default;
};

// Measures Len units of P on DC: fills Size, and when Fit / Dx are given, how many units fit within
// MaxExtent and the width up to each unit. False when it cannot measure.
using TGetTextExtentExPointW = std::function<bool(HDC DC, const char16_t* P, int32_t Len, int32_t MaxExtent,
                                                  int32_t* Fit, int32_t* Dx, TSize& Size)>;

// Nominal cell of the default measure: each character 8 wide and 16 high.
inline constexpr int32_t DefaultCharCellWidth = 8;
inline constexpr int32_t DefaultCharCellHeight = 16;

// The default measure, for a library without a drawing surface: every character is one 8 x 16 cell,
// except combining marks, format characters and the low half of a surrogate pair, which add no width.
// It fails for a null DC or P, so that callers without a surface get (0, 0).
bool DefaultGetTextExtentExPointW(HDC DC, const char16_t* P, int32_t Len, int32_t MaxExtent, int32_t* Fit,
                                  int32_t* Dx, TSize& Size);

// The measuring hook; a tool with real fonts replaces it.
inline TGetTextExtentExPointW MyGetTextExtentExPointW = DefaultGetTextExtentExPointW;

// Size of the first Len units of P on DC through the hook; (0, 0) when Len is not positive, the hook is
// empty or it fails.
TSize GetTextExtentW(HDC DC, const char16_t* P, int32_t Len);

}  // namespace kx8

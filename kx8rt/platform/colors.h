// Colours as the settings files store them: 0x00BBGGRR values (red in the low byte), the classic
// colour names (clRed, clBtnFace...) and "$" hexadecimal.
#pragma once

#include <cstdint>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// A colour: 0x00BBGGRR, or a system colour (0xFF000000 + its index), clNone or clDefault.
using TColor = int32_t;

inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                        clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                        clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                        clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                        clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF, clMedGray = 0xA4A0A0,
                        clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// System colours: the display's own colours by index.
inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clBtnFace = clSystemColor | 15, clWindow = clSystemColor | 5,
                        clWindowText = clSystemColor | 8, clHighlight = clSystemColor | 13,
                        clHighlightText = clSystemColor | 14;

// The colour's name when it has one ("clRed"), else "$" and eight hexadecimal digits ("$00123456").
UnicodeString ColorToString(TColor Color);
// A colour name (any case) or an integer text (decimal or "$" hexadecimal); EConvertError otherwise.
TColor StringToColor(std::u16string_view S);
// The colour of a name; false when it names none.
bool IdentToColor(std::u16string_view Ident, TColor& Color);
// The name of a colour; false when it has none.
bool ColorToIdent(TColor Color, UnicodeString& Ident);

}  // namespace kx8

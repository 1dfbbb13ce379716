#include "kx8rt/platform/colors.h"

#include <iterator>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

struct ColorName {
  TColor color;
  const char16_t* name;
};

constexpr TColor Sys(int index) { return clSystemColor | index; }

const ColorName kColorNames[] = {
    {clBlack, u"clBlack"},   {clMaroon, u"clMaroon"},   {clGreen, u"clGreen"},
    {clOlive, u"clOlive"},   {clNavy, u"clNavy"},       {clPurple, u"clPurple"},
    {clTeal, u"clTeal"},     {clGray, u"clGray"},       {clSilver, u"clSilver"},
    {clRed, u"clRed"},       {clLime, u"clLime"},       {clYellow, u"clYellow"},
    {clBlue, u"clBlue"},     {clFuchsia, u"clFuchsia"}, {clAqua, u"clAqua"},
    {clWhite, u"clWhite"},   {clMoneyGreen, u"clMoneyGreen"}, {clSkyBlue, u"clSkyBlue"},
    {clCream, u"clCream"},   {clMedGray, u"clMedGray"}, {clNone, u"clNone"},
    {clDefault, u"clDefault"},
    {Sys(0), u"clScrollBar"},          {Sys(1), u"clBackground"},       {Sys(2), u"clActiveCaption"},
    {Sys(3), u"clInactiveCaption"},    {Sys(4), u"clMenu"},             {Sys(5), u"clWindow"},
    {Sys(6), u"clWindowFrame"},        {Sys(7), u"clMenuText"},         {Sys(8), u"clWindowText"},
    {Sys(9), u"clCaptionText"},        {Sys(10), u"clActiveBorder"},    {Sys(11), u"clInactiveBorder"},
    {Sys(12), u"clAppWorkSpace"},      {Sys(13), u"clHighlight"},       {Sys(14), u"clHighlightText"},
    {Sys(15), u"clBtnFace"},           {Sys(16), u"clBtnShadow"},       {Sys(17), u"clGrayText"},
    {Sys(18), u"clBtnText"},           {Sys(19), u"clInactiveCaptionText"}, {Sys(20), u"clBtnHighlight"},
    {Sys(21), u"cl3DDkShadow"},        {Sys(22), u"cl3DLight"},         {Sys(23), u"clInfoText"},
    {Sys(24), u"clInfoBk"},            {Sys(26), u"clHotLight"},        {Sys(27), u"clGradientActiveCaption"},
    {Sys(28), u"clGradientInactiveCaption"}, {Sys(29), u"clMenuHighlight"}, {Sys(30), u"clMenuBar"},
};

}  // namespace

bool IdentToColor(std::u16string_view Ident, TColor& Color) {
  for (const ColorName& c : kColorNames)
    if (SameText(Ident, c.name)) {
      Color = c.color;
      return true;
    }
  return false;
}

bool ColorToIdent(TColor Color, UnicodeString& Ident) {
  for (const ColorName& c : kColorNames)
    if (c.color == Color) {
      Ident = c.name;
      return true;
    }
  return false;
}

UnicodeString ColorToString(TColor Color) {
  UnicodeString name;
  if (ColorToIdent(Color, name)) return name;
  return u"$" + IntToHex(static_cast<uint32_t>(Color), 8);
}

TColor StringToColor(std::u16string_view S) {
  TColor c;
  if (IdentToColor(S, c)) return c;
  int32_t v;
  if (!TryStrToInt(S, v)) throw EConvertError(u"'" + UnicodeString(S) + u"' is not a valid colour");
  return v;
}

}  // namespace kx8

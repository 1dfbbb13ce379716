#include "kx8rt/platform/encoding.h"

namespace kx8 {

namespace {
constexpr std::string_view kUtf8Bom("\xEF\xBB\xBF", 3);
constexpr std::string_view kUtf16LeBom("\xFF\xFE", 2);
constexpr std::string_view kUtf16BeBom("\xFE\xFF", 2);

UnicodeString DecodeUtf16(std::string_view bytes, bool bigEndian) {
  UnicodeString out(bytes.size() / 2 + (bytes.size() & 1), u'\0');
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    unsigned b0 = p[2 * i], b1 = p[2 * i + 1];
    out[i] = static_cast<char16_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0));
  }
  if (bytes.size() & 1) out[units] = u'\uFFFD';  // half a code unit: report it rather than drop it
  return out;
}

std::string EncodeUtf16(std::u16string_view text, bool bigEndian) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned u = text[i];
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out[2 * i] = bigEndian ? hi : lo;
    out[2 * i + 1] = bigEndian ? lo : hi;
  }
  return out;
}
}  // namespace

std::string_view TEncoding::GetPreamble() const {
  switch (fKind) {
    case ekUTF8: return fSignature ? kUtf8Bom : std::string_view();
    case ekUnicode: return fSignature ? kUtf16LeBom : std::string_view();
    case ekBigEndianUnicode: return fSignature ? kUtf16BeBom : std::string_view();
    case ekAnsi: break;
  }
  return {};
}

std::string TEncoding::GetBytes(std::u16string_view text) const {
  switch (fKind) {
    case ekUTF8: return Utf16ToUtf8(text);
    case ekUnicode: return EncodeUtf16(text, false);
    case ekBigEndianUnicode: return EncodeUtf16(text, true);
    case ekAnsi: break;
  }
  return UnicodeToAnsi(text, fCodePage);
}

UnicodeString TEncoding::GetString(std::string_view bytes) const {
  switch (fKind) {
    case ekUTF8: return Utf8ToUtf16(bytes);
    case ekUnicode: return DecodeUtf16(bytes, false);
    case ekBigEndianUnicode: return DecodeUtf16(bytes, true);
    case ekAnsi: break;
  }
  return AnsiToUnicode(bytes, fCodePage);
}

std::optional<TEncoding> TEncoding::FromSignature(std::string_view bytes, size_t& signatureLength) {
  signatureLength = 0;
  if (bytes.substr(0, 3) == kUtf8Bom) {
    signatureLength = 3;
    return UTF8(true);
  }
  if (bytes.substr(0, 2) == kUtf16LeBom) {
    signatureLength = 2;
    return Unicode();
  }
  if (bytes.substr(0, 2) == kUtf16BeBom) {
    signatureLength = 2;
    return BigEndianUnicode();
  }
  return std::nullopt;
}

}  // namespace kx8

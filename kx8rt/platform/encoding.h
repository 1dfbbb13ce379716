// Text encodings of whole byte runs: the system 8-bit code page, UTF-8 and UTF-16 in either byte order,
// with their byte-order marks (signatures).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// A run of bytes.
using TBytes = std::vector<uint8_t>;

// The families of encoding the string lists and string streams read and write.
enum TEncodingKind : uint8_t { ekAnsi, ekUTF8, ekUnicode, ekBigEndianUnicode };

// One encoding: its family, the code page of an 8-bit encoding and whether its signature is written.
class TEncoding {
 public:
  // 8-bit text in codePage; CP_ACP is the system code page at the time of each conversion.
  static TEncoding ANSI(uint32_t codePage = CP_ACP) { return TEncoding(ekAnsi, codePage, false); }
  // The system 8-bit code page.
  static TEncoding Default() { return ANSI(); }
  // UTF-8, with the signature EF BB BF unless told otherwise.
  static TEncoding UTF8(bool withSignature = true) { return TEncoding(ekUTF8, CP_UTF8, withSignature); }
  // UTF-16 little-endian with the signature FF FE.
  static TEncoding Unicode() { return TEncoding(ekUnicode, 1200, true); }
  // UTF-16 big-endian with the signature FE FF.
  static TEncoding BigEndianUnicode() { return TEncoding(ekBigEndianUnicode, 1201, true); }

  TEncodingKind Kind() const { return fKind; }
  uint32_t CodePage() const { return fCodePage; }
  // Whether saving writes the signature (never for 8-bit text, which has none).
  bool HasSignature() const { return fSignature; }
  // True for the two UTF-16 encodings.
  bool IsUTF16() const { return fKind == ekUnicode || fKind == ekBigEndianUnicode; }

  // The signature bytes a file in this encoding starts with (empty for 8-bit text and for UTF-8 without one).
  std::string_view GetPreamble() const;
  // Text to bytes, without the signature. Characters an 8-bit code page lacks become "?".
  std::string GetBytes(std::u16string_view text) const;
  // Bytes (without signature) to text. Malformed UTF-8 and a lone last byte of UTF-16 become U+FFFD.
  UnicodeString GetString(std::string_view bytes) const;

  // The encoding whose byte-order mark starts bytes, with the mark's length; nullopt when there is none.
  static std::optional<TEncoding> FromSignature(std::string_view bytes, size_t& signatureLength);

  friend bool operator==(const TEncoding& a, const TEncoding& b) {
    return a.fKind == b.fKind && a.fCodePage == b.fCodePage && a.fSignature == b.fSignature;
  }

 private:
  TEncoding(TEncodingKind kind, uint32_t codePage, bool signature)
      : fKind(kind), fCodePage(codePage), fSignature(signature) {}

  TEncodingKind fKind;
  uint32_t fCodePage;
  bool fSignature;
};

}  // namespace kx8

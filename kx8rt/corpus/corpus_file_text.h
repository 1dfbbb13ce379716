// A corpus file's whole text in one call, for tools that want a text in memory rather than streamed
// through the concordancer's windows (word-processor documents and mark-up included).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The text of a corpus file for a reading tool, by format: UTF-16 of either order with or without a
// signature, UTF-8, 7-bit, 8-bit text in codepage (0: the system code page), and word-processor
// documents (.docx) by their paragraphs; markup of at most maxTagGap characters ("<...>") stepped
// over when maxTagGap > 0. False (with note saying why) for a missing, unreadable or binary file.
bool CorpusFileText(const UnicodeString& fname, uint16_t codepage, int32_t maxTagGap, UnicodeString& text,
                    UnicodeString& note);
// As CorpusFileText for bytes already read (an archive entry, say); a word-processor document inside
// them is reported in note, not read.
bool CorpusBufferText(const uint8_t* data, size_t size, uint16_t codepage, int32_t maxTagGap, UnicodeString& text,
                      UnicodeString& note);

}  // namespace kx8

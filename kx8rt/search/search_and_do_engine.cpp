#include "kx8rt/search/search_and_do_engine.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/files/system_routines.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/strings/text_cleaning.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

// The longest buffer the 32-bit counts can describe with the two spare type words.
constexpr int64_t kMaxBufferCharacters = std::numeric_limits<int32_t>::max() - 2;

int64_t ZeroTerminatedLength(const void* p, bool isUnicode) {
  if (isUnicode) return static_cast<int64_t>(WideStrLen(static_cast<const char16_t*>(p)));
  return static_cast<int64_t>(std::strlen(static_cast<const char*>(p)));
}

const char16_t* TrueFalse(bool b) { return b ? u"True" : u"False"; }

}  // namespace

TSearchAndDoEngine::TSearchAndDoEngine(LCID AnLCID) : Codepage(LCIDToCodePage(AnLCID)), fLCID(AnLCID) {}

void TSearchAndDoEngine::SetLCID(LCID AnLCID) {
  if (AnLCID == fLCID) return;
  Codepage = LCIDToCodePage(AnLCID);
  fLCID = AnLCID;
}

void TSearchAndDoEngine::SetBufferLength(int32_t Value) {
  fBuffer_Characters = std::clamp(Value, 0, fBufferCapacity);
}

void TSearchAndDoEngine::SetABuffer(const void* AStartOfText, TKXFileFormat aFormat) {
  BufferFormat = aFormat;
  SetABuffer(AStartOfText);
}

void TSearchAndDoEngine::SetABuffer(const void* AStartOfText) {
  SetABuffer(AStartOfText, AStartOfText == nullptr ? 0 : -1);
}

void TSearchAndDoEngine::SetABuffer(const void* AStartOfText, int32_t knownLength) {
  // The type array keeps its capacity from one text to the next: an engine reused over a corpus
  // then allocates (and faults in) its array once, not once a file. Nor is it cleared in between:
  // a clear would have the resize below zero-fill every entry again.
  fBufferDetailsStart = fBufferDetailsEnd = nullptr;
  fBuffer_Characters = fBufferCapacity = 0;
  fStartOfText = AStartOfText;
  if (AStartOfText == nullptr) {
    BufferDetails.clear();
    return;
  }
  // A buffer longer than the counts can hold is searched as far as they reach.
  const int32_t length = static_cast<int32_t>(std::min(
      knownLength >= 0 ? int64_t{knownLength} : ZeroTerminatedLength(AStartOfText, IsUnicodeBuffer()), kMaxBufferCharacters));
  fBuffer_Characters = fBufferCapacity = length;
  // Not zero-filled first: the classification writes every entry, the two spare ones included.
  BufferDetails.resize(static_cast<size_t>(length) + 2);
  BufferDetails[static_cast<size_t>(length)] = BufferDetails[static_cast<size_t>(length) + 1] = 0;
  if (fClassifyBuffer && length > 0) GetStringTypeExNT2000(IsUnicodeBuffer(), fLCID, CT_CTYPE1, AStartOfText, length, BufferDetails.data());
  fBufferDetailsStart = BufferDetails.data();
  fBufferDetailsEnd = BufferDetails.data() + length + 1;
}

void TSearchAndDoEngine::PrepareForConcordancing(const UnicodeString& AFilename, const void* AStartOfText,
                                                 const uint16_t*, const uint16_t*, int32_t AComplete_file_Size,
                                                 int32_t ABuffer_Characters, int32_t ABufferStartPosInFile, bool ABufferGotConverted,
                                                 bool ASkipPunctuation, TSearchFoundEvent ASearchFoundEvent,
                                                 TWordCountEvent AWordCountEvent) {
  fFilename = AFilename;
  BufferGotConverted = ABufferGotConverted;
  fComplete_file_size = AComplete_file_Size;
  fSkipAnyTags = true;
  fSkipPunctuation = ASkipPunctuation;
  FileBytePos = ABufferStartPosInFile;
  fSearchFoundEvent = std::move(ASearchFoundEvent);
  fWordCountEvent = std::move(AWordCountEvent);
  SetABuffer(AStartOfText, ABuffer_Characters > 0 ? ABuffer_Characters : -1);
  fReady = static_cast<bool>(fSearchFoundEvent);
}

void TSearchAndDoEngine::PrepareFirst(const void* ABuffer, int32_t AComplete_file_Size, int32_t ABufferStartPosInFile,
                                      TSearchFoundEvent ASearchFoundEvent, TWordCountEvent AWordCountEvent) {
  FileBytePos = ABufferStartPosInFile;
  fSearchFoundEvent = std::move(ASearchFoundEvent);
  fWordCountEvent = std::move(AWordCountEvent);
  SetABuffer(ABuffer);
  fComplete_file_size = AComplete_file_Size;
  fReady = static_cast<bool>(fSearchFoundEvent);
}

void TSearchAndDoEngine::HandleAllowables(const UnicodeString& wide_allowables, bool allow_middles_at_right,
                                          bool allow_middles_at_left) {
  MyYieldProcess();
  if (fStartOfText == nullptr || fBuffer_Characters <= 0) return;
  const auto count = static_cast<uint16_t>(std::min<size_t>(wide_allowables.size(), 10));
  HandleMiddleChars(fStartOfText, BufferDetails.data(), wide_allowables, count, fBuffer_Characters, IsUnicodeBuffer(),
                    allow_middles_at_right, allow_middles_at_left);
}

void TSearchAndDoEngine::SetArrayOfTagsFound(const int32_t* anArrayOfTagsFound) {
  if (anArrayOfTagsFound == nullptr) {
    Arr_OfTextMarkersFound.fill(0);
    return;
  }
  std::copy_n(anArrayOfTagsFound, Arr_OfTextMarkersFound.size(), Arr_OfTextMarkersFound.begin());
}

void TSearchAndDoEngine::Cancel() {
  fCancelled = true;
  MyYieldProcess();
}

UnicodeString TSearchAndDoEngine::BufferTextAt(int64_t at, int32_t n) const {
  if (fStartOfText == nullptr || at < 0 || at >= fBufferCapacity) return {};
  const auto len = static_cast<size_t>(std::min<int64_t>(n, fBufferCapacity - at));
  if (IsUnicodeBuffer()) return UnicodeString(static_cast<const char16_t*>(fStartOfText) + at, len);
  return AnsiToUnicode(std::string_view(static_cast<const char*>(fStartOfText) + at, len), Codepage);
}

void TSearchAndDoEngine::LogSeeking(const TSearch_word_format_rec& item) const {
  UnicodeString s = u"seeking \r\n";
  for (TSW_copy c : {upper_copy, lower_copy, title_copy}) s += u"\"" + item.copies[c] + u"\"\r\n";
  s += u"and file begins \"" + BufferTextAt(0, 50) + u"...\"";
  AddToLogFile(s);
}

void TSearchAndDoEngine::LogHit(int64_t hitIdx, int64_t idx, int64_t remaining, float percent) const {
  UnicodeString shown = BufferTextAt(hitIdx, 50);
  for (auto& c : shown) {
    if (c == sw_tag_end) c = u'>';
    else if (c == sw_tag_start) c = u'<';
    else if (c < u' ') c = u' ';
  }
  const int64_t hitByte = hitIdx * CharSize() + FileBytePos;
  AddToLogFile(Format(u"(%d) \"%s\" at chunk %.6x+%.6x= byte %.6x\tdone: %.6x\tto go: %.6x\t%.2f%% words = %d",
                      {fHits_found, shown, FileBytePos, hitIdx, hitByte, idx, remaining, percent,
                       ThisFileChunk_Stats.number[word_stats]}));
}

bool TSearchAndDoEngine::SearchAndDo(TSearch_word_format_rec* item, int32_t item_num) {
  current_search_number = item_num;
  return SearchAndDo(item);
}

bool TSearchAndDoEngine::SearchAndDo(TSearch_word_format_rec* item) {
  const bool bufferNil = fStartOfText == nullptr;
  if (!fReady || bufferNil || item == nullptr || item->search_text.empty()) {
    if (global_keeping_log)
      AddToLogFile(Format(u"item = nil: %s and buffer = nil: %s ", {TrueFalse(item == nullptr), TrueFalse(bufferNil)}));
    return false;
  }
  fCancelled = false;
  fChega = false;
  const int32_t limit = item->n_to_find > 0 ? item->n_to_find : std::numeric_limits<int32_t>::max();
  // The matcher counts pattern characters in 16 bits.
  const auto patternLength = static_cast<uint16_t>(std::min<size_t>(item->search_text.size(), 0xFFFF));

  // The matcher compares each place with its row of the case-closure table. A record whose table does
  // not cover the word (copies set by hand) gets one from its copies, completed from the word where
  // short; copies already re-coded into a code page are not closed over again, their units being bytes.
  const size_t tableSize = size_t{patternLength} * case_closure_width;
  if (item->case_closure.size() < tableSize) {
    UnicodeString full[3];
    const TSW_copy order[3] = {upper_copy, lower_copy, title_copy};
    for (int k = 0; k < 3; ++k) {
      full[k] = item->copies[order[k]].substr(0, patternLength);
      if (full[k].size() < patternLength) full[k] += item->search_text.substr(full[k].size(), patternLength - full[k].size());
    }
    item->case_closure = CaseClosureTable(full[0], full[1], full[2], !item->copies_converted);
  }

  if (!IsUnicodeBuffer() && !item->copies_converted) {
    // An 8-bit buffer is compared byte for byte: the copies must hold the code page's byte values.
    for (auto& copy : item->copies) {
      char bytes[100];
      const int32_t n = WideCharToMultiByte(Codepage, WC_COMPOSITECHECK, copy.data(), static_cast<int32_t>(copy.size()),
                                            bytes, sizeof bytes, nullptr, nullptr);
      const int32_t replace = std::min<int32_t>({n, patternLength, static_cast<int32_t>(copy.size())});
      for (int32_t k = 0; k < replace; ++k) copy[static_cast<size_t>(k)] = static_cast<unsigned char>(bytes[k]);
    }
    // So must the table. A member the code page has no single byte for is dropped (its row repeats the
    // pattern's own unit there), never turned into the default character, which would match "?".
    const UnicodeString& lower = item->copies[lower_copy];
    for (size_t k = 0; k < patternLength; ++k) {
      char16_t* row = item->case_closure.data() + k * case_closure_width;
      if (k < lower.size()) row[0] = lower[k];
      for (int32_t n = 1; n < case_closure_width; ++n) {
        char byte = 0;
        bool usedDefault = false;
        const int32_t written =
            WideCharToMultiByte(Codepage, WC_NO_BEST_FIT_CHARS, &row[n], 1, &byte, 1, nullptr, &usedDefault);
        row[n] = written == 1 && !usedDefault ? static_cast<unsigned char>(byte) : row[0];
      }
    }
    item->copies_converted = true;
  }
  const bool caseSensitive = item->flags.Contains(myCaseIsSensitive);
  if (caseSensitive) item->copies[upper_copy] = item->copies[lower_copy] = item->copies[title_copy] = item->copies[unchanged_copy];

  // The matcher reads patternLength characters of the pattern; a lower copy that is short (made by hand)
  // is completed from the word so that nothing beyond it is read.
  UnicodeString padded;
  const char16_t* pattern = item->copies[lower_copy].data();
  if (item->copies[lower_copy].size() < patternLength) {
    padded = item->copies[lower_copy] +
             item->search_text.substr(item->copies[lower_copy].size(), patternLength - item->copies[lower_copy].size());
    pattern = padded.data();
  }

  const int32_t charSize = CharSize();
  const auto* base = static_cast<const uint8_t*>(fStartOfText);
  auto jumpIndex = [&]() -> int64_t { return Global_LowestJumpTo > 0 ? Global_LowestJumpTo / charSize : 0; };
  int64_t idx = jumpIndex();
  fLowestJumpToChanged = false;

  if (global_keeping_log && !IsAdditionalEngine) LogSeeking(*item);

  // The whole file's size in bytes; an unknown size (0 or less) is taken as this buffer's.
  const double fileSize = fComplete_file_size > 0 ? fComplete_file_size : std::max<double>(1, double(fBuffer_Characters) * charSize);
  const bool ends[4] = {Arr_OfTextMarkersFound[ts_sentence_end - ts_first_segment_marker] > 0,
                        Arr_OfTextMarkersFound[ts_paragraph_end - ts_first_segment_marker] > 0,
                        Arr_OfTextMarkersFound[ts_heading_end - ts_first_segment_marker] > 0,
                        Arr_OfTextMarkersFound[ts_section_end - ts_first_segment_marker] > 0};
  int32_t passHits = 0;
  for (;;) {
    MyYieldProcess();
    // Stopped from the user interface during the yield: the hit reported last was the current one.
    if (fCancelled || fChega) break;
    const int64_t remaining = int64_t{fBuffer_Characters} - idx - 1;
    if (remaining <= 0) break;  // the last character never starts a hit
    uint16_t hitLength = 0, exactLength = 0;
    const void* hit =
        fCountInMatcher
            ? NewFindWantedInBufferWithClosure(
                  base + idx * charSize, static_cast<int32_t>(remaining), fBufferDetailsStart + idx, fBufferDetailsStart,
                  fBufferDetailsEnd, pattern, item->case_closure.data(), patternLength, caseSensitive,
                  item->flags.Contains(myLeftBounded), item->flags.Contains(myRightBounded), IsUnicodeBuffer(),
                  fSkipPunctuation, hitLength, exactLength, ThisFileChunk_Stats, Global_in_heading, ends[0], ends[1],
                  ends[2], ends[3])
            : NewFindWantedInBufferUncounted(
                  base + idx * charSize, static_cast<int32_t>(remaining), fBufferDetailsStart + idx, fBufferDetailsStart,
                  fBufferDetailsEnd, pattern, item->case_closure.data(), patternLength, caseSensitive,
                  item->flags.Contains(myLeftBounded), item->flags.Contains(myRightBounded), IsUnicodeBuffer(),
                  fSkipPunctuation, hitLength, exactLength);
    if (hit == nullptr) break;

    // (A shift for UTF-16: a division by a size the compiler cannot see is a 64-bit divide, some dozens of
    // cycles a hit.)
    const int64_t bytes = static_cast<const uint8_t*>(hit) - base;
    const int64_t hitIdx = charSize == 2 ? bytes >> 1 : bytes / charSize;
    TSearchFound_Rec found;
    found.start_of_text = fStartOfText;
    found.where_hit_started = hit;
    double percent = (double(hitIdx) * charSize + FileBytePos) * 100.0 / fileSize;
    if (BufferGotConverted) percent /= 2;
    found.percent_of_file = static_cast<float>(percent);
    if (found.percent_of_file > 100) break;
    found.hit_pos_in_wchar_kinds = found.hit_pos_in_characters = static_cast<int32_t>(hitIdx);
    found.FileBytePos = FileBytePos;
    found.exact_hit_len = exactLength;
    found.hit_characters = hitLength;
    found.search_number = current_search_number;
    found.count_stats = ThisFileChunk_Stats;
    if (!Global_in_heading) {
      found.count_stats.number[heading_stats] = -1;
      found.count_stats.position[heading_stats] = -1;
    }

    ++fHits_found;
    ++passHits;
    if (global_keeping_log && !IsAdditionalEngine) LogHit(hitIdx, idx, remaining, found.percent_of_file);
    // The engine is only ready with an event; a caller that clears it meanwhile gets its hits uncounted.
    if (!fSearchFoundEvent || !fSearchFoundEvent(*this, found)) --passHits;

    if (fLowestJumpToChanged) {
      fLowestJumpToChanged = false;
      idx = std::max(jumpIndex(), hitIdx + 1);
    } else {
      idx = hitIdx + 1;  // overlapping hits are reported too
    }
    if (passHits >= limit || fChega || fCancelled) break;
  }
  if (fWordCountEvent) fWordCountEvent(*this, ThisFileChunk_Stats);
  return true;
}

TAdditionalSearchAndDoEngine::TAdditionalSearchAndDoEngine(LCID AnLCID) : TSearchAndDoEngine(AnLCID) {
  IsAdditionalEngine = true;
}

void TWLSearchAndDo::SetSearchWord(const UnicodeString& aSearchWord, TMySearchFlags AFlags) {
  flags = AFlags;
  if (AFlags.Contains(myCaseIsSensitive)) {
    search_text = lo_copy = title_copy = aSearchWord;
  } else {
    search_text = ToUpper(aSearchWord);
    lo_copy = ToLower(aSearchWord);
    title_copy = TitleCasedString(aSearchWord);
  }
  case_closure = CaseClosureTable(search_text, lo_copy, title_copy);
}

bool TWLSearchAndDo::QuickSearchFoundIgnoringTags() {
  int64_t n = static_cast<int64_t>(search_text.size());
  if (n > 0 && search_text.back() == sw_any_run) --n;
  // The copies are read index by index; a case mapping that changed a length must not be read past.
  n = std::min<int64_t>({n, static_cast<int64_t>(lo_copy.size()), static_cast<int64_t>(title_copy.size()), 0xFFFF});
  if (fStartOfText == nullptr || n <= 0 || fBuffer_Characters < n) return false;
  fBufferPWChar.assign(static_cast<size_t>(fBuffer_Characters) + 2, 0);
  GetStringTypeExNT2000(IsUnicodeBuffer(), fLCID, CT_CTYPE1, fStartOfText, fBuffer_Characters, fBufferPWChar.data());
  TSearchStatsRec stats;
  bool inHeading = false;
  uint16_t hitLength = 0, exactLength = 0;
  const bool cs = flags.Contains(myCaseIsSensitive) || case_closure.size() < static_cast<size_t>(n) * case_closure_width;
  const void* hit = NewFindWantedInBufferWithClosure(
      fStartOfText, fBuffer_Characters, fBufferPWChar.data(), fBufferPWChar.data(),
      fBufferPWChar.data() + fBuffer_Characters + 1, lo_copy.data(), cs ? nullptr : case_closure.data(),
      static_cast<uint16_t>(n), flags.Contains(myCaseIsSensitive), flags.Contains(myLeftBounded),
      flags.Contains(myRightBounded), IsUnicodeBuffer(), fSkipPunctuation, hitLength, exactLength, stats, inHeading,
      false, false, false, false);
  fBufferPWChar.clear();
  fBufferPWChar.shrink_to_fit();
  return hit != nullptr;
}

}  // namespace kx8

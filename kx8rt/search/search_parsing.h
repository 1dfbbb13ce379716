// Search-word parsing: a search word as the user typed it (flags, alternatives, wildcards, quoted
// literals, tag markup, readable escapes, a context clause) turned into one parsed record per
// alternative, with the case copies the matcher runs on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/containers/search_types.h"
#include "kx8rt/search/user_input_wildcard_parsing.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

// The case variants of a parsed search word.
enum TSW_copy : uint8_t { unchanged_copy, upper_copy, lower_copy, title_copy };

// Tdouble_colloc_span (a context span) is in definitions/concordance_spans.h, Tsearch_word32 (the
// fixed old search-word field) and its conversions in containers/search_types.h.

// One parsed search word (one alternative of what the user typed). A default-constructed record is the
// cleared record: every string empty, every number 0, every flag off.
struct TSearch_word_format_rec {
  UnicodeString typed_in_text;                 // the alternative as typed, context clause included
  UnicodeString search_text;                   // the parsed pattern, surrounding spaces trimmed
  std::array<UnicodeString, 4> copies;         // indexed by TSW_copy
  // case_closure_width units per pattern character: those that count as equal to it when case is
  // ignored (CaseClosureTable of the copies); what the engine hands the matcher.
  UnicodeString case_closure;
  TMySearchFlags flags;                        // case, avoid and word-boundary flags
  int32_t n_to_find = 0;                       // most hits wanted; 0 or less: no limit
  int32_t hits_found = 0;                      // hits counted so far
  UnicodeString sw_context_needed;             // context word of a " context:=" clause
  int32_t spaces_in_sw = 0;                    // words in the phrase minus one
  bool ambiguous = false;                      // the pattern is not a plain literal
  bool spare_auto_lemma_added = false;         // added by automatic lemmatisation
  bool copies_converted = false;               // copies re-coded into a buffer's 8-bit code page
  bool has_file_based_context_word = false;    // a " context:=" clause was present
  bool achou_suficiente = false;               // enough hits have been found
  bool contains_a_tag = false;                 // the pattern holds paired tag markup
  int16_t Langnum = 0;                         // language number
  int32_t SearchColumn = 0;                    // grid column the word applies to
  int32_t temp_int = 0;                        // caller's scratch value
  Tdouble_colloc_span sw_context_spans;        // span of the context clause
};

// Units per pattern character in a case-closure table.
inline constexpr int32_t case_closure_width = max_case_closure;

// The case-closure table of index-aligned case copies, case_closure_width units for each place of the
// shortest: the lower copy's unit first, then the other members of the case closures of the three
// copies' characters (σ ς Σ alike, ß ẞ alike), the first repeated where there are fewer. A surrogate
// pair's two places hold the high and the low units of the closure's members. With CloseOverCase false
// the rows hold only the three copies' own units (for copies already re-coded into a code page).
UnicodeString CaseClosureTable(std::u16string_view Upper, std::u16string_view Lower, std::u16string_view Title,
                               bool CloseOverCase = true);

// The context-clause introducer, with its leading space.
inline const UnicodeString context_clause_str = u" context:=";

// Parses one typed alternative into Rec (cleared first). S is consumed: on return it holds the pattern
// before its surrounding spaces were trimmed.
void Parsed_SearchWord(const TIgnore_tag& IgnoreTags, UnicodeString& S, TSearch_word_format_rec& Rec);

// Fills Rec from a word already in parsed form: only the flag notation is read (and stripped from S).
void UnParsed_SearchWord(UnicodeString& S, TSearch_word_format_rec& Rec);

// The translation core: flags, retained quoted symbols, the one-word asterisk, wildcards, the line-break
// symbol, paired tag markup, readable escapes, restoring the retained symbols.
void Parse_SWChunk(const TIgnore_tag& IgnoreTags, bool& ContainsTag, UnicodeString& S, TMySearchFlags& Flags);

// Translates "^", "#", "*", "?" and "}}}" into their codes; true when the any-string symbol was found.
bool DoMainParse_Translates(UnicodeString& S);

// Turns every opening ignore-tag marker of S into the tag-start code and every closing one into the
// tag-end code, slot by slot; true when S holds both an opening and a closing marker.
bool ContainsPairedTagMarkup(const TIgnore_tag& IgnoreTags, UnicodeString& S);

// The alternatives of S: split at each "/" that is neither first, last nor beside a double quote when
// SplitAtSlashes, else S alone. Empty alternatives at the end are dropped. S is consumed.
std::unique_ptr<TStringList> SplitSWList(UnicodeString& S, bool SplitAtSlashes);

// FlagsFromSW and SWStringPlusFlags, the flag notation, are in containers/search_types.h.


}  // namespace kx8

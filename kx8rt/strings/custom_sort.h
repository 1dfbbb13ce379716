// A user's own alphabet: a comma-separated list of sorting units (letters or groups of letters such as
// a digraph), turned into a prepared list, used to key lines and to sort them.
#pragma once

#include <memory>

#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// A new list of the pieces of s between commas, each trimmed of spaces and controls, except the piece
// after the last comma, which is kept as it stands (and left out when empty). Empty pieces between
// commas are empty lines.
std::unique_ptr<TStringList> CommaSeparatedStrings(const UnicodeString& s);
// A new list of the definition's non-empty units, each with its order number (0 for the first) as its
// slot's integer, longer units first and units of one length in code-unit order.
std::unique_ptr<TStringList> CustomSortPreparedStringlist(const UnicodeString& definition);
// The sort key of line (as long as line): every occurrence of a unit, longest units first, replaced
// by the unit's order character (order number + 64: "@" for 0, "A" for 1, ...); other characters stay.
UnicodeString NormalisedLineForCustomSort(const UnicodeString& line, const TStringList& prepared);
// A new list of lines in the order of their keys, each line's slot holding its index in lines.
std::unique_ptr<TStringList> CustomLinesSorted(const TStringList& lines, const TStringList& prepared);

}  // namespace kx8

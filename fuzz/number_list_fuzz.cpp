// Fuzz target for the number-list notation readers: the bytes (UTF-8) as notation, read by every reader,
// and the compressed form of what is read expanding back to the same numbers.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/strings/number_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size > 4096) return 0;
  const UnicodeString notation = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  const int32_t n = size > 0 ? data[0] % 20 : 1;
  try {
    (void)HumanAbbreviatedNumberListStringExpanded(notation);
    (void)ANumberInHumanString(notation, n);
    (void)HumanAbbreviatedNumberListStringToMonths(notation);
    std::vector<int32_t> numbers = HumanAbbreviatedNumberListStringAsIntegers(notation, 0);
    // Ascending distinct non-negative numbers compress into a notation that reads back unchanged.
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    const UnicodeString compressed = HumanAbbreviatedNumberListString(numbers, 0);
    if (HumanAbbreviatedNumberListStringAsIntegers(compressed, 0) != numbers) std::abort();
  } catch (const EConvertError&) {
    // A list standing for too many numbers is refused; that is the documented answer.
  }
  return 0;
}

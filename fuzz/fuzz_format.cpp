// Arbitrary patterns formatted with a fixed set of arguments of every kind.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/CheckedFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pattern(reinterpret_cast<const char*>(data), size);
  const std::vector<tolvane::FormatArg> args{tolvane::FormatArg{-5LL}, tolvane::FormatArg{std::string("text")},
                                             tolvane::FormatArg{2.5}, tolvane::FormatArg{7ULL}};
  const std::string out = tolvane::FormatChecked(pattern, args);
  // Bounded widths keep the output small whatever the pattern says.
  if (out.size() > pattern.size() * 400 + 1024) {
    __builtin_trap();
  }
  return 0;
}

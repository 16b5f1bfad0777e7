// Arbitrary bytes as a language file: both as 8-bit text and as UTF-16.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Encoding.h"
#include "defs/LanguageFile.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
    if (nl == std::string::npos) {
      break;
    }
    start = nl + 1;
  }
  return lines;
}

void Exercise(const std::vector<std::string>& lines) {
  tolvane::CLanguageFile catalogue("/nonexistent", nullptr);
  catalogue.ParseLines(lines);
  std::string out;
  for (const char* key : {"IDC_PNSN", "ERROR_MESSAGE1", "", "K"}) {
    catalogue.Lookup(key, 0, out);
    catalogue.Lookup(key, 1, out);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines = SplitLines(bytes);
  for (auto& l : lines) {
    l = tolvane::Decode8Bit(l);
  }
  Exercise(lines);
  Exercise(SplitLines(tolvane::Utf16LeToUtf8(bytes)));
  return 0;
}

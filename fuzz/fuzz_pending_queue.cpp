// The upload queue file as the program reads it back: split into lines, each
// judged sendable or not, and written again without losing a record.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/PendingUploads.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = tolvane::net::SplitPendingLines(text);
  std::vector<std::string> records;
  for (const std::string& line : lines) {
    if (line.find('\n') != std::string::npos) {
      __builtin_trap();
    }
    (void)tolvane::net::IsSendableLine(line);
    if (!line.empty() && line.find('\r') == std::string::npos) {
      records.push_back(line);
    }
  }
  // The rewritten queue holds the same records, in order.
  std::vector<std::string> again;
  for (const std::string& line : tolvane::net::SplitPendingLines(tolvane::net::PendingText(records))) {
    if (!line.empty()) {
      again.push_back(line);
    }
  }
  if (again != records) {
    __builtin_trap();
  }
  return 0;
}

// Arbitrary bytes read through the text-file reader (8-bit or UTF-16).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/StdioFileEx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/tolvane-fuzz-textfile-" + std::to_string(::getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return 0;
  }
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  tolvane::CStdioFileEx file;
  if (file.Open(path, tolvane::CStdioFileEx::modeRead)) {
    std::string line;
    while (file.ReadString(line)) {
    }
  }
  return 0;
}

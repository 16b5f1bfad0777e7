// tolvane-encipher IN OUT: makes a protected model file (".fmf") from its
// plain text, with the key the program deciphers with. The build runs it on
// the plain sources under data-src/Models.
#include <cstdio>
#include <string>

#include "common/FileSystem.h"
#include "defs/FileCipher.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s IN OUT\n", argv[0]);
    return 2;
  }
  std::string plain;
  if (tolvane::ReadFileBounded(argv[1], tolvane::kMaxProtectedFileBytes, plain) != tolvane::ReadResult::Ok) {
    std::fprintf(stderr, "error: cannot read %s\n", argv[1]);
    return 1;
  }
  if (!tolvane::WriteFileReplacing(argv[2], tolvane::EncipherBytes(plain, tolvane::ModelFileKey()))) {
    std::fprintf(stderr, "error: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}

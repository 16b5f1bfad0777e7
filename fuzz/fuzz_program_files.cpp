// Arbitrary program files through their readers: the combined file's
// verification pass and record listing, the first-record PID reader, and the
// packet file's frame taking (as the packet procedure takes frames).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "firmware/ProgramFiles.h"

namespace {

std::filesystem::path ScratchFile() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("fuzz_program_files." + std::to_string(::getpid()) + ".fp2");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane::firmware;
  const std::span<const std::uint8_t> bytes(data, size);

  // Packet frames: never past the data, never a frame longer than 104.
  std::size_t pos = 0;
  PACKET_FRAME frame;
  for (;;) {
    const std::size_t before = pos;
    const FrameTake take = TakePacketFrame(bytes, pos, frame);
    if (take != FrameTake::Frame) {
      break;
    }
    if (pos > size || pos <= before || frame.length == 0 || frame.length > kMaxFrameLength ||
        frame.payload.size() + 1 != frame.length) {
      std::abort();
    }
  }

  // The combined file's passes read the file itself.
  const std::filesystem::path file = ScratchFile();
  if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const VERIFY_RESULT v = VerifyCombinedFile(file);
  if (v.code != 0 && v.code != COMBINED_OPEN_OR_TAG && v.code != COMBINED_INVALID) {
    std::abort();
  }
  bool whole = false;
  const auto records = ListCombinedRecords(file, whole);
  for (const COMBINED_RECORD& r : records) {
    if (r.offset >= size + 1) {
      std::abort();
    }
  }
  std::string pid;
  if (ReadFirstPid(file, pid) && pid.size() > kPidTextChars) {
    std::abort();
  }
  (void)VersionNumber(std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8)));
  return 0;
}

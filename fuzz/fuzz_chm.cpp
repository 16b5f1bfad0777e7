// Arbitrary bytes as a help file: opened with chmlib, its system record, its
// table of contents, a few pages and the topic search. Nothing may read past
// what the file holds or allocate more than an object's bound.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/ChmArchive.h"
#include "shell/ContextHelp.h"

namespace {

class QuietMessages : public tolvane::IMessageBox {
 public:
  int Show(const std::string&, unsigned) override { return tolvane::RESULT_OK; }
};

const std::filesystem::path& WorkFile() {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("fuzz_chm_" + std::to_string(getpid()) + ".chm");
  return file;
}

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The system record reader on its own.
  const tolvane::CHM_SYSTEM_INFO direct = tolvane::ParseSystemObject(bytes);
  Check(direct.defaultTopic.size() <= size && direct.title.size() <= size);
  // The table of contents reader on its own.
  for (const tolvane::CONTENTS_ENTRY& e : tolvane::ParseContents(bytes)) {
    Check(e.level >= 0 && e.name.size() <= size && e.local.size() <= size);
  }

  {
    std::ofstream out(WorkFile(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  tolvane::CChmArchive chm;
  if (chm.Open(WorkFile())) {
    const tolvane::CHM_SYSTEM_INFO info = chm.SystemInfo();
    if (const auto hhc = chm.Read(info.contentsFile)) {
      Check(tolvane::ParseContents(*hhc).size() <= tolvane::kMaxContentsEntries);
    }
    for (const std::string& object : {std::string("/GETTING_STARTED.htm"), std::string("/style.css"),
                                      std::string("/#STRINGS"), std::string("/#TOPICS"), info.defaultTopic}) {
      if (const auto page = chm.Read(object)) {
        Check(page->size() <= tolvane::CChmArchive::kMaxObjectSize);
      }
      chm.Exists(object);
    }
    chm.Close();
  }
  QuietMessages messages;
  tolvane::HelpFileHasTopic(WorkFile(), "GETTING_STARTED.htm", messages, "cannot open");
  return 0;
}

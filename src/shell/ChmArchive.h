// Reading a compiled help file (.chm): the pages, stylesheets and pictures it
// holds, and its default topic and title from the "/#SYSTEM" object.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace tolvane {

// What the "/#SYSTEM" object of a help file says about it.
struct CHM_SYSTEM_INFO {
  std::string contentsFile;  // the table of contents, e.g. "Tolvane.hhc"
  std::string defaultTopic;  // the page the file opens on, e.g. "GETTING_STARTED.htm"
  std::string title;         // the title of the help project
};

// One line of a table of contents: its depth (0 for the outermost list), the
// text shown and the page it opens (empty for a heading without a page).
struct CONTENTS_ENTRY {
  int level = 0;
  std::string name;
  std::string local;
};

// Reads a table of contents (.hhc): nested <ul> lists whose items hold
// <object type="text/sitemap"> with <param name="Name" value="..."> and
// <param name="Local" value="...">. At most kMaxContentsEntries are read.
inline constexpr std::size_t kMaxContentsEntries = 2000;
std::vector<CONTENTS_ENTRY> ParseContents(std::string_view html);

// Reads the records of a "/#SYSTEM" object: a 4-byte version, then records of
// a 16-bit code, a 16-bit length and that many bytes (code 0 contents file,
// code 2 default topic, code 3 title, all NUL-terminated). Reading stops at the first record that
// runs past the end.
CHM_SYSTEM_INFO ParseSystemObject(std::string_view bytes);

// True when the file's headers ("ITSF" and the directory's "ITSP") are
// whole and name sizes within bounds, and the reset table and control data
// of its compressed storage hold numbers chmlib can work with: what must
// hold before chmlib may open the file (it allocates and divides by them
// before checking them).
bool ChmHeadersFit(const std::filesystem::path& file);

class CChmArchive {
 public:
  // No object larger than this is read: a help page, stylesheet or picture is
  // far smaller, and the length comes from the file.
  static constexpr std::size_t kMaxObjectSize = 16u << 20;

  CChmArchive() = default;
  ~CChmArchive();
  CChmArchive(const CChmArchive&) = delete;
  CChmArchive& operator=(const CChmArchive&) = delete;
  CChmArchive(CChmArchive&& other) noexcept;
  CChmArchive& operator=(CChmArchive&& other) noexcept;

  // Opens `file` (closing what was open). False when it cannot be read as a
  // help file.
  bool Open(const std::filesystem::path& file);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Object paths are absolute inside the file ("/WRITE_TO_UNIT.htm"); a path
  // without the leading slash is taken as one. Names are matched without
  // regard to case.
  bool Exists(const std::string& objectPath) const;
  // The bytes of an object; empty optional when it is not there, is larger
  // than kMaxObjectSize or cannot be read whole.
  std::optional<std::string> Read(const std::string& objectPath) const;

  // From "/#SYSTEM" (empty texts when the file has none).
  CHM_SYSTEM_INFO SystemInfo() const;

 private:
  chmFile* file_ = nullptr;
};

}  // namespace tolvane

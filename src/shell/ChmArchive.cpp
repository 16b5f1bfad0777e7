#include "shell/ChmArchive.h"

#include <chm_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "common/FileSystem.h"

namespace tolvane {
namespace {

constexpr char kResetTable[] =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

std::string AbsoluteObjectPath(const std::string& objectPath) {
  // "::DataSpace/..." names the file's own storage, not a page.
  if (objectPath.starts_with('/') || objectPath.starts_with("::")) {
    return objectPath;
  }
  return "/" + objectPath;
}

// Bounds on the sizes chmlib takes from a file and allocates: the directory
// chunk (0x1000 in every file we know) and the compressed block (0x8000).
constexpr std::uint64_t kMaxDirectoryChunk = 64u << 10;
constexpr std::uint64_t kMaxCompressedBlock = 1u << 20;

std::uint64_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = width; i > 0; --i) {
    v = (v << 8) | static_cast<unsigned char>(bytes[at + i - 1]);
  }
  return v;
}

// Up to `length` bytes at `offset` (fewer at the end of the file).
std::string ReadAt(int fd, std::uint64_t offset, std::size_t length) {
  std::string bytes(length, '\0');
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::pread(fd, bytes.data() + got, length - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// The window sizes the LZX decompressor takes: 2^15 to 2^21 bytes.
bool IsLzxWindow(std::uint64_t window) {
  return window >= (1u << 15) && window <= (1u << 21) && (window & (window - 1)) == 0;
}

constexpr char kControlData[] = "::DataSpace/Storage/MSCompressed/ControlData";

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A directory entry of a listing chunk: the object's name, its section (0
// stored, 1 compressed), start and length.
struct DIRECTORY_ENTRY {
  std::string_view name;
  std::uint64_t space = 0;
  std::uint64_t start = 0;
  std::uint64_t length = 0;
};

// The variable-length numbers of the directory: seven bits a byte, most
// significant first, the top bit set on all but the last byte. Read as
// chmlib reads them: any number of bytes, the value wrapping in 64 bits, so
// that the entries seen here are the ones chmlib will find.
bool ReadEncodedInt(std::string_view bytes, std::size_t& at, std::size_t end, std::uint64_t& value) {
  value = 0;
  while (at < end) {
    const auto b = static_cast<unsigned char>(bytes[at++]);
    value = (value << 7) + (b & 0x7Fu);
    if ((b & 0x80u) == 0) {
      return true;
    }
  }
  return false;
}

// Calls `visit` for each entry of a listing chunk ("PMGL": a 20-byte header
// with the free space at its end, then entries); other chunks hold none. An
// entry starts before the free space but, as in chmlib, may be read on into
// it up to the chunk's end.
template <typename F>
void ForEachListingEntry(std::string_view chunk, F&& visit) {
  if (chunk.size() < 20 || chunk.compare(0, 4, "PMGL") != 0) {
    return;
  }
  const std::uint64_t free = Little(chunk, 4, 4);
  if (free > chunk.size() - 20) {
    return;
  }
  const std::size_t end = chunk.size() - static_cast<std::size_t>(free);
  const std::size_t limit = chunk.size();
  std::size_t at = 20;
  while (at < end) {
    std::uint64_t nameLength = 0;
    if (!ReadEncodedInt(chunk, at, limit, nameLength) || nameLength > limit - at) {
      return;
    }
    DIRECTORY_ENTRY e;
    e.name = chunk.substr(at, static_cast<std::size_t>(nameLength));
    // chmlib compares names as C strings: a name ends at its first NUL.
    e.name = e.name.substr(0, e.name.find('\0'));
    at += static_cast<std::size_t>(nameLength);
    if (!ReadEncodedInt(chunk, at, limit, e.space) || !ReadEncodedInt(chunk, at, limit, e.start) ||
        !ReadEncodedInt(chunk, at, limit, e.length)) {
      return;
    }
    visit(e);
  }
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// The characters HTML writes as entities in attribute values.
std::string DecodeEntities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out.push_back(c);
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out.push_back(text[i++]);
    }
  }
  return out;
}

// The value of attribute `attribute` in a tag: found in `lower` (the tag in
// lower case), taken from `original` (the same tag as written). Quoted with
// " or ', or unquoted up to a blank.
std::string AttributeValue(std::string_view lower, std::string_view original, std::string_view attribute) {
  for (std::size_t at = lower.find(attribute); at != std::string_view::npos; at = lower.find(attribute, at + 1)) {
    // A whole word, followed by "=".
    if (at > 0 && std::isalnum(static_cast<unsigned char>(lower[at - 1])) != 0) {
      continue;
    }
    std::size_t i = at + attribute.size();
    while (i < lower.size() && lower[i] == ' ') {
      ++i;
    }
    if (i >= lower.size() || lower[i] != '=') {
      continue;
    }
    ++i;
    while (i < lower.size() && lower[i] == ' ') {
      ++i;
    }
    if (i >= lower.size()) {
      return {};
    }
    const char quote = lower[i];
    std::size_t from = i;
    std::size_t to = 0;
    if (quote == '"' || quote == '\'') {
      from = i + 1;
      to = std::min(lower.find(quote, from), lower.size());
    } else {
      to = std::min(lower.find_first_of(" \t\r\n/", from), lower.size());
    }
    return DecodeEntities(original.substr(from, to - from));
  }
  return {};
}

unsigned Word16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
         (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

// The text of a record up to its first NUL.
std::string RecordText(std::string_view data) {
  const std::size_t nul = data.find('\0');
  return std::string(data.substr(0, nul));
}

}  // namespace

namespace {

bool HeadersFit(int in) {
  struct stat st {};
  if (::fstat(in, &st) != 0 || st.st_size < 0) {
    return false;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  // The file header: "ITSF", version 2 or 3, where the directory is and
  // where the objects' data begins.
  const std::string itsf = ReadAt(in, 0, 0x60);
  if (itsf.size() < 0x58 || itsf.compare(0, 4, "ITSF") != 0) {
    return false;
  }
  const std::uint64_t version = Little(itsf, 4, 4);
  const std::uint64_t dirOffset = Little(itsf, 0x48, 8);
  const std::uint64_t dirLength = Little(itsf, 0x50, 8);
  if ((version != 2 && version != 3) || (version == 3 && itsf.size() < 0x60) || dirOffset > size ||
      dirLength > size - dirOffset || dirLength < 0x54) {
    return false;
  }
  const std::uint64_t dataOffset = version == 3 ? Little(itsf, 0x58, 8) : dirOffset + dirLength;
  // The directory header: "ITSP" and the size of a directory chunk, which
  // chmlib allocates for every lookup.
  const std::string itsp = ReadAt(in, dirOffset, 0x54);
  if (itsp.size() < 0x54 || itsp.compare(0, 4, "ITSP") != 0 || Little(itsp, 8, 4) != 0x54) {
    return false;
  }
  const std::uint64_t chunk = Little(itsp, 0x10, 4);
  if (chunk < 0x20 || chunk > kMaxDirectoryChunk) {
    return false;
  }

  // chmlib opens the compressed storage with what its reset table and
  // control data say, dividing by some of those numbers before it checks
  // them. Every directory entry it could take for either (names compare
  // without regard to case, and any chunk up to the end of the file could
  // be reached from the index) must hold numbers it can live with.
  bool fits = true;
  auto check = [&](const DIRECTORY_ENTRY& e) {
    const bool isTable = EqualNoCase(e.name, kResetTable);
    const bool isControl = EqualNoCase(e.name, kControlData);
    // chmlib leaves compression off for an entry in the compressed section
    // (1). It reads the reset table as stored for any other section number,
    // but takes the control data through its decompressor for any section
    // but 0, before the decompressor's block cache exists (a division by
    // zero): such a file is refused.
    if ((!isTable && !isControl) || e.space == 1) {
      return;
    }
    if (isControl && e.space != 0) {
      fits = false;
      return;
    }
    if (dataOffset > size || e.start > size - dataOffset || e.length > size - dataOffset - e.start) {
      fits = false;
      return;
    }
    if (isTable) {
      // Version 2, and a block size that can be allocated and divided by.
      const std::string t = ReadAt(in, dataOffset + e.start, 0x28);
      fits = fits && t.size() == 0x28 && Little(t, 0, 4) == 2 && Little(t, 0x20, 8) != 0 &&
             Little(t, 0x20, 8) <= kMaxCompressedBlock;
    } else {
      // "LZXC", a window the decompressor takes, and a reset interval that
      // is a multiple of half the window and gives a whole number of blocks
      // per reset (chmlib divides by that count in 32 bits).
      const std::string c =
          ReadAt(in, dataOffset + e.start, static_cast<std::size_t>(std::min<std::uint64_t>(e.length, 0x1C)));
      if ((e.length != 0x18 && e.length != 0x1C) || c.size() != e.length || c.compare(4, 4, "LZXC") != 0) {
        fits = false;
        return;
      }
      std::uint64_t reset = Little(c, 12, 4);
      std::uint64_t window = Little(c, 16, 4);
      const std::uint64_t windowsPerReset = Little(c, 20, 4);
      if (Little(c, 8, 4) == 2) {
        reset = (reset * 0x8000) & 0xFFFFFFFFu;
        window = (window * 0x8000) & 0xFFFFFFFFu;
      }
      if (!IsLzxWindow(window) || reset == 0 || reset % (window / 2) != 0) {
        fits = false;
        return;
      }
      const std::uint64_t blocksPerReset = ((reset / (window / 2)) * windowsPerReset) & 0xFFFFFFFFu;
      fits = fits && blocksPerReset != 0;
    }
  };
  const std::uint64_t first = dirOffset + 0x54;
  for (std::uint64_t at = first; fits && at <= size && chunk <= size - at; at += chunk) {
    const std::string bytes = ReadAt(in, at, static_cast<std::size_t>(chunk));
    ForEachListingEntry(bytes, check);
  }
  return fits;
}

}  // namespace

bool ChmHeadersFit(const std::filesystem::path& file) {
  CFileHandle in;
  return OpenRegularFile(file, in) == OpenResult::Ok && HeadersFit(in.Get());
}

CHM_SYSTEM_INFO ParseSystemObject(std::string_view bytes) {
  enum : unsigned { kContentsFile = 0, kDefaultTopic = 2, kTitle = 3 };
  CHM_SYSTEM_INFO info;
  std::size_t at = 4;  // past the version
  while (at + 4 <= bytes.size()) {
    const unsigned code = Word16(bytes, at);
    const std::size_t length = Word16(bytes, at + 2);
    at += 4;
    if (length > bytes.size() - at) {
      break;
    }
    const std::string_view data = bytes.substr(at, length);
    if (code == kContentsFile) {
      info.contentsFile = RecordText(data);
    } else if (code == kDefaultTopic) {
      info.defaultTopic = RecordText(data);
    } else if (code == kTitle) {
      info.title = RecordText(data);
    }
    at += length;
  }
  return info;
}

std::vector<CONTENTS_ENTRY> ParseContents(std::string_view html) {
  std::vector<CONTENTS_ENTRY> entries;
  const std::string lower = LowerCase(html);
  int level = -1;  // inside the outermost <ul>: 0
  std::size_t at = 0;
  while (entries.size() < kMaxContentsEntries) {
    const std::size_t open = lower.find("<ul", at);
    const std::size_t close = lower.find("</ul", at);
    const std::size_t object = lower.find("<object", at);
    const std::size_t next = std::min({open, close, object});
    if (next == std::string::npos) {
      break;
    }
    if (next == open) {
      ++level;
      at = open + 3;
      continue;
    }
    if (next == close) {
      level = std::max(-1, level - 1);
      at = close + 4;
      continue;
    }
    const std::size_t end = std::min(lower.find("</object", object), html.size());
    CONTENTS_ENTRY e;
    e.level = std::max(0, level);
    // Each <param name="..." value="..."> of the object.
    for (std::size_t p = lower.find("<param", object); p < end; p = lower.find("<param", p + 6)) {
      const std::size_t tagEnd = std::min(lower.find('>', p), end);
      const std::string_view tag(lower.data() + p, tagEnd - p);
      const std::string name = AttributeValue(tag, tag, "name");
      const std::string value = AttributeValue(tag, std::string_view(html.data() + p, tagEnd - p), "value");
      if (name == "name") {
        e.name = value;
      } else if (name == "local") {
        e.local = value;
      }
    }
    if (!e.name.empty() || !e.local.empty()) {
      entries.push_back(std::move(e));
    }
    at = end;
  }
  return entries;
}

CChmArchive::~CChmArchive() { Close(); }

CChmArchive::CChmArchive(CChmArchive&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

CChmArchive& CChmArchive::operator=(CChmArchive&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

bool CChmArchive::Open(const std::filesystem::path& file) {
  Close();
  // Only a regular file, opened without waiting (chmlib would wait on a
  // pipe for ever, and "open" a folder to fail later).
  CFileHandle in;
  if (OpenRegularFile(file, in) != OpenResult::Ok) {
    return false;
  }
  // chmlib allocates what the headers say before it checks anything: the
  // sizes are bounded here first.
  if (!HeadersFit(in.Get())) {
    return false;
  }
  // chmlib opens by name: it is given the file just checked, through its
  // descriptor, so that another file put in its place meanwhile is not the
  // one read.
  // Without /proc, by its name while that still names the same file.
  const std::string checked = "/proc/self/fd/" + std::to_string(in.Get());
  struct stat held {};
  struct stat named {};
  if (::stat(checked.c_str(), &named) == 0) {
    file_ = chm_open(checked.c_str());
  } else if (::fstat(in.Get(), &held) == 0 && ::stat(file.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
             held.st_ino == named.st_ino) {
    file_ = chm_open(file.c_str());
  }
  return file_ != nullptr;
}

void CChmArchive::Close() {
  if (file_ != nullptr) {
    chm_close(file_);
    file_ = nullptr;
  }
}

bool CChmArchive::Exists(const std::string& objectPath) const {
  if (file_ == nullptr || objectPath.size() >= CHM_MAX_PATHLEN) {
    return false;
  }
  chmUnitInfo unit{};
  return chm_resolve_object(file_, AbsoluteObjectPath(objectPath).c_str(), &unit) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::string> CChmArchive::Read(const std::string& objectPath) const {
  if (file_ == nullptr || objectPath.size() >= CHM_MAX_PATHLEN) {
    return std::nullopt;
  }
  chmUnitInfo unit{};
  if (chm_resolve_object(file_, AbsoluteObjectPath(objectPath).c_str(), &unit) != CHM_RESOLVE_SUCCESS) {
    return std::nullopt;
  }
  // The length is the file's word: bounded before anything is allocated.
  if (unit.length > kMaxObjectSize) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(unit.length), '\0');
  if (bytes.empty()) {
    return bytes;
  }
  const LONGINT64 got = chm_retrieve_object(file_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                            static_cast<LONGINT64>(unit.length));
  if (got != static_cast<LONGINT64>(unit.length)) {
    return std::nullopt;
  }
  return bytes;
}

CHM_SYSTEM_INFO CChmArchive::SystemInfo() const {
  const auto bytes = Read("/#SYSTEM");
  return bytes ? ParseSystemObject(*bytes) : CHM_SYSTEM_INFO{};
}

}  // namespace tolvane

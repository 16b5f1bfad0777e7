// The maker's directory of installers: the body as it arrives ("%0D" between
// lines, "%20" for spaces), the newest installer of this program in it, and
// the names and versions that the update works with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::net {

// A directory body larger than this is refused before it is kept.
inline constexpr std::size_t kMaxDirectoryBytes = 1024 * 1024;
// An installer larger than this is refused before anything is written.
inline constexpr long long kMaxInstallerBytes = 512LL * 1024 * 1024;

enum : int {
  UPDATE_NOTHING_NEWER = 0,
  UPDATE_NEWER_MINOR = 1,
  UPDATE_NEWER_MAJOR = 2,
};

struct DIRECTORY_RESULT {
  int outcome = UPDATE_NOTHING_NEWER;
  int newMajor = 0;
  int newMinor = 0;
  std::string fileName;  // the winning line, unchanged
};

// Removes every line feed, then turns "%0D" into line feeds and "%20" into
// spaces.
std::string DecodeDirectoryBody(std::string_view body);

// True when every piece of `pattern` between its "*" characters occurs in
// `line` (case-sensitive, anywhere).
bool MatchesPattern(std::string_view line, std::string_view pattern);

// Reads "ver<major>p<minor>" from a line that holds "ver" exactly once;
// false for a line with "ver" zero or several times. A part that cannot be
// read is 0, and so is the whole version when nothing precedes "ver".
bool ReadInstallerVersion(std::string_view line, int& major, int& minor);

// Picks the newest installer matching `pattern` above (major, minor) from a
// decoded body; nothing newer leaves (major, minor) and an empty name.
DIRECTORY_RESULT ScanDirectory(std::string_view decoded, std::string_view pattern, int major, int minor);

// Up to `count` dot-separated numbers of `text` as "%d.%d..." reads them;
// missing parts are 0.
std::vector<int> ReadVersionNumbers(std::string_view text, std::size_t count);

// The installer pattern for `installerId`: "<id>*.deb".
std::string InstallerPattern(const std::string& installerId);

// True when `name` may become a file name in the Programs folder: not empty,
// at most 255 bytes, no "/", no NUL, not "." or "..", no ".." piece, no line
// break or other control character.
bool IsSafeInstallerName(std::string_view name);

// True when `name` is an older copy of the installer `fileName`: the part of
// `fileName` before its first "ver", anything, then the extension of
// `fileName` from its last "." (the "<prefix>*<ext>" pattern), and not the
// name itself.
bool IsOlderCopy(std::string_view name, std::string_view fileName);

}  // namespace tolvane::net

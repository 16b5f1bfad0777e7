#include "net/SoftwareDirectory.h"

#include <charconv>

namespace tolvane::net {

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(from, start);
    if (at == std::string::npos) {
      out.append(text, start, std::string::npos);
      break;
    }
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  text = std::move(out);
}

std::size_t CountOf(std::string_view text, std::string_view piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + piece.size())) {
    ++n;
  }
  return n;
}

// "%d" as sscanf reads it: optional blanks, a sign, digits. False when no
// digit was read; a value beyond int saturates like the C library does not,
// so it is refused (read as nothing).
bool ReadInt(std::string_view text, std::size_t& pos, int& value) {
  std::size_t p = pos;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' || text[p] == '\r' ||
                             text[p] == '\v' || text[p] == '\f')) {
    ++p;
  }
  std::size_t digits = p;
  if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) {
    ++digits;
  }
  std::size_t end = digits;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
    ++end;
  }
  if (end == digits) {
    return false;
  }
  const char* first = text.data() + p + (text[p] == '+' ? 1 : 0);
  int v = 0;
  const auto res = std::from_chars(first, text.data() + end, v);
  if (res.ec != std::errc{}) {
    return false;
  }
  value = v;
  pos = end;
  return true;
}

}  // namespace

std::string DecodeDirectoryBody(std::string_view body) {
  std::string text;
  text.reserve(body.size());
  for (const char c : body) {
    if (c != '\n') {
      text += c;
    }
  }
  ReplaceAll(text, "%0D", "\n");
  ReplaceAll(text, "%20", " ");
  return text;
}

bool MatchesPattern(std::string_view line, std::string_view pattern) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t star = pattern.find('*', start);
    const std::string_view piece = pattern.substr(start, star == std::string_view::npos ? star : star - start);
    if (!piece.empty() && line.find(piece) == std::string_view::npos) {
      return false;
    }
    if (star == std::string_view::npos) {
      return true;
    }
    start = star + 1;
  }
}

bool ReadInstallerVersion(std::string_view line, int& major, int& minor) {
  if (CountOf(line, "ver") != 1) {
    return false;
  }
  major = 0;
  minor = 0;
  const std::size_t at = line.find("ver");
  // "%*[^#]" needs at least one character before the mark.
  if (at == 0) {
    return true;
  }
  std::size_t pos = at + 3;
  if (!ReadInt(line, pos, major)) {
    major = 0;
    return true;
  }
  if (pos < line.size() && line[pos] == 'p') {
    ++pos;
    if (!ReadInt(line, pos, minor)) {
      minor = 0;
    }
  }
  return true;
}

DIRECTORY_RESULT ScanDirectory(std::string_view decoded, std::string_view pattern, int major, int minor) {
  DIRECTORY_RESULT r;
  r.newMajor = major;
  r.newMinor = minor;
  std::size_t start = 0;
  while (start <= decoded.size()) {
    std::size_t end = decoded.find('\n', start);
    if (end == std::string_view::npos) {
      end = decoded.size();
    }
    const std::string_view line = decoded.substr(start, end - start);
    start = end + 1;
    int m = 0;
    int n = 0;
    if (line.empty() || !MatchesPattern(line, pattern) || !ReadInstallerVersion(line, m, n)) {
      continue;
    }
    if (m > r.newMajor) {
      r.newMajor = m;
      r.newMinor = n;
      r.fileName = std::string(line);
      r.outcome = UPDATE_NEWER_MAJOR;
    } else if (m == r.newMajor && n > r.newMinor) {
      r.newMinor = n;
      r.fileName = std::string(line);
      if (r.outcome == UPDATE_NOTHING_NEWER) {
        r.outcome = UPDATE_NEWER_MINOR;
      }
    }
  }
  return r;
}

std::vector<int> ReadVersionNumbers(std::string_view text, std::size_t count) {
  std::vector<int> numbers(count, 0);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') {
        break;
      }
      ++pos;
    }
    int v = 0;
    if (!ReadInt(text, pos, v)) {
      break;
    }
    numbers[i] = v;
  }
  return numbers;
}

std::string InstallerPattern(const std::string& installerId) { return installerId + "*.deb"; }

bool IsSafeInstallerName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") {
    return false;
  }
  if (name.find("..") != std::string_view::npos) {
    return false;
  }
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) {
      return false;
    }
  }
  return true;
}

bool IsOlderCopy(std::string_view name, std::string_view fileName) {
  if (name == fileName) {
    return false;
  }
  const std::size_t ver = fileName.find("ver");
  const std::string_view prefix = fileName.substr(0, ver);
  const std::size_t dot = fileName.rfind('.');
  const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : fileName.substr(dot);
  return name.size() >= prefix.size() + ext.size() && name.substr(0, prefix.size()) == prefix &&
         name.substr(name.size() - ext.size()) == ext;
}

}  // namespace tolvane::net

#include "shell/UserRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "common/Encoding.h"
#include "common/FileSystem.h"

namespace tolvane {
namespace {

// The values file is UTF-8 text: one value per line, name and value
// separated by a tab, with backslash escapes for backslash, tab, CR and LF.
std::string Escape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out.push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

constexpr std::size_t kMaxValuesFile = 1 << 20;

// Holds an exclusive lock on a key's folder while its values file is read,
// changed and replaced, so that two programs setting values at once both
// keep their value (the file is replaced whole, so the lock cannot be on it).
class KeyLock {
 public:
  explicit KeyLock(const std::filesystem::path& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~KeyLock() {
    if (fd_ >= 0) {
      ::close(fd_);  // releases the lock
    }
  }
  KeyLock(const KeyLock&) = delete;
  KeyLock& operator=(const KeyLock&) = delete;

 private:
  int fd_;
};

}  // namespace

CUserRegistry::CUserRegistry(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<std::filesystem::path> CUserRegistry::KeyFolder(const std::vector<std::string>& path) const {
  std::filesystem::path folder = root_;
  for (const auto& part : path) {
    if (!IsSafeLeafName(part)) {
      return std::nullopt;
    }
    folder /= part;
  }
  return folder;
}

IRegistry::Status CUserRegistry::OpenKey(const std::vector<std::string>& path) {
  open_.reset();
  const auto folder = KeyFolder(path);
  std::error_code ec;
  if (!folder || !std::filesystem::is_directory(*folder, ec)) {
    return Status::NotFound;
  }
  open_ = folder;
  return Status::Ok;
}

IRegistry::Status CUserRegistry::Load(std::map<std::string, std::string>& values) const {
  values.clear();
  if (!open_) {
    return Status::Error;
  }
  std::string text;
  switch (ReadFileBounded(*open_ / kValuesFile, kMaxValuesFile, text)) {
    case ReadResult::Ok: break;
    case ReadResult::NotFound: return Status::Ok;  // a key without values
    default: return Status::Error;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string_view line(text.data() + start, end - start);
    const std::size_t tab = line.find('\t');
    if (tab != std::string_view::npos) {
      values.emplace(Unescape(line.substr(0, tab)), Unescape(line.substr(tab + 1)));
    }
    start = end + 1;
  }
  return Status::Ok;
}

IRegistry::Status CUserRegistry::EnumValues(std::vector<std::string>& names) {
  names.clear();
  std::map<std::string, std::string> values;
  const Status st = Load(values);
  for (const auto& [name, value] : values) {
    names.push_back(name);
  }
  return st;
}

IRegistry::Status CUserRegistry::QueryValue(const std::string& name, std::size_t maxChars, std::string& value) {
  std::map<std::string, std::string> values;
  if (const Status st = Load(values); st != Status::Ok) {
    return st;
  }
  const auto it = values.find(name);
  if (it == values.end()) {
    return Status::NotFound;
  }
  if (Utf8ToU32(it->second).size() > maxChars) {
    return Status::TooLong;
  }
  value = it->second;
  return Status::Ok;
}

IRegistry::Status CUserRegistry::SetValue(const std::string& name, const std::string& value) {
  if (!open_) {
    return Status::Error;
  }
  const KeyLock lock(*open_);
  std::map<std::string, std::string> values;
  if (const Status st = Load(values); st != Status::Ok) {
    return st;
  }
  values[name] = value;
  std::string text;
  for (const auto& [n, v] : values) {
    text += Escape(n) + '\t' + Escape(v) + '\n';
  }
  return WriteFileReplacing(*open_ / kValuesFile, text) ? Status::Ok : Status::Error;
}

IRegistry::Status CUserRegistry::CloseKey() {
  open_.reset();
  return Status::Ok;
}

bool CUserRegistry::CreateKey(const std::vector<std::string>& path) {
  const auto folder = KeyFolder(path);
  std::error_code ec;
  return folder && (std::filesystem::create_directories(*folder, ec) || std::filesystem::is_directory(*folder, ec));
}

}  // namespace tolvane

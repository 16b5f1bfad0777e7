#include "common/StdioFileEx.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Encoding.h"

namespace tolvane {

namespace {
constexpr std::size_t kReadPiece = 64 * 1024;
}  // namespace

CStdioFileEx::CStdioFileEx(IMessageBox* messages) : messages_(messages) {}

// An unfinished write is abandoned: the target keeps its old content.
CStdioFileEx::~CStdioFileEx() = default;

int CStdioFileEx::NextByte() {
  if (pos_ == end_) {
    if (!in_.IsOpen()) {
      return -1;
    }
    buffer_.resize(kReadPiece);
    ssize_t n = 0;
    do {
      n = ::read(in_.Get(), buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      in_.Reset();
      return -1;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
  }
  return static_cast<unsigned char>(buffer_[pos_++]);
}

// The type check reads the first two bytes (FF FE: UTF-16 LE) from the same
// open as the lines, so what is checked is what is read.
bool CStdioFileEx::OpenForReading(const std::filesystem::path& path) {
  unicode_ = false;
  pos_ = end_ = 0;
  size_ = 0;
  if (OpenRegularFile(path, in_) != OpenResult::Ok) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot open file for Unicode type check.", MB_ERROR);
    }
    return false;
  }
  struct stat st {};
  if (::fstat(in_.Get(), &st) == 0) {
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
  const int first = NextByte();
  const int second = first < 0 ? -1 : NextByte();
  if (second < 0) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot read file for Unicode type check.", MB_ERROR);
    }
  } else {
    unicode_ = first == 0xFF && second == 0xFE;
  }
  if (!unicode_) {
    pos_ = 0;  // the bytes checked are the text's first
  }
  return true;
}

bool CStdioFileEx::Open(const std::filesystem::path& path, unsigned flags) {
  Close();
  target_ = path;
  writing_ = (flags & (modeWrite | modeCreate)) != 0;
  if (writing_) {
    unicode_ = (flags & modeWriteUnicode) != 0;
    out_.clear();
    open_ = true;
    return true;
  }
  if (!OpenForReading(path)) {
    return false;
  }
  open_ = true;
  return true;
}

bool CStdioFileEx::ReadLine8(std::string& line) {
  std::string raw;
  bool any = false;
  for (;;) {
    const int c = NextByte();
    if (c < 0) {
      break;
    }
    any = true;
    if (c == '\n') {
      break;
    }
    if (raw.size() < kMaxLineBytes) {
      raw.push_back(static_cast<char>(c));
    }
  }
  if (!any) {
    return false;
  }
  while (!raw.empty() && raw.back() == '\r') {
    raw.pop_back();
  }
  line = Decode8Bit(raw);
  return true;
}

bool CStdioFileEx::ReadLine16(std::string& line) {
  std::string raw;
  bool any = false;
  for (;;) {
    const int lo = NextByte();
    if (lo < 0) {
      break;
    }
    const int hi = NextByte();
    if (hi < 0) {
      break;  // a trailing odd byte is no character
    }
    any = true;
    if (lo == '\n' && hi == 0) {
      break;
    }
    if (raw.size() < kMaxLineBytes) {
      raw.push_back(static_cast<char>(lo));
      raw.push_back(static_cast<char>(hi));
    }
  }
  if (!any) {
    return false;
  }
  while (raw.size() >= 2 && raw[raw.size() - 2] == '\r' && raw.back() == '\0') {
    raw.resize(raw.size() - 2);
  }
  line = Utf16LeToUtf8(raw);
  return true;
}

bool CStdioFileEx::ReadString(std::string& line) {
  if (!open_ || writing_) {
    return false;
  }
  return unicode_ ? ReadLine16(line) : ReadLine8(line);
}

void CStdioFileEx::WriteString(std::string_view text) {
  if (!open_ || !writing_) {
    return;
  }
  std::string crlf;
  crlf.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '\n') {
      crlf.push_back('\r');
    }
    crlf.push_back(c);
  }
  if (unicode_) {
    if (out_.empty()) {
      out_.append("\xFF\xFE", 2);
    }
    out_.append(Utf8ToUtf16Le(crlf));
  } else {
    out_.append(Utf8ToCp1252(crlf));
  }
}

bool CStdioFileEx::Close() {
  if (!open_) {
    return true;
  }
  open_ = false;
  if (writing_) {
    writing_ = false;
    const bool ok = WriteFileReplacing(target_, out_);
    out_.clear();
    return ok;
  }
  in_.Reset();
  pos_ = end_ = 0;
  return true;
}

}  // namespace tolvane

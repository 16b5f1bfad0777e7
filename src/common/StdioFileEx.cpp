#include "common/StdioFileEx.h"

#include "common/Encoding.h"
#include "common/FileSystem.h"

namespace tolvane {

CStdioFileEx::CStdioFileEx(IMessageBox* messages) : messages_(messages) {}

CStdioFileEx::~CStdioFileEx() {
  // An unfinished write is abandoned: the target keeps its old content.
  in_.close();
}

void CStdioFileEx::CheckUnicode(const std::filesystem::path& path) {
  unicode_ = false;
  std::ifstream probe(path, std::ios::binary);
  if (!probe) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot open file for Unicode type check.", MB_ERROR);
    }
    return;
  }
  char bom[2] = {0, 0};
  if (!probe.read(bom, 2)) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot read file for Unicode type check.", MB_ERROR);
    }
    return;
  }
  unicode_ = static_cast<unsigned char>(bom[0]) == 0xFF && static_cast<unsigned char>(bom[1]) == 0xFE;
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
  CheckUnicode(path);
  in_.open(path, std::ios::binary);
  if (!in_) {
    return false;
  }
  if (unicode_) {
    in_.ignore(2);
  }
  open_ = true;
  return true;
}

bool CStdioFileEx::ReadLine8(std::string& line) {
  std::string raw;
  std::streambuf* sb = in_.rdbuf();
  bool any = false;
  for (;;) {
    const int c = sb->sbumpc();
    if (c == std::char_traits<char>::eof()) {
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
  std::streambuf* sb = in_.rdbuf();
  bool any = false;
  for (;;) {
    const int lo = sb->sbumpc();
    if (lo == std::char_traits<char>::eof()) {
      break;
    }
    const int hi = sb->sbumpc();
    if (hi == std::char_traits<char>::eof()) {
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
  in_.close();
  in_.clear();
  return true;
}

}  // namespace tolvane

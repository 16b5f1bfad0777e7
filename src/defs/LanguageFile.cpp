#include "defs/LanguageFile.h"

#include "common/Encoding.h"
#include "common/FileSystem.h"
#include "common/Folders.h"
#include "common/StdioFileEx.h"

namespace tolvane {
namespace {

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\v' || c == U'\f'; }

std::u32string Trim(std::u32string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsSpace(s[b])) {
    ++b;
  }
  while (e > b && IsSpace(s[e - 1])) {
    --e;
  }
  return std::u32string(s.substr(b, e - b));
}

// Trims a column piece and strips its trailing backslashes. Returns true when
// there were any: the entry then continues on the next line.
bool TakePiece(std::u32string_view raw, std::u32string& text) {
  std::u32string piece = Trim(raw);
  bool continues = false;
  while (!piece.empty() && piece.back() == U'\\') {
    piece.pop_back();
    continues = true;
  }
  text += piece;
  return continues;
}

std::u32string ReplaceAll(std::u32string s, std::u32string_view from, char32_t to) {
  std::size_t pos = 0;
  while ((pos = s.find(from, pos)) != std::u32string::npos) {
    s.replace(pos, from.size(), 1, to);
    ++pos;
  }
  return s;
}

std::u32string_view Sub(std::u32string_view s, std::size_t pos, std::size_t len = std::u32string_view::npos) {
  if (pos >= s.size()) {
    return {};
  }
  return s.substr(pos, len);
}

}  // namespace

CLanguageFile::CLanguageFile(const std::filesystem::path& modelsFolder, IMessageBox* messages,
                             const std::filesystem::path& installedModels)
    : models_(modelsFolder), installedModels_(installedModels), messages_(messages) {}

int CLanguageFile::Load(std::string_view fileName) {
  CStdioFileEx file(messages_);
  if (!IsSafeLeafName(fileName) ||
      !file.Open(ModelsFile(models_, installedModels_, fileName), CStdioFileEx::modeRead)) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot open the Language File. \n", MB_PLAIN);
    }
    return -1;
  }
  std::vector<std::string> lines;
  std::string line;
  while (file.ReadString(line)) {
    lines.push_back(std::move(line));
  }
  entries_.clear();
  refused_ = 0;
  ParseLines(lines);
  return 0;
}

void CLanguageFile::ParseLines(const std::vector<std::string>& lines) {
  std::size_t n = 0;
  while (n < lines.size()) {
    std::u32string line = Utf8ToU32(lines[n++]);
    const std::size_t apostrophe = line.find(U'\'');
    if (apostrophe != std::u32string::npos) {
      line.resize(apostrophe);
    }
    line = Trim(line);
    if (line.empty()) {
      continue;
    }
    LANGUAGE_ENTRY entry;
    const std::size_t cut = line.find_first_of(U"[=");
    entry.key = U32ToUtf8(Trim(std::u32string_view(line).substr(0, cut == std::u32string::npos ? 0 : cut)));

    std::u32string text[2];
    bool continues = false;
    const std::size_t eq = line.find(U'=');
    // Column positions on the entry's first line; continuation lines are cut at the same places.
    std::size_t start0 = std::u32string::npos;
    std::size_t len0 = 0;
    std::size_t start1 = std::u32string::npos;
    if (eq != std::u32string::npos) {
      start0 = eq + 1;
      const std::size_t arrow = line.find(U"->", start0);
      if (arrow != std::u32string::npos) {
        len0 = arrow - start0;
        start1 = arrow + 2;
      } else {
        len0 = line.size() - start0;
      }
      continues = TakePiece(Sub(line, start0, len0), text[0]);
      if (start1 != std::u32string::npos) {
        continues = TakePiece(Sub(line, start1), text[1]) || continues;
      }
    }
    while (continues && n < lines.size()) {
      const std::u32string next = ReplaceAll(Utf8ToU32(lines[n++]), U"\\\\n", U'\n');
      continues = TakePiece(Sub(next, start0, len0), text[0]);
      if (start1 != std::u32string::npos) {
        continues = TakePiece(Sub(next, start1), text[1]) || continues;
      }
    }
    entry.text[0] = U32ToUtf8(text[0]);
    entry.text[1] = U32ToUtf8(text[1]);
    Store(std::move(entry));
  }
}

void CLanguageFile::Store(LANGUAGE_ENTRY&& entry) {
  if (entries_.size() >= static_cast<std::size_t>(kMaxEntries)) {
    ++refused_;
    return;
  }
  entries_.push_back(std::move(entry));
}

bool CLanguageFile::Lookup(std::string_view key, int language, std::string& out) const {
  if (key.empty()) {
    return false;
  }
  const int column = (language == 1) ? 1 : 0;
  for (const auto& e : entries_) {
    if (e.key == key) {
      std::string text = e.text[column];
      std::size_t pos = 0;
      while ((pos = text.find("\\n", pos)) != std::string::npos) {
        text.replace(pos, 2, 1, '\n');
        ++pos;
      }
      out = std::move(text);
      return true;
    }
  }
  return false;
}

std::string CLanguageFile::Text(std::string_view key, int language) const {
  std::string out;
  Lookup(key, language, out);
  return out;
}

}  // namespace tolvane

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
      !file.Open(ModelsFile(models_, installedModels_, fileName), CStdioFileEx::modeRead) ||
      file.Size() > kMaxFileBytes) {
    if (messages_ != nullptr) {
      messages_->Show("Error:  Cannot open the Language File. \n", MB_PLAIN);
    }
    return -1;
  }
  entries_.clear();
  refused_ = 0;
  ParseLines([&file](std::string& line) { return file.ReadString(line); });
  return 0;
}

void CLanguageFile::ParseLines(const std::vector<std::string>& lines) {
  std::size_t n = 0;
  ParseLines([&](std::string& line) {
    if (n >= lines.size()) {
      return false;
    }
    line = lines[n++];
    return true;
  });
}

void CLanguageFile::ParseLines(const LineSource& next) {
  std::string raw;
  while (next(raw)) {
    std::u32string line = Utf8ToU32(raw);
    const std::size_t apostrophe = line.find(U'\'');
    if (apostrophe != std::u32string::npos) {
      line.resize(apostrophe);
    }
    line = Trim(line);
    if (line.empty()) {
      continue;
    }
    // An entry the table has no room for is read to its end (its
    // continuation lines belong to it) but nothing of it is kept.
    const bool keep = !Full();
    LANGUAGE_ENTRY entry;
    const std::size_t cut = line.find_first_of(U"[=");
    if (keep) {
      entry.key = U32ToUtf8(Trim(std::u32string_view(line).substr(0, cut == std::u32string::npos ? 0 : cut)));
    }

    std::u32string text[2];
    auto take = [&](std::u32string_view piece, int column) {
      std::u32string& into = text[column];
      const std::size_t before = into.size();
      const bool continues = TakePiece(piece, into);
      if (!keep) {
        into.resize(before);
      }
      return continues;
    };
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
      continues = take(Sub(line, start0, len0), 0);
      if (start1 != std::u32string::npos) {
        continues = take(Sub(line, start1), 1) || continues;
      }
    }
    while (continues && next(raw)) {
      const std::u32string more = ReplaceAll(Utf8ToU32(raw), U"\\\\n", U'\n');
      continues = take(Sub(more, start0, len0), 0);
      if (start1 != std::u32string::npos) {
        continues = take(Sub(more, start1), 1) || continues;
      }
    }
    if (!keep) {
      ++refused_;
      continue;
    }
    entry.text[0] = U32ToUtf8(text[0]);
    entry.text[1] = U32ToUtf8(text[1]);
    Store(std::move(entry));
  }
}

void CLanguageFile::Store(LANGUAGE_ENTRY&& entry) {
  if (Full()) {
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

std::string CLanguageFile::TextOr(std::string_view key, int language, std::string_view fallback) const {
  std::string out = Text(key, language);
  return out.empty() ? std::string(fallback) : out;
}

std::string WithoutAccessKeys(std::string_view caption) {
  std::string plain;
  plain.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        plain += '&';
        ++i;
      }
      continue;
    }
    plain += caption[i];
  }
  return plain;
}

}  // namespace tolvane

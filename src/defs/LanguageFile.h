// The text catalogue: every text the user sees is looked up by key in one
// language file that holds two language columns per key.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"

namespace tolvane {

struct LANGUAGE_ENTRY {
  std::string key;
  std::string text[2];
};

class CLanguageFile {
 public:
  static constexpr int kMaxEntries = 1000;
  // A language file larger than this is refused as a missing one (the
  // shipped one is some 50 KiB).
  static constexpr std::size_t kMaxFileBytes = 8u << 20;

  // `modelsFolder` is where the language file lives; `messages` shows the
  // error when the file cannot be opened (may be null).
  // `installedModels`, when given, is read for a file the models folder does
  // not hold (the installed data's models under the user's own).
  CLanguageFile(const std::filesystem::path& modelsFolder, IMessageBox* messages,
                const std::filesystem::path& installedModels = {});

  // Reads the file named `fileName` in the models folder. Returns 0 when it
  // was read, -1 when it could not be opened (a name that would leave the
  // folder, a file that is not a regular file or larger than
  // kMaxFileBytes). Entries beyond the table's room are refused; the first
  // entry of a key wins. The file is read line by line: memory follows the
  // entries kept, not the size of the file.
  int Load(std::string_view fileName);

  // Copies the text of `key` in column `language` (0 or 1; any other number
  // reads column 0) into `out`, with each "\n" turned into a line feed.
  // Returns false and leaves `out` unchanged when the key is not there.
  bool Lookup(std::string_view key, int language, std::string& out) const;

  // The text of `key`, or an empty text.
  std::string Text(std::string_view key, int language) const;
  // The text of `key`, or `fallback` when the key is missing or its text is
  // empty (before a file is loaded, or a file of an older program).
  std::string TextOr(std::string_view key, int language, std::string_view fallback) const;

  int EntryCount() const { return static_cast<int>(entries_.size()); }
  // Lines that held an entry but found the table full.
  int RefusedCount() const { return refused_; }

  // Gives the next line of a file; false at its end.
  using LineSource = std::function<bool(std::string& line)>;
  // Parses one file's content line by line (exposed for the fuzz target).
  void ParseLines(const LineSource& next);
  void ParseLines(const std::vector<std::string>& lines);

 private:
  bool Full() const { return entries_.size() >= static_cast<std::size_t>(kMaxEntries); }
  void Store(LANGUAGE_ENTRY&& entry);

  std::filesystem::path models_;
  std::filesystem::path installedModels_;
  IMessageBox* messages_;
  std::vector<LANGUAGE_ENTRY> entries_;
  int refused_ = 0;
};

// A control caption as plain text: the access-key marks of the language
// file's button and label texts ("&Open" underlines the O) removed, "&&"
// kept as one "&". For places that show a caption as it stands: window
// titles, log lines, message texts, the command-line program.
std::string WithoutAccessKeys(std::string_view caption);

}  // namespace tolvane

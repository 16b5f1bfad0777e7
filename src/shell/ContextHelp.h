// Context help: what the windows ask of it. A right click or F1 on a control
// opens that control's topic; the Help command opens a page of the main help
// file.
//
// Help lives in compiled help files (.chm) in the help folder: the main file
// named by the corporate model (MAINHELP) and, for a sensor model that brings
// its own, the model's file (HELPFILE). A page is named by a help path,
// "<folder>/<file>::/<topic>", which the help viewer opens.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"
#include "shell/ProgramCore.h"

namespace tolvane {

class IContextHelp {
 public:
  virtual ~IContextHelp() = default;
  // The topic of the control with `controlId`, from the model's help file when
  // it holds the topic, else from the main help file.
  virtual void ShowControlHelp(int controlId) = 0;
  // A page of the main help file, such as "GETTING_STARTED.htm".
  virtual void ShowPage(const std::string& page) = 0;
};

// Shows a help path ("<folder>/<file>::/<topic>") to the user. The program's
// help viewer implements it; tests record.
class IHelpViewer {
 public:
  virtual ~IHelpViewer() = default;
  virtual void ShowHelp(const std::string& path) = 0;
};

// The page the Help command opens, and the topic of a control the table does
// not know.
inline constexpr char kGettingStartedTopic[] = "GETTING_STARTED.htm";

// "<folder>/<file>::/<topic>".
std::string HelpPath(const std::filesystem::path& folder, const std::string& file, const std::string& topic);

// Splits a help path at its first "::/" into the file and the topic (without
// the leading slash). A path without "::/" is all file, with an empty topic.
std::pair<std::string, std::string> SplitHelpPath(std::string_view path);

// The help-topic table: a control id and a topic for each control of the
// configuration form, in a fixed order. Empty until the first ResetDefaults
// (the first identification of a unit); configuration models then change a
// few entries through SetTopic while they load.
class CHelpTopicTable : public IHelpTable {
 public:
  struct ENTRY {
    int controlId;
    std::string topic;
  };
  static constexpr int kEntries = 57;

  // Fills the table with its 57 defaults, in table order.
  void ResetDefaults() override;
  // Sets the topic of the first entry with `controlId`: 0, or -1 when no
  // entry has that id.
  int SetTopic(int controlId, const std::string& topic) override;
  // The topic of the first entry with `controlId`: 0, or -1 with
  // "GETTING_STARTED.htm" when no entry has that id.
  int GetTopic(int controlId, std::string& topic) const;

  const std::vector<ENTRY>& Entries() const { return entries_; }

 private:
  std::vector<ENTRY> entries_;
};

// True when the bytes of `file` hold the characters of `topic` in a row
// (each character compared as the low byte of its code point). The file is
// read in pieces of 1000 bytes. A mismatch starts the comparison again at the
// topic's first character: after a mismatch on the first character the next
// byte is taken, after a mismatch further on the same byte is compared with
// the first character again (so "AAB" is not found in "AAAB"). A file that
// cannot be opened shows `openErrorText` as an error message and counts as
// not holding the topic. An empty topic is never found.
bool HelpFileHasTopic(const std::filesystem::path& file, const std::string& topic, IMessageBox& messages,
                      const std::string& openErrorText);

// Context help for the configuration form and the other pages: finds the
// topic of a control, picks the help file that holds it and hands the help
// path to the viewer.
class CContextHelp : public IContextHelp {
 public:
  // All references are owned by the caller and outlive the object. The main
  // help file (`tables.program.mainHelp`), the model's help file
  // (`tables.helpFile`) and the language number (`settings.languageNumber`)
  // are read at each call, so they follow the corporate model and the model
  // of the connected unit as they are loaded.
  CContextHelp(const CHelpTopicTable& table, IHelpViewer& viewer, IMessageBox& messages, const CLanguageFile& language,
               const APP_SETTINGS& settings, std::filesystem::path helpFolder, const MODEL_TABLES& tables);

  void ShowControlHelp(int controlId) override;
  void ShowPage(const std::string& page) override;

  // The help path for a control, as ShowControlHelp opens it (shows the
  // missing-file message as ShowControlHelp does).
  std::string ControlHelpPath(int controlId);

 private:
  const CHelpTopicTable& table_;
  IHelpViewer& viewer_;
  IMessageBox& messages_;
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  std::filesystem::path folder_;
  const MODEL_TABLES& tables_;
};

}  // namespace tolvane

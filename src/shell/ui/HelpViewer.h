// The program's help viewer: a window that shows the pages of the compiled
// help files (.chm) of the help folder, with Back, Forward, Home and a find
// bar. One window is made on first use and reused; it is not modal, so the
// user keeps working in the form with the help open beside it.
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "shell/ChmArchive.h"
#include "shell/ContextHelp.h"

class QAction;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tolvane {

class CHelpViewer;

// The page area: pages, stylesheets and pictures come out of the help files
// through loadResource. Pages are addressed as "chm://f<n>/<object>", n being
// the viewer's number for an opened help file, so relative links, history
// and pages of several files work alike. A link "ms-its:<file>::/<topic>"
// reaches another help file beside the current one; web and mail links go to
// the desktop.
class CHelpBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit CHelpBrowser(CHelpViewer& viewer);

  QVariant loadResource(int type, const QUrl& name) override;

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

 private:
  CHelpViewer& viewer_;
};

class CHelpViewer : public QWidget {
  Q_OBJECT

 public:
  enum : int {
    IDD = 190,
    IDC_BACK = 1901,
    IDC_FORWARD = 1902,
    IDC_HOME = 1903,
    IDC_FIND = 1904,
    IDC_PAGE = 1905,
    IDC_FINDBAR = 1906,
    IDC_FINDTEXT = 1907,
    IDC_FINDNEXT = 1908,
    IDC_FINDPREVIOUS = 1909,
    IDC_FINDCLOSE = 1910,
    IDC_FINDSTATUS = 1911,
    IDC_CONTENTS = 1912,
  };

  enum class OpenResult { Ok, NoFile, NoPage };

  CHelpViewer(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent = nullptr);
  ~CHelpViewer() override;

  // Shows `topic` of the help file `file`; an empty topic shows the file's
  // default page. NoFile: the file cannot be read as a help file, nothing
  // changes. NoPage: the file has no such page; its default page is shown.
  OpenResult Open(const std::filesystem::path& file, const std::string& topic);

  // The page shown: the help file and the topic (object path without the
  // leading slash); empty before the first page.
  std::filesystem::path CurrentFile() const;
  std::string CurrentTopic() const;

  CHelpBrowser& Browser() { return *browser_; }

  // Back to the default page of the current help file.
  void Home();
  // Opens the find bar and puts the cursor in its text box.
  void ShowFindBar();
  // Finds the text of the find bar after (or before) the cursor, wrapping at
  // the end of the page; false when the page does not hold it.
  bool FindNext(bool backwards);

 private:
  friend class CHelpBrowser;
  struct ARCHIVE {
    std::filesystem::path path;
    CChmArchive chm;
    CHM_SYSTEM_INFO info;
    std::vector<CONTENTS_ENTRY> contents;
  };

  // The number of an opened help file, opening it on first use; -1 when it
  // cannot be read.
  int ArchiveFor(const std::filesystem::path& file);
  const ARCHIVE* ArchiveOf(const QUrl& url) const;
  QUrl PageUrl(int archive, const std::string& topic) const;
  std::string DefaultTopic(const ARCHIVE& archive) const;
  // Fills the contents pane from the table of contents of help file `archive`
  // (once per file) and marks the page shown.
  void ShowContents(int archive, const QUrl& page);
  QString Text(const char* key) const;
  QString MissingPage(const QUrl& url) const;
  void PageChanged(const QUrl& url);

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  std::vector<std::unique_ptr<ARCHIVE>> archives_;
  CHelpBrowser* browser_;
  QTreeWidget* contents_;
  int contentsOf_ = -1;  // the help file the contents pane shows
  QToolBar* toolbar_;
  QAction* back_;
  QAction* forward_;
  QAction* home_;
  QAction* find_;
  QWidget* findBar_;
  QLineEdit* findText_;
  QLabel* findStatus_;
};

// IHelpViewer for the program: opens "<folder>/<file>::/<topic>" in the one
// help window, made on first use. A help file that cannot be read or a page
// it does not have is told to the user in a message box.
class CHelpViewerService : public IHelpViewer {
 public:
  // All references are owned by the caller and outlive the service.
  CHelpViewerService(const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages);
  ~CHelpViewerService() override;

  void ShowHelp(const std::string& path) override;

  // The help window; null before the first ShowHelp.
  CHelpViewer* Viewer() const { return viewer_.data(); }

 private:
  // The help window, a child window of the modal window that asks for help
  // (the main window runs modally, and a modal window blocks every window
  // that is not its own). It goes with that window; the next request makes
  // a new one.
  CHelpViewer& WindowFor(QWidget* modal);

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  IMessageBox& messages_;
  QPointer<CHelpViewer> viewer_;
};

}  // namespace tolvane

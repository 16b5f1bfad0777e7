// The configuration form: the first page of the main window. The technician
// picks a configuration among those the unit's model allows, sets units,
// heights and levels, writes notes, and writes the configuration into units
// or keeps it in files. Every decision is a core function (option offering,
// matching, checks, page image, file text); the form binds their results to
// its controls.
#pragma once

#include <QComboBox>
#include <QImage>
#include <QKeySequence>
#include <QWidget>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigFile.h"
#include "config/Selection.h"
#include "config/ServiceCommands.h"
#include "config/WriteToUnit.h"
#include "net/SupportRequest.h"
#include "shell/ContextHelp.h"
#include "shell/GuideProcedure.h"
#include "shell/ProgramCore.h"
#include "shell/ui/DialogSupport.h"

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;

namespace tolvane::geometry {
class CFormTank;
}
namespace tolvane {
class CProgramCore;
// The form's tank geometry (FormTank.cpp).
std::unique_ptr<geometry::CFormTank> MakeFormTank(CProgramCore& core);
}  // namespace tolvane

namespace tolvane {

class CBusyWindow;
class CPictureBox;
class CTankPictureComposer;

// The file dialogs of the form: choosing a file to open, confirming the name
// of a file to save, printing a file. Tests answer them.
class IConfigFileDialogs {
 public:
  virtual ~IConfigFileDialogs() = default;
  // The open-file dialog on `folder`; empty on Cancel.
  virtual std::filesystem::path ChooseFile(const std::filesystem::path& folder, const std::string& title) = 0;
  // The name dialog with the proposed `name`; true on OK with the final name.
  virtual bool ConfirmName(std::string& name) = 0;
  // Prints the text of `file` (the print dialog can also write a PDF).
  virtual void Print(const std::filesystem::path& file) = 0;
};

// The desktop's dialogs: the file dialog, the name dialog, the print dialog.
class CConfigFileDialogs final : public IConfigFileDialogs {
 public:
  CConfigFileDialogs(const CLanguageFile& language, const APP_SETTINGS& settings)
      : language_(language), settings_(settings) {}
  // The window the dialogs open over.
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::filesystem::path ChooseFile(const std::filesystem::path& folder, const std::string& title) override;
  bool ConfirmName(std::string& name) override;
  void Print(const std::filesystem::path& file) override;

 private:
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  QWidget* parent_ = nullptr;
};

struct GENERIC_FORM_SERVICES {
  CProgramCore& core;
  bool demonstration = false;
  IContextHelp& help;
  IDocumentOpener& opener;
  config::IUploadQueue& upload;
  IConfigFileDialogs& files;
  IStartView* startView = nullptr;                // the start dialog's status line, during the form start
  IOptionsPrompt* notice = nullptr;               // the upload notice with its "do not show again" box
  config::TEST_AID_COUNTERS* testAids = nullptr;  // the test aids' counters of the run (the form's own when null)
};

// An item box: a drop-down list with an edit field that reports when its
// list opens and closes.
class CItemCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit CItemCombo(QWidget* parent);
  void showPopup() override;
  void hidePopup() override;
  bool ListOpen() const { return listOpen_; }

 signals:
  void dropDown();
  void closeUp();

 private:
  bool listOpen_ = false;
};

class CGenericForm : public QWidget, public IPageLeave {
  Q_OBJECT

 public:
  enum : int {
    IDD = 103,
    IDC_TANKPICTURE = 1002,
    IDC_LEVEL5 = 1014,  // level boxes 1014 (row 5, highest) .. 1019 (row 0)
    IDC_LEVEL0 = 1019,
    IDC_UNITS = 1020,
    IDC_SENSORHEIGHT = 1021,
    IDC_FILLHEIGHT = 1022,
    IDC_DEFAULTCFG = 1023,
    IDC_FILENAME = 1024,
    IDC_OPENFILE = 1025,
    IDC_SAVEFILE = 1026,
    IDC_WRITETARGET = 1027,
    IDC_VIEWDRAWING = 1028,
    IDC_NOTES = 1029,
    IDC_MODELDESCRIPTION = 1031,
    IDC_STATUSLINE = 1041,
    IDC_FILEDATE = 1048,
    IDC_PNSN = 1050,
    IDC_RESET = 1052,
    IDC_SW_REVISION = 1053,
    IDC_CONFIGWINDOW = 1054,
    IDC_TANKWINDOW = 1055,
    IDC_UNITLABEL = 1056,
    IDC_SHLABEL = 1057,
    IDC_FHLABEL = 1058,
    IDC_CFLABEL = 1059,
    IDC_DSLABEL = 1060,
    IDC_PRINTFILE = 1061,
    IDC_ADVANCED = 1062,
    IDC_HW_MODEL = 1063,
    IDC_TESTCONFIGS = 1073,
    IDC_VIEWTANKS = 1074,
    IDC_VIEWCOUNTER = 1075,
    IDC_LOGO = 1076,
    IDC_ADVANCEDFRAME = 1124,
    IDC_NONLINEAR = 1127,
  };
  // Item boxes and their labels, items 0..9.
  static constexpr std::array<int, kMaxItems> kItemBoxes{1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1030, 1032};
  static constexpr std::array<int, kMaxItems> kItemLabels{1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1049, 1051};
  // Level boxes and labels, rows 0..5 (row 0 lowest on the form).
  static constexpr std::array<int, kLevelRows> kLevelBoxes{1019, 1018, 1017, 1016, 1015, 1014};
  static constexpr std::array<int, kLevelRows> kLevelLabels{1047, 1046, 1045, 1044, 1043, 1042};

  CGenericForm(GENERIC_FORM_SERVICES services, QWidget* parent);
  ~CGenericForm() override;

  // The form start; runs once, when the page is first shown (or earlier when
  // called). False when it failed: the error has been shown and the main
  // window is to close.
  bool Start();
  bool Started() const { return started_; }
  bool StartFailed() const { return startFailed_; }

  // The handlers, as the controls call them.
  void OnItemCloseUp(int item);
  void OnItemDropDown(int item);
  void OnItemEditChange(int item, const QString& typed);
  void OnUnitsChange(int entry);
  // The Tank Shapes button (FormTank.cpp).
  void OnNonLinear();
  void RecalculateNonLinear();
  void RefillUnits();
  // Loss of focus of a height or level box: field 0..5 level row, 6 fill
  // height, 7 sensor height.
  void StoreValue(int field);
  void OnClearScreen();
  void OnWriteToUnit();
  void OnOpenConfigFile();
  void OnSaveConfigFile();
  void OnFactoryConfig();
  void OnPrintConfigFile();
  void OnWiringDiagram();
  void OnDemonstrationTimer();
  // The service commands of the file name box (in their own file): true when
  // `text` is one, which then has run.
  bool RunServiceCommand(const std::string& text);
  void OnTestConfigs();
  void OnViewTanks();
  // The contact data of the support dialog, kept while the form lives.
  const net::CONTACT_RECORD& Contact() const { return contact_; }

  bool CanLeave() override;

  bool Unsaved() const { return unsaved_; }
  // The configuration file the form's configuration came from or went to
  // last (its name only); empty when there is none.
  std::string FileInUse() const;
  // The form holds a valid, complete configuration.
  bool Configured() const { return record_.valid && record_.complete; }

  // The keys of the form's commands (they press the buttons).
  static QKeySequence OpenKey();
  static QKeySequence SaveKey();
  static QKeySequence PrintKey();
  // F9: Ctrl+W closes windows on most desktops.
  static QKeySequence WriteKey();

 signals:
  // The file in use, its unsaved mark or the configuration's completeness
  // may have changed.
  void fileStateChanged();

 public:
  config::CONFIG_NONLINEAR& NonLinear() { return nonLinear_; }
  const QImage& TankPicture() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The entries of item box `item`, as option indices.
  const std::vector<std::int32_t>& Entries(int item) const { return entries_[static_cast<std::size_t>(item)]; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class CFormWriteView;

  std::string Text(const char* key) const;
  void Build();
  void SetCaptions();
  void ShowIdentity();
  void ShowStatus(const config::CONFIG_STATUS& status);
  // The item boxes from the option lists and the selections.
  void FillBoxes(const config::OPTION_LISTS& lists);
  void Evaluate(bool refresh);
  bool CheckSelection(int item);
  void SingleRemaining(int item, bool refresh);
  void UpdateCompleteness(bool updateButtons);
  void UpdateButtons();
  // Save, Write to Unit and View Drawing as the record allows, nothing else.
  void ShowButtonStates();
  void ShowLevels();
  void ShowTankPicture();
  // The heights and levels of the record in their boxes.
  void ShowValues();
  void ShowValue(QLineEdit* box, double value);
  void SelectUnitsEntry();
  void ResetSelections();
  void ApplyDefaultHeights();
  // Reads a configuration file into the record and the controls. 0, else the reader's result.
  int ReadFile(const std::filesystem::path& path);
  void AfterRecordChanged();
  QWidget* ControlAt(int id) const;
  bool IsButton(QObject* object) const;
  void RunInfoMemory();
  void RunDirectEntry();
  void RunTechSupport();
  bool ShowCodeRevision();
  void Restart();
  void SetUnsaved(bool unsaved);
  // Reports a change of FileInUse, Unsaved or Configured.
  void NotifyFileState();
  // The tooltips and the keys of the buttons.
  void SetHints();
  // The command buttons with their keys (shortcuts and tooltips alike).
  std::array<std::pair<QPushButton*, QKeySequence>, 4> CommandKeys() const;
  // The item boxes and the units box as wide as their longest entry (in
  // both languages), and the level labels' column as wide as the longest
  // label of any configuration, so that no column moves when texts change.
  void FixColumnWidths();

  GENERIC_FORM_SERVICES s_;
  CProgramCore& core_;
  const MODEL_DEFINITION& model_;
  CONFIG_RECORD& record_;
  config::CONFIG_NONLINEAR nonLinear_;
  std::unique_ptr<geometry::CFormTank> formTank_;
  std::unique_ptr<CTankPictureComposer> pictures_;

  std::array<QLabel*, kMaxItems> itemLabels_{};
  std::array<CItemCombo*, kMaxItems> items_{};
  std::array<std::vector<std::int32_t>, kMaxItems> entries_;
  std::array<QLabel*, kLevelRows> levelLabels_{};
  std::array<QLineEdit*, kLevelRows> levels_{};
  QComboBox* units_ = nullptr;
  QLineEdit* sensorHeight_ = nullptr;
  QLineEdit* fillHeight_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* notes_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QLabel* fileDate_ = nullptr;
  QLabel* description_ = nullptr;
  QLabel* identity_ = nullptr;
  QLabel* revision_ = nullptr;
  QLabel* hardware_ = nullptr;
  CPictureBox* tank_ = nullptr;
  CPictureBox* logo_ = nullptr;
  QGroupBox* configGroup_ = nullptr;
  QGroupBox* tankGroup_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* drawing_ = nullptr;
  QPushButton* advanced_ = nullptr;
  class CAdvancedMarker* advancedMarker_ = nullptr;
  QPushButton* factory_ = nullptr;
  QPushButton* reset_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* nonLinearButton_ = nullptr;
  QPushButton* testConfigs_ = nullptr;
  QPushButton* viewTanks_ = nullptr;
  QLabel* viewCounter_ = nullptr;
  QTimer* demoTimer_ = nullptr;
  QWidget* content_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QGridLayout* levelsGrid_ = nullptr;
  std::vector<QLabel*> captionLabels_;

  bool started_ = false;
  bool startFailed_ = false;
  bool unsaved_ = false;
  bool uploadNotice_ = true;
  bool writeInProgress_ = false;
  std::string notifiedFile_;
  bool notifiedUnsaved_ = false;
  bool notifiedConfigured_ = false;
  bool notifiedOnce_ = false;
  bool filling_ = false;            // the boxes are being refilled: their signals are not the user's
  std::filesystem::path fullPath_;  // the file last opened, with its folder
  config::TEST_AID_COUNTERS ownTestAids_;
  net::CONTACT_RECORD contact_;
};

}  // namespace tolvane

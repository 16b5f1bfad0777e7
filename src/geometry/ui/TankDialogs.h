// The windows of the tank geometry: the structure picker (a tabbed sheet of
// picture pages), the dimension form over the shape's drawing, and the curve
// view with its graph. Every decision is a core function of the geometry
// library; these classes bind its results to controls.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "defs/ModelFile.h"
#include "geometry/DimensionInput.h"
#include "geometry/NonLinearData.h"
#include "geometry/Structures.h"
#include "shell/ui/DialogSupport.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;
class QTabWidget;

namespace tolvane::geometry {

// What the dialogs share: the catalogue and its tables, the record, the
// texts, the folders and the calculation's seams.
struct TANK_UI {
  CModelFile& models;
  MODEL_TABLES& tables;
  CNonLinearData& data;
  const CLanguageFile& language;
  const APP_SETTINGS& settings;
  std::filesystem::path bitmaps;
  std::filesystem::path drawings;  // where exported strapping tables are proposed
  CALCULATE_CONTEXT calculate;
  QString Text(std::string_view key) const { return LanguageText(language, settings, key); }
};

// A picture from the bitmaps folder with RGB(212, 208, 200) as its mask.
QImage LoadMaskedPicture(const std::filesystem::path& path);

// One picker page (dialog 122).
class CAlternatePage : public QWidget {
  Q_OBJECT

 public:
  enum : int { IDD = 122, IDC_LIST = 1131 };
  CAlternatePage(TANK_UI& ui, const std::string& pageFile, int index, QWidget* parent);
  const QString& TabTitle() const { return title_; }
  bool WasShown() const { return shown_; }
  // The NLTYPE of the selected picture; none without a selection.
  std::optional<std::int16_t> SelectedType() const;
  QListWidget* List() const { return list_; }

 signals:
  void pictureDoubleClicked(int type);

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  TANK_UI& ui_;
  STRUCTURE_PAGE page_;
  std::array<std::int16_t, kMaxStructureTypes> types_{};
  QString title_;
  QListWidget* list_;
  bool shown_ = false;
};

// The structure picker (CNonLinear2): OK, Cancel and "Reset".
class CNonLinear2 : public QDialog {
  Q_OBJECT

 public:
  enum : int { IDC_RESETBUTTON = 2000 };
  CNonLinear2(TANK_UI& ui, const QString& caption, QWidget* parent);
  PICKER_CLOSE Closing() const { return closing_; }
  // The structure type the closing made (−1: none).
  std::int16_t ChosenType() const { return chosen_; }
  QTabWidget* Tabs() const { return tabs_; }
  std::vector<CAlternatePage*> Pages() const { return pages_; }

 private:
  void Finish(PICKER_CLOSE how, std::int16_t type);
  TANK_UI& ui_;
  QTabWidget* tabs_;
  std::vector<CAlternatePage*> pages_;
  PICKER_CLOSE closing_ = PICKER_CANCEL;
  std::int16_t chosen_ = -1;
};

// A dimension's label and edit (CDimWindow).
class CDimWindow : public QObject {
  Q_OBJECT

 public:
  CDimWindow(int index, const QString& label, QPoint at, QWidget* form);
  int Index() const { return index_; }
  QLineEdit* Edit() const { return edit_; }
  QLabel* Label() const { return label_; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int index_;
  QLabel* label_;
  QLineEdit* edit_;
};

// The dimension form (dialog 123).
class CDimensionForm : public CKitDialog {
  Q_OBJECT

 public:
  enum : int { IDD = 123, IDC_PICTURE = 1133, IDC_UNITS = 1234, IDC_VIEWCURVE = 1127, IDC_EDIT0 = 100 };
  CDimensionForm(TANK_UI& ui, QWidget* parent);
  // Reads the unit and the dimensions into the record and runs the
  // calculation: its result.
  int Apply();
  const std::vector<CDimWindow*>& Windows() const { return windows_; }
  // Opens the curve view (a seam for tests: they replace it).
  std::function<void(const QString& dimensionUnit)> openCurve;

 private:
  void OnOk();
  void OnViewCurve();
  TANK_UI& ui_;
  QComboBox* units_ = nullptr;
  std::vector<CDimWindow*> windows_;
};

// The graph (CGraph): black background, yellow axes, blue curve, red
// cross-hair, magenta title.
class CGraph : public QWidget {
  Q_OBJECT

 public:
  enum : int { IDC_GRAPH = 3001 };
  CGraph(const CNonLinearData& record, QWidget* parent);
  void SetRanges(double xmin, double ymin, double xmax, double ymax);
  void SetTitle(const QString& t) { title_ = t; }
  void SetXText(const QString& t) { xText_ = t; }
  void SetYText(const QString& t) { yText_ = t; }
  void SetCurve(bool on) { curve_ = on; }
  void SetCrossHair(bool on) { crossHair_ = on; }
  void SetCrossHairPosition(double x, double y) {
    crossX_ = x;
    crossY_ = y;
  }
  QString Title() const { return title_; }
  QString XText() const { return xText_; }
  QString YText() const { return yText_; }
  QPointF Map(double x, double y) const;
  QImage Render() const;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  const CNonLinearData& data_;
  QString title_ = "Title", xText_ = "X", yText_;
  double xmin_ = 0, xmax_ = 1, ymin_ = 0, ymax_ = 1;
  bool curve_ = false, crossHair_ = false;
  double crossX_ = 0, crossY_ = 0;
};

// The curve view (dialog 124), with the strapping table's export.
class CViewCurve : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 124,
    IDC_LEVELSLIDER = 1135,
    IDC_VOLUMESLIDER = 1136,
    IDC_DIMUNIT = 1137,
    IDC_VOLUMEUNIT = 1138,
    IDC_VOLUMEUNITS = 1139,
    IDC_EXPORTCSV = 1140,
    IDC_PRINTTABLE = 1141,
  };
  CViewCurve(TANK_UI& ui, const QString& dimensionUnit, QWidget* parent);
  CGraph* Graph() const { return graph_; }
  QSlider* LevelSlider() const { return level_; }
  QSlider* VolumeSlider() const { return volume_; }
  // Writes the CSV of the table in the chosen volume unit; false when it cannot.
  bool ExportCsv(const std::filesystem::path& path);
  // The strapping table as the printed page shows it (HTML).
  QString TableHtml() const;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void OnVolumeUnit(int index);
  void OnLevelSlider(int position);
  void OnVolumeSlider(int position);
  void Refresh(const CURVE_POINT& p);
  void PlaceGraph();
  TANK_UI& ui_;
  QString dimensionUnit_;
  CGraph* graph_;
  QSlider* level_;
  QSlider* volume_;
  QComboBox* units_;
  QLabel* dimUnitText_;
  QLabel* volumeUnitText_;
  bool moving_ = false;
};

// The form's Tank Shapes button: the picker, the dimension form and what
// follows. The outcome the form applies.
struct TANK_CHOICE {
  bool structureOn = false;
  bool cancelled = false;
  STRUCTURE_HEIGHTS heights;
};
// `dialogs` opens the picker and the dimension form (tests replace it);
// `heightFactor` is the factor of the form's selected unit.
TANK_CHOICE ChooseTankStructure(TANK_UI& ui, QWidget* parent, double heightFactor);

}  // namespace tolvane::geometry

namespace tolvane::geometry {

// Busy windows of the calculation: the dialog kit's, without owner.
class CQtBusyWindows : public IBusyWindowFactory {
 public:
  CQtBusyWindows(const CLanguageFile& language, const APP_SETTINGS& settings)
      : language_(language), settings_(settings) {}
  std::unique_ptr<IBusyWindow> OpenBusyWindow() override;

 private:
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
};

// What the configuration form keeps of the tank geometry: the record, the
// component loader of the component folder and the busy windows.
class CFormTank {
 public:
  CFormTank(CModelFile& models, MODEL_TABLES& tables, const CLanguageFile& language, const APP_SETTINGS& settings,
            const std::filesystem::path& bitmaps, const std::filesystem::path& drawings,
            const std::filesystem::path& components, IMessageBox& messages, IClock& clock);
  CNonLinearData& Data() { return data_; }
  TANK_UI& Ui() { return ui_; }
  // The levels in volume units, while a structure is on; null otherwise.
  const config::IVolumeLevels* Volume() const { return data_.On() ? &volume_ : nullptr; }

 private:
  CNonLinearData data_;
  CComponentLoader loader_;
  CQtBusyWindows busy_;
  CVolumeLevels volume_;
  TANK_UI ui_;
};

}  // namespace tolvane::geometry

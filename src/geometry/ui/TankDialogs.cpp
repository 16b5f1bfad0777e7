#include "geometry/ui/TankDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "shell/ui/BusyWindow.h"

namespace tolvane::geometry {

namespace {

constexpr QRgb kMaskColour = qRgb(212, 208, 200);
constexpr int kDimFormWidth = 560;
constexpr int kDimFormHeight = 420;

QPushButton* Button(QWidget* parent, int id, const QString& text) {
  return WithControlId(new QPushButton(text, parent), id);
}

}  // namespace

QImage LoadMaskedPicture(const std::filesystem::path& path) {
  QImage image;
  if (!image.load(QString::fromStdString(path.string()))) {
    return {};
  }
  QImage masked = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < masked.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(masked.scanLine(y));
    for (int x = 0; x < masked.width(); ++x) {
      if ((row[x] & 0xFFFFFFu) == (kMaskColour & 0xFFFFFFu)) {
        row[x] = 0;
      }
    }
  }
  return masked;
}

// ---------------------------------------------------------------------------
// Picker page

CAlternatePage::CAlternatePage(TANK_UI& ui, const std::string& pageFile, int index, QWidget* parent)
    : QWidget(parent), ui_(ui) {
  WithControlId(this, IDD);
  setProperty("pageIndex", index);
  LoadStructurePage(ui_.models, pageFile);
  page_ = ui_.tables.structurePage;
  types_ = ui_.tables.model.structureTypes;
  title_ = FromUtf8(page_.tabTitle);
  list_ = WithControlId(new QListWidget(this), IDC_LIST);
  list_->setViewMode(QListView::IconMode);
  list_->setIconSize(QSize(74, 123));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMovement(QListView::Static);
  list_->setResizeMode(QListView::Adjust);
  list_->setWordWrap(true);
  list_->setGridSize(QSize(140, 175));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    emit pictureDoubleClicked(types_[static_cast<std::size_t>(list_->row(item))]);
  });
}

std::optional<std::int16_t> CAlternatePage::SelectedType() const {
  const int row = list_->currentRow();
  if (row < 0 || !list_->currentItem() || !list_->currentItem()->isSelected() || row >= kMaxStructureTypes) {
    return std::nullopt;
  }
  return types_[static_cast<std::size_t>(row)];
}

void CAlternatePage::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  shown_ = true;
  list_->clear();
  const int count = std::min(page_.pictureCount, kMaxPictures);
  int select = -1;
  for (int i = 0; i < count; ++i) {
    const auto s = static_cast<std::size_t>(i);
    const QImage picture = LoadMaskedPicture(ui_.bitmaps / page_.pictureFiles[s]);
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(picture)), FromUtf8(page_.pictureCaptions[s]), list_);
    item->setTextAlignment(Qt::AlignHCenter);
    if (types_[s] == ui_.data.structureType) {
      select = i;  // the last one listed wins
    }
  }
  if (select >= 0) {
    list_->setCurrentRow(select);
  }
  setWindowTitle(ui_.Text("IDD_ALTERNATEPAGE"));
}

void CAlternatePage::hideEvent(QHideEvent* e) {
  // The pictures live while the page is active; the selection stays.
  for (int i = 0; i < list_->count(); ++i) {
    list_->item(i)->setIcon(QIcon());
  }
  QWidget::hideEvent(e);
}

// ---------------------------------------------------------------------------
// Picker sheet

CNonLinear2::CNonLinear2(TANK_UI& ui, const QString& caption, QWidget* parent) : QDialog(parent), ui_(ui) {
  setWindowTitle(caption);
  tabs_ = new QTabWidget(this);
  const MODEL_DEFINITION model = ui_.tables.model;
  int active = 0;
  for (int t = 0; t < PickerTabCount(model); ++t) {
    auto* page = new CAlternatePage(ui_, model.nonLinearFiles[static_cast<std::size_t>(t)], t, tabs_);
    pages_.push_back(page);
    tabs_->addTab(page, page->TabTitle());
    for (const std::int16_t type : ui_.tables.model.structureTypes) {
      if (type == ui_.data.structureType && type != -1) {
        active = t;
      }
    }
    connect(page, &CAlternatePage::pictureDoubleClicked, this,
            [this](int type) { Finish(PICKER_DOUBLE_CLICK, static_cast<std::int16_t>(type)); });
  }
  // The configuration model's own tables come back after the pages took them.
  ui_.tables.model.structureTypes = model.structureTypes;
  tabs_->setCurrentIndex(active);

  auto* ok = Button(this, RESULT_OK, ui_.Text("IDOK"));
  auto* cancel = Button(this, RESULT_CANCEL, ui_.Text("IDCANCEL"));
  auto* reset = Button(this, IDC_RESETBUTTON, LanguageTextOr(ui_.language, ui_.settings, "IDC_RESETBUTTON", "Reset"));
  reset->setFont(font());
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(reset);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  reset->setMinimumSize(ok->sizeHint());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  resize(520, 420);

  connect(ok, &QPushButton::clicked, this, [this] {
    // The pages that were shown apply in tab order, but a page without a
    // selection does not wipe the choice made on another: a tab merely
    // looked at would otherwise drop the shape. No selection on any shown
    // page means no shape.
    std::optional<std::int16_t> type;
    for (CAlternatePage* page : pages_) {
      if (page->WasShown()) {
        if (const auto selected = page->SelectedType()) {
          type = selected;
        }
      }
    }
    if (!type) {
      ui_.data.selectionCode = 0;
    }
    Finish(PICKER_OK, type.value_or(static_cast<std::int16_t>(-1)));
  });
  connect(reset, &QPushButton::clicked, this, [this] { Finish(PICKER_RESET, ui_.data.structureType); });
  connect(cancel, &QPushButton::clicked, this, [this] { Finish(PICKER_CANCEL, ui_.data.structureType); });
}

void CNonLinear2::Finish(PICKER_CLOSE how, std::int16_t type) {
  closing_ = how;
  chosen_ = type;
  if (how == PICKER_CANCEL) {
    QDialog::reject();
  } else {
    QDialog::accept();
  }
}

// ---------------------------------------------------------------------------
// Dimension edit

namespace {

// A label placed over the drawing at `at`, as wide as its text: moved left
// where the text would pass the form's right edge, so that it is never cut.
void PlaceLabel(QLabel* label, QPoint at, int formWidth) {
  const QFontMetrics metrics(label->font());
  const int width = std::min(std::max(128, metrics.horizontalAdvance(label->text()) + 4), formWidth);
  const int x = std::clamp(at.x(), 0, formWidth - width);
  label->setGeometry(x, at.y(), width, std::max(16, metrics.height()));
}

}  // namespace

CDimWindow::CDimWindow(int index, const QString& label, QPoint at, QWidget* form) : QObject(form), index_(index) {
  label_ = new QLabel(label, form);
  label_->setFont(form->font());
  PlaceLabel(label_, at, kDimFormWidth);
  edit_ = WithControlId(new QLineEdit("0", form), CDimensionForm::IDC_EDIT0 + index);
  edit_->setGeometry(at.x(), at.y() + 16, 128, 24);
  edit_->setFont(form->font());
  edit_->installEventFilter(this);
}

bool CDimWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (!text.isEmpty() && !key->matches(QKeySequence::Paste)) {
      const char32_t c = text.toUcs4().value(0);
      if (!AcceptDimensionKey(edit_->text().toStdString(), c)) {
        return true;  // ignored
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Dimension form

CDimensionForm::CDimensionForm(TANK_UI& ui, QWidget* parent) : CKitDialog(parent), ui_(ui) {
  const DIMENSION_LAYOUT& dim = ui_.tables.dimensions;
  setWindowTitle(ui_.Text("IDD_DIMENSIONFORM").replace("%s", FromUtf8(dim.title)));
  setFixedSize(kDimFormWidth, kDimFormHeight + 44);
  auto* picture = WithControlId(new QLabel(this), IDC_PICTURE);
  picture->setGeometry(0, 0, kDimFormWidth, kDimFormHeight);
  picture->setAlignment(Qt::AlignCenter);
  picture->setPixmap(
      QPixmap::fromImage(ScaledForDevice(LoadMaskedPicture(ui_.bitmaps / dim.mainImage), devicePixelRatioF())));
  picture->lower();

  if (dim.unitWindow) {
    const PLACE p = PlaceInClient(dim.unitWindowPosition.x, dim.unitWindowPosition.y, kDimFormWidth, kDimFormHeight);
    auto* label = new QLabel(FromUtf8(dim.unitWindowLabel), this);
    PlaceLabel(label, QPoint(p.x, p.y), kDimFormWidth);
    units_ = WithControlId(new QComboBox(this), IDC_UNITS);
    units_->setEditable(true);
    units_->setGeometry(p.x, p.y + 24, 128, 24);
    for (int i = 0; i < std::min(dim.dimUnitCount, kMaxUnits); ++i) {
      units_->addItem(FromUtf8(dim.dimUnitNames[static_cast<std::size_t>(i)]));
    }
    units_->setCurrentIndex(ui_.data.dimensionUnit < units_->count() ? ui_.data.dimensionUnit : 0);
  }
  for (int i = 0; i < kMaxDimWindows; ++i) {
    const auto s = static_cast<std::size_t>(i);
    if (dim.windowLabel[s].empty()) {
      continue;
    }
    const PLACE p = PlaceInClient(dim.windowPosition[s].x, dim.windowPosition[s].y, kDimFormWidth, kDimFormHeight);
    auto* w = new CDimWindow(i, FromUtf8(dim.windowLabel[s]), QPoint(p.x, std::min(p.y, kDimFormHeight - 40)), this);
    w->Edit()->setText(QString::asprintf("%2.1f", ui_.data.dimensions[s]));
    windows_.push_back(w);
  }
  auto* ok = Button(this, RESULT_OK, ui_.Text("IDOK"));
  auto* cancel = Button(this, RESULT_CANCEL, ui_.Text("IDCANCEL"));
  auto* view = Button(this, IDC_VIEWCURVE, ui_.Text("IDC_VIEWCURVE"));
  ok->setDefault(true);
  view->setGeometry(kDimFormWidth - 330, kDimFormHeight + 8, 100, 28);
  ok->setGeometry(kDimFormWidth - 220, kDimFormHeight + 8, 100, 28);
  cancel->setGeometry(kDimFormWidth - 110, kDimFormHeight + 8, 100, 28);
  connect(ok, &QPushButton::clicked, this, &CDimensionForm::OnOk);
  connect(cancel, &QPushButton::clicked, this, &CDimensionForm::reject);
  connect(view, &QPushButton::clicked, this, &CDimensionForm::OnViewCurve);
  openCurve = [this](const QString& unit) {
    CViewCurve curve(ui_, unit, this);
    curve.exec();
  };
}

int CDimensionForm::Apply() {
  const double tpf = ui_.tables.model.baseFactor;
  if (units_ != nullptr) {
    const int unit = std::max(0, units_->currentIndex());
    ui_.data.dimensionUnit = static_cast<std::uint16_t>(unit);
    ui_.data.dimensionFactor = DimensionFactor(ui_.tables.dimensions, unit, tpf);
  } else {
    ui_.data.dimensionFactor = tpf;
  }
  ui_.data.baseFactor = tpf;
  ui_.data.dimensions.fill(0.0);
  for (const CDimWindow* w : windows_) {
    ui_.data.dimensions[static_cast<std::size_t>(w->Index())] = DimensionFromText(w->Edit()->text().toStdString());
  }
  return ui_.data.Calculate(ui_.calculate);
}

void CDimensionForm::OnOk() {
  const int rc = Apply();
  if (rc == CALC_OK) {
    accept();
  } else if (rc != CALC_REFUSED) {
    reject();
  }
  // Refused dimensions: the message was shown, the form stays for a correction.
}

void CDimensionForm::OnViewCurve() {
  const int rc = Apply();
  if (rc == CALC_OK) {
    openCurve(units_ != nullptr ? units_->currentText() : QString());
  } else if (rc != CALC_REFUSED) {
    reject();
  }
}

// ---------------------------------------------------------------------------
// Graph

CGraph::CGraph(const CNonLinearData& record, QWidget* parent) : QWidget(parent), data_(record) {
  WithControlId(this, IDC_GRAPH);
}

void CGraph::SetRanges(double xmin, double ymin, double xmax, double ymax) {
  xmin_ = xmin;
  ymin_ = ymin;
  xmax_ = xmax > xmin ? xmax : xmin + 1.0;
  ymax_ = ymax > ymin ? ymax : ymin + 1.0;
}

QPointF CGraph::Map(double x, double y) const {
  const double w = width(), h = height();
  return {0.1 * w + (x - xmin_) * 0.8 * w / (xmax_ - xmin_), 0.9 * h - (y - ymin_) * 0.8 * h / (ymax_ - ymin_)};
}

QImage CGraph::Render() const {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter p(&image);
  const double w = width(), h = height();
  const auto at = [w, h](double fx, double fy) { return QPointF(fx * w, (1.0 - fy) * h); };
  p.setPen(QPen(Qt::yellow, 1));
  p.drawLine(at(0.1, 0.05), at(0.1, 0.95));
  p.drawLine(at(0.05, 0.1), at(0.95, 0.1));
  p.drawLine(at(0.05, 0.9), at(0.1, 0.9));
  p.drawLine(at(0.9, 0.05), at(0.9, 0.1));
  if (curve_ && data_.pointCount > 0) {
    QPolygonF line;
    for (int i = 0; i < data_.pointCount; ++i) {
      line << Map(data_.curveStart + i * data_.curveStep,
                  static_cast<double>(data_.volumeOffset) +
                      static_cast<double>(data_.volumeScale) * data_.table[static_cast<std::size_t>(i)]);
    }
    p.setPen(QPen(Qt::blue, 1));
    p.drawPolyline(line);
  }
  if (crossHair_) {
    p.setPen(QPen(Qt::red, 1));
    const double top = static_cast<double>(data_.volumeOffset) + static_cast<double>(data_.volumeScale) * 65535.0;
    p.drawLine(Map(crossX_, data_.volumeOffset), Map(crossX_, top));
    p.drawLine(Map(data_.curveStart, crossY_), Map(data_.curveStart + data_.pointCount * data_.curveStep, crossY_));
  }
  p.setBackgroundMode(Qt::TransparentMode);
  const auto centred = [&p](QPointF c, const QString& text) {
    const QRectF box = p.fontMetrics().boundingRect(text);
    p.drawText(QPointF(c.x() - box.width() / 2, c.y() + box.height() / 4), text);
  };
  p.setPen(Qt::yellow);
  centred(at(0.5, 0.05), xText_);
  centred(at(0.05, 0.5), yText_);
  p.setPen(Qt::magenta);
  centred(at(0.5, 0.95), title_);
  return image;
}

void CGraph::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

// ---------------------------------------------------------------------------
// Curve view

CViewCurve::CViewCurve(TANK_UI& ui, const QString& dimensionUnit, QWidget* parent)
    : CKitDialog(parent), ui_(ui), dimensionUnit_(dimensionUnit) {
  setWindowTitle(FromUtf8(ui_.data.curveCaption));
  resize(640, 480);
  const CURVE_AXES axes = SetUpCurve(ui_.data);
  level_ = WithControlId(new QSlider(Qt::Horizontal, this), IDC_LEVELSLIDER);
  volume_ = WithControlId(new QSlider(Qt::Vertical, this), IDC_VOLUMESLIDER);
  units_ = WithControlId(new QComboBox(this), IDC_VOLUMEUNITS);
  dimUnitText_ = WithControlId(new QLabel(dimensionUnit_, this), IDC_DIMUNIT);
  volumeUnitText_ = WithControlId(new QLabel(this), IDC_VOLUMEUNIT);
  auto* csv =
      Button(this, IDC_EXPORTCSV, LanguageTextOr(ui_.language, ui_.settings, "IDC_EXPORTCSV", "&Export CSV..."));
  auto* print =
      Button(this, IDC_PRINTTABLE, LanguageTextOr(ui_.language, ui_.settings, "IDC_PRINTTABLE", "&Print Table..."));
  auto* close = Button(this, RESULT_OK, ui_.Text("IDOK"));
  graph_ = new CGraph(ui_.data, this);
  graph_->SetTitle(FromUtf8(ui_.data.curveCaption));
  graph_->SetRanges(axes.xmin, axes.ymin, axes.xmax, axes.ymax);
  graph_->SetCurve(true);
  graph_->SetCrossHair(true);  // the user sees where the sliders are
  graph_->SetXText(QString::asprintf("%3.5f", ui_.data.curveStart));
  graph_->SetYText(QString::asprintf("%3.5f", static_cast<double>(ui_.data.volumeOffset)));
  level_->setRange(0, ui_.data.maxRawLevel);
  level_->setValue(0);
  volume_->setRange(0, 0xFFFF);
  volume_->setValue(0xFFFF);
  volume_->setInvertedAppearance(true);
  const MODEL_DEFINITION& m = ui_.tables.model;
  for (int i = 0; i < std::min(m.volumeUnitsCount, kMaxUnits); ++i) {
    units_->addItem(FromUtf8(m.volumeUnitNames[static_cast<std::size_t>(i)]));
  }
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(dimUnitText_);
  bottom->addWidget(units_);
  bottom->addWidget(volumeUnitText_);
  bottom->addStretch();
  bottom->addWidget(csv);
  bottom->addWidget(print);
  bottom->addWidget(close);
  auto* middle = new QHBoxLayout;
  middle->addWidget(volume_);
  middle->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(middle, 1);
  layout->addWidget(level_);
  layout->addLayout(bottom);
  connect(units_, &QComboBox::currentIndexChanged, this, &CViewCurve::OnVolumeUnit);
  connect(level_, &QSlider::valueChanged, this, &CViewCurve::OnLevelSlider);
  connect(volume_, &QSlider::valueChanged, this, &CViewCurve::OnVolumeSlider);
  connect(close, &QPushButton::clicked, this, &CViewCurve::accept);
  connect(csv, &QPushButton::clicked, this, [this] {
    const QString name = SaveFileName(this, LanguageTextOr(ui_.language, ui_.settings, "TANK_MESSAGE5", "Export CSV"),
                                      QString::fromStdString((ui_.drawings / "StrappingTable.csv").string()),
                                      QStringLiteral("CSV (*.csv)"));
    if (!name.isEmpty() && !ExportCsv(name.toStdString())) {
      ui_.calculate.messages.Show(Format(ui_.Text("TANK_MESSAGE4").toStdString(), name.toStdString()), MB_ERROR);
    }
  });
  connect(print, &QPushButton::clicked, this, [this] {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) {
      QTextDocument doc;
      doc.setHtml(TableHtml());
      doc.print(&printer);
    }
  });
  if (units_->count() > 0) {
    units_->setCurrentIndex(0);
    OnVolumeUnit(0);
  }
  PlaceGraph();
}

void CViewCurve::PlaceGraph() {
  const int left = volume_->geometry().right() + 10;
  const int top = 10;
  graph_->setGeometry(left, top, std::max(10, width() - 10 - left), std::max(10, level_->geometry().top() - 10 - top));
}

void CViewCurve::resizeEvent(QResizeEvent* e) {
  CKitDialog::resizeEvent(e);
  layout()->activate();
  PlaceGraph();
}

void CViewCurve::OnVolumeUnit(int index) {
  const MODEL_DEFINITION& m = ui_.tables.model;
  if (index < 0 || index >= std::min(m.volumeUnitsCount, kMaxUnits)) {
    return;
  }
  const double f = index < m.volumeConvCount ? m.volumeFactors[static_cast<std::size_t>(index)] : 1.0;
  ui_.data.SetVolumeUnit(f);
  volumeUnitText_->setText(FromUtf8(m.volumeUnitNames[static_cast<std::size_t>(index)]));
  Refresh(FromHorizontalSlider(ui_.data, level_->value()));
}

void CViewCurve::OnLevelSlider(int position) {
  if (moving_) {
    return;
  }
  const CURVE_POINT p = FromHorizontalSlider(ui_.data, position);
  moving_ = true;
  volume_->setValue(p.verticalSlider);
  moving_ = false;
  Refresh(p);
}

void CViewCurve::OnVolumeSlider(int position) {
  if (moving_) {
    return;
  }
  const CURVE_POINT p = FromVerticalSlider(ui_.data, position);
  moving_ = true;
  level_->setValue(p.rawLevel);
  moving_ = false;
  Refresh(p);
}

void CViewCurve::Refresh(const CURVE_POINT& p) {
  const CURVE_READOUT r = ReadCurve(ui_.data, p);
  graph_->SetCrossHairPosition(r.crossX, r.crossY);
  graph_->SetXText(QString::fromStdString(r.levelText));
  graph_->SetYText(QString::fromStdString(r.volumeText));
  graph_->repaint();
}

bool CViewCurve::ExportCsv(const std::filesystem::path& path) {
  const std::string csv = StrappingCsv(ui_.data, dimensionUnit_.toStdString(), volumeUnitText_->text().toStdString());
  return WriteFileReplacing(path, csv);
}

QString CViewCurve::TableHtml() const {
  QString html = "<h3>" + FromUtf8(ui_.data.curveCaption).toHtmlEscaped() + "</h3><table border=1 cellpadding=3>";
  html += "<tr><th>Level (" + dimensionUnit_.toHtmlEscaped() + ")</th><th>Volume (" +
          volumeUnitText_->text().toHtmlEscaped() + ")</th></tr>";
  for (const STRAPPING_ROW& row : StrappingTable(ui_.data)) {
    html += QString("<tr><td align=right>%1</td><td align=right>%2</td></tr>")
                .arg(row.level, 0, 'f', 3)
                .arg(row.volume, 0, 'f', 4);
  }
  return html + "</table>";
}

// ---------------------------------------------------------------------------
// The form's Tank Shapes button

TANK_CHOICE ChooseTankStructure(TANK_UI& ui, QWidget* parent, double heightFactor) {
  TANK_CHOICE choice;
  const QString caption =
      ui.tables.model.nonLinearButton.empty() ? ui.Text("IDD_NONLINEAR") : FromUtf8(ui.tables.model.nonLinearButton);
  auto busy = std::make_unique<CBusyWindow>(ui.language, ui.settings, nullptr);
  busy->SetMessage("");
  busy->SetProgress(0);
  busy->show();
  CNonLinear2 picker(ui, caption, parent);
  busy.reset();  // the picker is built
  picker.exec();
  if (picker.Closing() == PICKER_CANCEL) {
    ui.calculate.messages.Show(ui.Text("ERROR_MESSAGE72").toStdString(), MB_ERROR);
    choice.cancelled = true;
    choice.structureOn = ui.data.On() && ui.data.structureType != -1;
    return choice;
  }
  std::int16_t type = picker.ChosenType();
  if (picker.Closing() != PICKER_RESET && type != -1) {
    if (!LoadStructureDefinition(ui.models, ui.tables, type, ui.data)) {
      ui.calculate.messages.Show(Format(ui.Text("TANK_MESSAGE2").toStdString(), static_cast<int>(type)), MB_ERROR);
      type = -1;
    }
  }
  ui.data.structureType = type;
  if (type != -1) {
    CDimensionForm form(ui, parent);
    if (form.exec() != RESULT_OK) {
      ui.data.structureType = -1;
    }
  }
  if (ui.data.structureType == -1) {
    ui.data.SetOn(false);
    choice.structureOn = false;
    return choice;
  }
  choice.structureOn = true;
  choice.heights = HeightsFromResults(ui.data, heightFactor);
  return choice;
}

}  // namespace tolvane::geometry

namespace tolvane::geometry {

std::unique_ptr<IBusyWindow> CQtBusyWindows::OpenBusyWindow() {
  auto window = std::make_unique<CBusyWindow>(language_, settings_, nullptr);
  window->show();
  return window;
}

CFormTank::CFormTank(CModelFile& models, MODEL_TABLES& tables, const CLanguageFile& language,
                     const APP_SETTINGS& settings, const std::filesystem::path& bitmaps,
                     const std::filesystem::path& drawings, const std::filesystem::path& components,
                     IMessageBox& messages, IClock& clock)
    : loader_(components),
      busy_(language, settings),
      volume_(data_, tables.model),
      ui_{models,   tables,
          data_,    language,
          settings, bitmaps,
          drawings, CALCULATE_CONTEXT{loader_, busy_, messages, language, settings.languageNumber, clock, true}} {}

}  // namespace tolvane::geometry

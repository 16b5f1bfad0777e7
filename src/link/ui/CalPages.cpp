#include "link/ui/CalPages.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "link/PageText.h"

namespace tolvane::link {

CCalPages::CCalPages(const std::array<PageImage, kPageCount>& pages, const CLanguageFile& language,
                     const APP_SETTINGS& settings, const std::string& caption, QWidget* parent)
    : CKitDialog(parent),
      pages_(pages),
      integer_(WithControlId(new QRadioButton(this), IDC_INTEGERDISP)),
      hex_(WithControlId(new QRadioButton(this), IDC_HEXDISP)),
      edit_(WithControlId(new QPlainTextEdit(this), IDC_PAGETEXT)) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(FromUtf8(caption));

  const std::pair<int, const char*> buttons[kPageCount] = {
      {IDC_CUSTDP, "IDC_CUSTDP"}, {IDC_FACTDP, "IDC_FACTDP"}, {IDC_HISTDP, "IDC_HISTDP"}, {IDC_OCMDP, "IDC_OCMDP"}};
  auto* pageGroup = new QButtonGroup(this);
  auto* pageRow = new QHBoxLayout;
  for (int i = 0; i < kPageCount; ++i) {
    auto* b =
        WithControlId(new QRadioButton(LanguageText(language, settings, buttons[i].second), this), buttons[i].first);
    pageButtons_[static_cast<std::size_t>(i)] = b;
    pageGroup->addButton(b);
    pageRow->addWidget(b);
    connect(b, &QRadioButton::clicked, this, [this, i] { ShowPage(i); });
  }
  pageRow->addStretch(1);

  integer_->setText(LanguageText(language, settings, "IDC_INTEGERDISP"));
  hex_->setText(LanguageText(language, settings, "IDC_HEXDISP"));
  auto* formatGroup = new QButtonGroup(this);
  formatGroup->addButton(integer_);
  formatGroup->addButton(hex_);
  for (QRadioButton* b : {integer_, hex_}) {
    connect(b, &QRadioButton::clicked, this, [this] { ShowPage(shown_); });
  }
  auto* formatRow = new QHBoxLayout;
  formatRow->addWidget(integer_);
  formatRow->addWidget(hex_);
  formatRow->addStretch(1);

  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The edit's own font with a fixed pitch, so the columns of the rows line
  // up; the desktop's monospace family when it names one.
  QFont fixed = edit_->font();
  const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setFamilies({system.family(), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setFixedPitch(true);
  edit_->setFont(fixed);
  const QFontMetrics metrics(fixed);
  edit_->setMinimumSize(metrics.horizontalAdvance(QString(72, QLatin1Char('0'))) + 40, metrics.lineSpacing() * 24);

  auto* ok = WithControlId(new QPushButton(LanguageText(language, settings, "IDOK"), this), IDC_OK);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CCalPages::accept);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch(1);
  okRow->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 12);
  layout->addLayout(pageRow);
  layout->addLayout(formatRow);
  layout->addWidget(edit_, 1);
  layout->addLayout(okRow);

  pageButtons_[PAGE_CUSTOMER]->setChecked(true);
  ShowPage(PAGE_CUSTOMER);
}

void CCalPages::ShowPage(int index) {
  if (index < 0 || index >= kPageCount) {
    return;
  }
  shown_ = index;
  if (!integer_->isChecked() && !hex_->isChecked()) {
    integer_->setChecked(true);
  }
  const PageImage& page = pages_[static_cast<std::size_t>(index)];
  text_ = hex_->isChecked() ? FormatPageHex(page) : FormatPageWords(page);
  // The edit keeps its lines with line feeds; the rows end in CR LF.
  QString shown = FromUtf8(text_);
  shown.remove(QLatin1Char('\r'));
  if (shown.endsWith(QLatin1Char('\n'))) {
    shown.chop(1);
  }
  edit_->setPlainText(shown);
  edit_->verticalScrollBar()->setValue(0);
}

}  // namespace tolvane::link

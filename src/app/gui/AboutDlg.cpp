#include "app/gui/AboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/ProgramIcon.h"
#include "common/CheckedFormat.h"

namespace tolvane {

QString AboutItemText(const CLanguageFile& language, const APP_SETTINGS& settings) {
  return LanguageTextOr(language, settings, "IDM_ABOUTBOX", kAboutItem);
}

CAboutDlg::CAboutDlg(const CLanguageFile& language, const APP_SETTINGS& settings, const std::string& programId,
                     QWidget* parent)
    : CKitDialog(parent) {
  WithControlId(this, IDD);
  const std::string name = programId.empty() ? std::string("Tolvane") : programId;
  auto text = [&](const char* key, const char* fallback, auto&&... args) {
    return FromUtf8(Format(LanguageTextOr(language, settings, key, fallback).toStdString(), args...));
  };
  setWindowTitle(text("IDD_ABOUTBOX", "About %s", name));

  auto* icon = WithControlId(new QLabel(this), IDC_ICON);
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  auto* version = WithControlId(new QLabel(this), IDC_VERSION);
  version->setTextFormat(Qt::PlainText);
  version->setText(text("IDC_VERSION", "%s Version %s", name, std::string(TOLVANE_VERSION)));
  QFont bold = version->font();
  bold.setBold(true);
  version->setFont(bold);
  auto* copyright = WithControlId(new QLabel(this), IDC_COPYRIGHT);
  copyright->setTextFormat(Qt::PlainText);
  copyright->setText(LanguageText(language, settings, "IDC_COPYRIGHT2"));
  auto* ok = WithControlId(new QPushButton(LanguageText(language, settings, "IDOK"), this), IDC_OK);
  ok->setDefault(true);
  ok->setMinimumWidth(fontMetrics().averageCharWidth() * 12);
  connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(6);
  texts->addWidget(version);
  texts->addWidget(copyright);
  texts->addStretch(1);
  auto* body = new QHBoxLayout;
  body->setSpacing(16);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(14);
  layout->addLayout(body);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tolvane

#include "DialogTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "shell/ui/DialogSupport.h"

namespace tolvane::test {

const CLanguageFile& ShippedLanguage() {
  static const CLanguageFile language = [] {
    CLanguageFile file(std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
    EXPECT_EQ(file.Load("Tolvane_Language.txt"), 0);
    return file;
  }();
  return language;
}

void WhenModalOpens(std::function<void(QDialog&)> action) {
  auto* poll = new QTimer(qApp);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  poll->setInterval(1);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, action = std::move(action)] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->isVisible()) {
      poll->stop();
      poll->deleteLater();
      action(*dialog);
    } else if (std::chrono::steady_clock::now() > deadline) {
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no modal dialog opened";
    }
  });
  poll->start();
}

void ClickControl(QWidget& dialog, int id) {
  auto* button = FindControlAs<QAbstractButton>(&dialog, id);
  if (button == nullptr || !button->isVisible()) {
    ADD_FAILURE() << "no visible button " << id;
    // Close the dialog all the same, so that the test ends.
    if (auto* modal = qobject_cast<QDialog*>(&dialog)) {
      modal->done(-1);
    }
    return;
  }
  button->click();
}

QString ControlText(QWidget& dialog, int id) {
  QWidget* control = FindControl(&dialog, id);
  if (auto* label = qobject_cast<QLabel*>(control)) {
    return label->text();
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    return button->text();
  }
  if (auto* edit = qobject_cast<QTextEdit*>(control)) {
    return edit->toPlainText();
  }
  ADD_FAILURE() << "no text control " << id;
  return {};
}

void Snapshot(QWidget& window, const std::string& name) {
  const QByteArray folder = qgetenv("TOLVANE_DIALOG_SHOTS");
  if (folder.isEmpty()) {
    return;
  }
  QDir().mkpath(QString::fromLocal8Bit(folder));
  const QString file = QString::fromLocal8Bit(folder) + QLatin1Char('/') + QString::fromStdString(name) + ".png";
  EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
}

}  // namespace tolvane::test

// Qt's own texts follow the run's language: the standard buttons of a
// button box (as in the file dialogs and the desktop's message boxes) read
// German in the German column and English again in the English one.
#include "shell/ui/QtTranslations.h"

#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

QString CancelText() {
  QDialogButtonBox box(QDialogButtonBox::Cancel);
  return box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
}

TEST(QtTranslations, StandardButtonsFollowTheLanguageColumn) {
  CQtTranslations texts;
  EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
  ASSERT_TRUE(texts.Apply(1)) << "Qt's German translation is missing (qt6-translations-l10n)";
  EXPECT_EQ(CancelText(), QStringLiteral("Abbrechen"));
  EXPECT_TRUE(texts.Apply(0));
  EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
  // Applying twice installs one translation, and its end takes it away.
  {
    CQtTranslations again;
    ASSERT_TRUE(again.Apply(1));
    ASSERT_TRUE(again.Apply(1));
    EXPECT_EQ(CancelText(), QStringLiteral("Abbrechen"));
  }
  EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

TEST(QtTranslations, AFolderWithoutTheTranslationKeepsQtsEnglish) {
  test::TempDir empty;
  CQtTranslations texts(QString::fromStdString(empty.path().string()));
  EXPECT_FALSE(texts.Apply(1));
  EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace tolvane

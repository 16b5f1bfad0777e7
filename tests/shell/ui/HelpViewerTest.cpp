#include "shell/ui/HelpViewer.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "shell/GuideProcedure.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

const std::filesystem::path kHelp = TOLVANE_HELP_DIR;

std::string MainPath(const std::string& topic) { return (kHelp / "Tolvane.chm").string() + "::/" + topic; }
std::string ModelPath(const std::string& topic) { return (kHelp / "QR27.chm").string() + "::/" + topic; }

class HelpViewerTest : public ::testing::Test {
 protected:
  CHelpViewer& Viewer() {
    EXPECT_NE(service_.Viewer(), nullptr);
    return *service_.Viewer();
  }
  QString PageText() { return Viewer().Browser().toPlainText(); }
  QAbstractButton* Button(int id) { return FindControlAs<QAbstractButton>(&Viewer(), id); }

  // Where the first link on the page that leads to `href` is, in the
  // viewer's coordinates (scrolled into view).
  QPoint LinkPoint(const QString& href) {
    QTextBrowser& browser = Viewer().Browser();
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.charFormat().anchorHref() != href) {
          continue;
        }
        QTextCursor cursor(browser.document());
        cursor.setPosition(fragment.position() + fragment.length() / 2);
        browser.setTextCursor(cursor);
        browser.ensureCursorVisible();
        return browser.viewport()->mapTo(&Viewer(), browser.cursorRect(cursor).center());
      }
    }
    ADD_FAILURE() << "no link to " << href.toStdString();
    return {};
  }

  // Clicks the first link on the page that leads to `href`, as a user does.
  void ClickLink(const QString& href) {
    const QPoint at = LinkPoint(href);
    QWidget* viewport = Viewer().Browser().viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(&Viewer(), at));
  }

  APP_SETTINGS settings_;
  test::RecordingMessages box_;
  CHelpViewerService service_{test::ShippedLanguage(), settings_, box_};
};

TEST_F(HelpViewerTest, OpensTheTopicOfAHelpPath) {
  service_.ShowHelp(MainPath("WRITE_TO_UNIT.htm"));
  CHelpViewer& viewer = Viewer();
  EXPECT_TRUE(viewer.isVisible());
  EXPECT_FALSE(viewer.isModal());
  // No window to open over: in the middle of the screen, not at its top left.
  const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((viewer.frameGeometry().center() - middle).manhattanLength(), 4)
      << viewer.frameGeometry().center().x() << "," << viewer.frameGeometry().center().y();
  EXPECT_EQ(viewer.CurrentTopic(), "WRITE_TO_UNIT.htm");
  EXPECT_EQ(viewer.CurrentFile(), std::filesystem::weakly_canonical(kHelp / "Tolvane.chm"));
  EXPECT_TRUE(PageText().contains(QStringLiteral("puts the configuration on the form into the connected")));
  EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Write to Unit - Tolvane Help"));
  EXPECT_TRUE(box_.shown.empty());

  // The stylesheet of the help file reached the page: headings in its colour.
  const QTextBlock heading = viewer.Browser().document()->findBlock(0).next();
  EXPECT_EQ(heading.text(), QStringLiteral("Write to Unit"));
  EXPECT_EQ(heading.charFormat().foreground().color(), QColor(0x0b, 0x4f, 0x71));
  test::Snapshot(viewer, "help_viewer");

  // The same window serves the next request.
  service_.ShowHelp(ModelPath("QR27_RELAYS.htm"));
  EXPECT_EQ(&Viewer(), &viewer);
  EXPECT_EQ(viewer.CurrentTopic(), "QR27_RELAYS.htm");
  EXPECT_EQ(viewer.windowTitle(), QStringLiteral("QR27: Relay 1 and Relay 2 Function - QR27 Help"));
  test::Snapshot(viewer, "help_viewer_model");
}

TEST_F(HelpViewerTest, LinksBackForwardAndHome) {
  service_.ShowHelp(MainPath("WRITE_TO_UNIT.htm"));
  QAbstractButton* back = Button(CHelpViewer::IDC_BACK);
  QAbstractButton* forward = Button(CHelpViewer::IDC_FORWARD);
  ASSERT_NE(back, nullptr);
  ASSERT_NE(forward, nullptr);
  EXPECT_FALSE(back->isEnabled());
  EXPECT_FALSE(forward->isEnabled());

  ClickLink(QStringLiteral("TANK_LEVELS_GROUP.htm"));
  test::Snapshot(Viewer(), "help_viewer_levels");
  EXPECT_EQ(Viewer().CurrentTopic(), "TANK_LEVELS_GROUP.htm");
  EXPECT_TRUE(PageText().contains(QStringLiteral("Sensor height")));
  EXPECT_TRUE(back->isEnabled());

  back->click();
  EXPECT_EQ(Viewer().CurrentTopic(), "WRITE_TO_UNIT.htm");
  EXPECT_TRUE(forward->isEnabled());
  forward->click();
  EXPECT_EQ(Viewer().CurrentTopic(), "TANK_LEVELS_GROUP.htm");
  EXPECT_FALSE(forward->isEnabled());

  Button(CHelpViewer::IDC_HOME)->click();
  EXPECT_EQ(Viewer().CurrentTopic(), "GETTING_STARTED.htm");
  EXPECT_EQ(Viewer().windowTitle(), QStringLiteral("Getting started - Tolvane Help"));
  test::Snapshot(Viewer(), "help_viewer_start");
}

// The main window runs modally, and a modal window blocks the input of every
// window that is not its own: the help window must not be one of those.
TEST_F(HelpViewerTest, TheHelpWindowTakesClicksWhileAModalWindowRuns) {
  QDialog main;
  std::string after;
  test::WhenModalOpens([&](QDialog& dialog) {
    service_.ShowHelp(MainPath("WRITE_TO_UNIT.htm"));
    CHelpViewer& viewer = Viewer();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    // Through the window, as the window system delivers a click.
    QTest::mouseClick(viewer.windowHandle(), Qt::LeftButton, {}, LinkPoint(QStringLiteral("TANK_LEVELS_GROUP.htm")));
    after = viewer.CurrentTopic();
    dialog.done(0);
  });
  main.exec();
  EXPECT_EQ(after, "TANK_LEVELS_GROUP.htm");
}

TEST_F(HelpViewerTest, ALinkIntoTheMainFileAndBack) {
  service_.ShowHelp(ModelPath("QR27_LEVELS.htm"));
  ClickLink(QStringLiteral("ms-its:Tolvane.chm::/TANK_LEVELS_GROUP.htm"));
  EXPECT_EQ(Viewer().CurrentFile(), std::filesystem::weakly_canonical(kHelp / "Tolvane.chm"));
  EXPECT_EQ(Viewer().CurrentTopic(), "TANK_LEVELS_GROUP.htm");
  // Home is the start page of the file shown.
  Button(CHelpViewer::IDC_HOME)->click();
  EXPECT_EQ(Viewer().CurrentTopic(), "GETTING_STARTED.htm");
  Button(CHelpViewer::IDC_BACK)->click();
  Button(CHelpViewer::IDC_BACK)->click();
  EXPECT_EQ(Viewer().CurrentFile(), std::filesystem::weakly_canonical(kHelp / "QR27.chm"));
  EXPECT_EQ(Viewer().CurrentTopic(), "QR27_LEVELS.htm");
  Button(CHelpViewer::IDC_HOME)->click();
  EXPECT_EQ(Viewer().CurrentTopic(), "QR27_OVERVIEW.htm");
}

TEST_F(HelpViewerTest, TheContentsPaneFollowsTheFileAndThePage) {
  service_.ShowHelp(MainPath("WRITE_TO_UNIT.htm"));
  auto* contents = FindControlAs<QTreeWidget>(&Viewer(), CHelpViewer::IDC_CONTENTS);
  ASSERT_NE(contents, nullptr);
  EXPECT_TRUE(contents->isVisible());
  ASSERT_EQ(contents->topLevelItemCount(), 15);  // with the three tank shape pages
  EXPECT_EQ(contents->topLevelItem(0)->text(0), QStringLiteral("Getting started"));
  ASSERT_NE(contents->currentItem(), nullptr);
  EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("Write to Unit"));

  // A click on an entry opens its page.
  QTreeWidgetItem* print = contents->findItems(QStringLiteral("Print Config File"), Qt::MatchExactly).value(0);
  ASSERT_NE(print, nullptr);
  contents->scrollToItem(print);
  QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, contents->visualItemRect(print).center());
  EXPECT_EQ(Viewer().CurrentTopic(), "PRINT_CONFIG.htm");
  EXPECT_EQ(contents->currentItem(), print);

  // Another file, its own contents.
  service_.ShowHelp(ModelPath("QR27_RELAYS.htm"));
  ASSERT_EQ(contents->topLevelItemCount(), 10);
  EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("QR27: Relay 1 and Relay 2 Function"));
  Button(CHelpViewer::IDC_BACK)->click();
  EXPECT_EQ(contents->topLevelItemCount(), 15);
  test::Snapshot(Viewer(), "help_viewer_contents");
}

TEST_F(HelpViewerTest, FindsTextOnThePage) {
  service_.ShowHelp(MainPath("WRITE_TO_UNIT.htm"));
  CHelpViewer& viewer = Viewer();
  auto* bar = FindControl(&viewer, CHelpViewer::IDC_FINDBAR);
  auto* text = FindControlAs<QLineEdit>(&viewer, CHelpViewer::IDC_FINDTEXT);
  auto* status = FindControlAs<QLabel>(&viewer, CHelpViewer::IDC_FINDSTATUS);
  ASSERT_NE(bar, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_FALSE(bar->isVisible());

  viewer.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
  QTest::keyClick(&viewer.Browser(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(bar->isVisible());
  QTest::keyClicks(text, QStringLiteral("sensor"));
  QTest::keyClick(text, Qt::Key_Return);
  QTextCursor first = viewer.Browser().textCursor();
  EXPECT_EQ(first.selectedText().toLower(), QStringLiteral("sensor"));

  Button(CHelpViewer::IDC_FINDNEXT)->click();
  const QTextCursor second = viewer.Browser().textCursor();
  EXPECT_EQ(second.selectedText().toLower(), QStringLiteral("sensor"));
  EXPECT_GT(second.position(), first.position());
  Button(CHelpViewer::IDC_FINDPREVIOUS)->click();
  EXPECT_EQ(viewer.Browser().textCursor().position(), first.position());
  // Backwards from the first match goes round to the last one on the page.
  Button(CHelpViewer::IDC_FINDPREVIOUS)->click();
  EXPECT_GT(viewer.Browser().textCursor().position(), second.position());
  EXPECT_TRUE(status->text().isEmpty());

  text->setText(QStringLiteral("flux capacitor"));
  EXPECT_FALSE(viewer.FindNext(false));
  EXPECT_EQ(status->text(), QStringLiteral("Not found on this page"));
  test::Snapshot(viewer, "help_viewer_find");

  Button(CHelpViewer::IDC_FINDCLOSE)->click();
  EXPECT_FALSE(bar->isVisible());
}

TEST_F(HelpViewerTest, AMissingFileOrPageIsToldNotShown) {
  service_.ShowHelp((kHelp / "QR99.chm").string() + "::/QR99_LEVELS.htm");
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].second, MB_ERROR);
  EXPECT_TRUE(box_.shown[0].first.find((kHelp / "QR99.chm").string()) != std::string::npos) << box_.shown[0].first;
  ASSERT_NE(service_.Viewer(), nullptr);
  EXPECT_FALSE(Viewer().isVisible());

  // A file that is not a help file.
  test::TempDir dir;
  test::WriteBytes(dir / "Broken.chm", "ITSF but not really");
  service_.ShowHelp((dir / "Broken.chm").string() + "::/GETTING_STARTED.htm");
  EXPECT_EQ(box_.shown.size(), 2u);

  // A page the file does not have: said, and the start page shown.
  service_.ShowHelp(MainPath("QR27_LEVELS.htm"));
  ASSERT_EQ(box_.shown.size(), 3u);
  EXPECT_EQ(box_.shown[2].first,
            "The help file Tolvane.chm has no page QR27_LEVELS.htm. Its start page is shown instead.");
  EXPECT_TRUE(Viewer().isVisible());
  EXPECT_EQ(Viewer().CurrentTopic(), "GETTING_STARTED.htm");

  // No topic: the start page, without a word.
  service_.ShowHelp(MainPath(""));
  EXPECT_EQ(box_.shown.size(), 3u);
  EXPECT_EQ(Viewer().CurrentTopic(), "GETTING_STARTED.htm");

  // A link to a page that is not there shows a page that says so.
  Viewer().Browser().setSource(QUrl(QStringLiteral("NOT_THERE.htm")));
  EXPECT_TRUE(PageText().contains(QStringLiteral("This page is not in the help file")));
}

TEST_F(HelpViewerTest, PagesReadNothingButTheHelpFiles) {
  service_.ShowHelp(MainPath("GETTING_STARTED.htm"));
  CHelpBrowser& browser = Viewer().Browser();
  EXPECT_FALSE(browser.loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("chm://f0/style.css")))
                   .toString()
                   .isEmpty());
  EXPECT_FALSE(browser.loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(QStringLiteral("/etc/hostname")))
                   .isValid());
  EXPECT_FALSE(browser.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm://f7/x.png"))).isValid());
  // A picture wider than the page comes smaller; a small one as it is.
  const QVariant wide =
      browser.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm://f0/images/help_viewer.png")));
  ASSERT_EQ(wide.typeId(), QMetaType::QImage);
  EXPECT_EQ(wide.value<QImage>().width(), 620);
  QImage small;
  ASSERT_TRUE(small.loadFromData(
      browser.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm://f0/images/busy_window.png")))
          .toByteArray()));
  EXPECT_LT(small.width(), 620);
  // A link that climbs out of the help folder is not followed.
  const std::string before = Viewer().CurrentTopic();
  browser.setSource(QUrl(QStringLiteral("ms-its:../Models/Corporate_Model::/x.htm")));
  EXPECT_EQ(Viewer().CurrentTopic(), before);
}

TEST_F(HelpViewerTest, CaptionsComeFromTheLanguageFile) {
  settings_.languageNumber = 1;
  service_.ShowHelp(MainPath("DEMO.htm"));
  EXPECT_EQ(Button(CHelpViewer::IDC_BACK)->text(), QStringLiteral("Zurück"));
  EXPECT_EQ(Button(CHelpViewer::IDC_HOME)->text(), QStringLiteral("Startseite"));
  EXPECT_EQ(Button(CHelpViewer::IDC_FINDNEXT)->text(), QStringLiteral("Weiter"));
}

// The guide document the build writes into the help folder, where the
// guide prompt looks for it under the name the portable tree gives GFILE.
TEST(QuickStartGuide, IsAWholePdfInTheHelpFolder) {
  const std::filesystem::path guide = GuideDocumentPath(kHelp, "Tolvane Quick Start Guide.pdf");
  ASSERT_FALSE(guide.empty());
  const std::string bytes = test::ReadBytes(guide);
  ASSERT_GT(bytes.size(), 4096u);
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  EXPECT_NE(bytes.find("%%EOF", bytes.size() - 16), std::string::npos);
}

}  // namespace
}  // namespace tolvane

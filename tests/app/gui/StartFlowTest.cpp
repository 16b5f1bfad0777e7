// The start dialog's and the main window's decisions, without windows.
#include "app/gui/StartFlow.h"

#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

std::string Texts(const char* key) {
  const std::string k(key);
  if (k == "ERROR_MESSAGE117") return "No model file.\n";
  if (k == "ERROR_MESSAGE119") return "Hardware type: %s\nFirmware name: %s";
  if (k == "IDC_START_STATUS2") return "No adapter; run %s without a unit.";
  if (k == "IDC_START_STATUS3") return "Cannot connect (error %d).";
  if (k == "IDC_START_STATUS4") return "Connecting through %s...";
  return "?";
}

TEST(StartFlow, AdapterCountsAndTheirTexts) {
  EXPECT_EQ(ClassifyAdapters(-1), AdapterOutcome::Unsupported);
  EXPECT_EQ(ClassifyAdapters(-7), AdapterOutcome::Unsupported);
  EXPECT_EQ(ClassifyAdapters(0), AdapterOutcome::NoAdapter);
  EXPECT_EQ(ClassifyAdapters(1), AdapterOutcome::One);
  EXPECT_EQ(ClassifyAdapters(2), AdapterOutcome::Choose);
  EXPECT_EQ(NoAdapterText(Texts, "Tolvane"), "No adapter; run Tolvane without a unit.");
  EXPECT_EQ(ConnectFailedText(Texts, -3), "Cannot connect (error -3).");
  EXPECT_EQ(ConnectingText(Texts, "Quenby USB Device"), "Connecting through Quenby USB Device...");
  // A description with a percent sign is a value, never a pattern.
  EXPECT_EQ(ConnectingText(Texts, "Dev %s %n"), "Connecting through Dev %s %n...");
}

struct Case {
  int identified;
  bool modelMissing;
  bool kestrine;
  int answer;  // to "Would you like to exit"
  bool openForms;
  bool endDialog;
  std::size_t messages;
  std::size_t questions;
};

TEST(StartFlow, WhatFollowsTheIdentification) {
  const Case cases[] = {
      // identified: the main window, nothing asked
      {1, false, true, RESULT_YES, true, false, 0, 0},
      // a read error (already shown): the attempt stops, unless the service mode says No
      {0, false, false, RESULT_YES, false, false, 0, 0},
      {0, false, true, RESULT_YES, false, false, 0, 1},
      {0, false, true, RESULT_NO, true, false, 0, 1},
      // no model file: message and end, or with No the main window and then the end
      {0, true, false, RESULT_NO, false, true, 1, 0},
      {0, true, true, RESULT_YES, false, true, 1, 1},
      {0, true, true, RESULT_NO, true, true, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "identified " << c.identified << " missing " << c.modelMissing << " kestrine "
                                    << c.kestrine << " answer " << c.answer);
    test::RecordingMessages messages;
    test::RecordingMessages question;
    question.answer = c.answer;
    IDENTIFY_RESULT result;
    result.modelMissing = c.modelMissing;
    result.hardwareType = "ZX90";
    result.modelName = "ZX90-LVL";
    const ATTEMPT_DECISION d = AfterIdentification(c.identified, result, c.kestrine, Texts, messages, question);
    EXPECT_EQ(d.openForms, c.openForms);
    EXPECT_EQ(d.endDialog, c.endDialog);
    ASSERT_EQ(messages.shown.size(), c.messages);
    ASSERT_EQ(question.shown.size(), c.questions);
    if (c.messages > 0) {
      EXPECT_EQ(messages.shown[0].first, "No model file.\nHardware type: ZX90\nFirmware name: ZX90-LVL");
      EXPECT_EQ(messages.shown[0].second, 0x30u);
    }
    if (c.questions > 0) {
      EXPECT_EQ(question.shown[0].first, "Would you like to exit");
      EXPECT_EQ(question.shown[0].second, MB_YESNO);
    }
  }
}

TEST(StartFlow, CaptionHasOneDemonstrationSuffix) {
  EXPECT_EQ(MainFormCaption("Tolvane 5.0.0", false, "Sample"), "Tolvane 5.0.0");
  const std::string once = MainFormCaption("Tolvane 5.0.0", true, "Sample Program - no unit connected");
  EXPECT_EQ(once, "Tolvane 5.0.0 - Sample Program - no unit connected");
  // Built from the title each time: a second demonstration run looks the same.
  EXPECT_EQ(MainFormCaption("Tolvane 5.0.0", true, "Sample Program - no unit connected"), once);
  // The text is a value, not a pattern.
  EXPECT_EQ(MainFormCaption("T", true, "100%"), "T - 100%");
}

TEST(StartFlow, PagesInTabOrder) {
  const auto two = MainFormPages(false);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].id, kConfigurationPage);
  EXPECT_STREQ(two[0].captionKey, "IDD_GENERICFORM");
  EXPECT_EQ(two[1].id, kUpdatesPage);
  EXPECT_STREQ(two[1].captionKey, "IDD_UPDATEPROGRAM");
  const auto three = MainFormPages(true);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[2].id, kLiveDisplayPage);
  EXPECT_STREQ(three[2].captionKey, "IDD_BIGDISPLAY");
}

TEST(StartFlow, StartPageAndTheFirmwareOffer) {
  int offers = 0;
  auto accept = [&offers] {
    ++offers;
    return 1;
  };
  auto decline = [&offers] {
    ++offers;
    return 0;
  };

  APP_SETTINGS s;
  s.startPage = 0;
  EXPECT_EQ(DecideStartPage(s, false, accept), 1);
  EXPECT_TRUE(s.autoUpdate);
  EXPECT_EQ(s.startPage, 1);
  EXPECT_EQ(offers, 1);

  // Flag already set: no second offer; both are cleared, the stored page is kept for this opening.
  EXPECT_EQ(DecideStartPage(s, false, accept), 1);
  EXPECT_EQ(offers, 1);
  EXPECT_FALSE(s.autoUpdate);
  EXPECT_EQ(s.startPage, 0);

  // Demonstration: never offered.
  s.startPage = 1;
  EXPECT_EQ(DecideStartPage(s, true, accept), 1);
  EXPECT_EQ(offers, 1);
  EXPECT_FALSE(s.autoUpdate);
  EXPECT_EQ(s.startPage, 0);

  // Declined.
  EXPECT_EQ(DecideStartPage(s, false, decline), 0);
  EXPECT_EQ(offers, 2);
  EXPECT_FALSE(s.autoUpdate);
}

std::string StatusTexts(const char* key) {
  const std::string k(key);
  if (k == "STATUSBAR_ADAPTER") return "Adapter: %s";
  if (k == "STATUSBAR_NOADAPTER") return "No adapter";
  if (k == "STATUSBAR_UNIT") return "Unit: %s, serial no. %d";
  if (k == "STATUSBAR_NOUNIT") return "No unit";
  if (k == "STATUSBAR_DEMO") return "Demonstration mode";
  if (k == "STATUSBAR_FILE") return "File: %s";
  if (k == "STATUSBAR_NOFILE") return "No configuration file";
  if (k == "STATUSBAR_UNSAVED") return "%s - not saved";
  return "?";
}

TEST(StartFlow, StatusBarTextsFollowAdapterUnitAndFile) {
  MAIN_STATUS s;
  s.adapter = "Quenby USB Device";
  s.modelName = "QR27";
  s.serialNumber = 4711;
  MAIN_STATUS_TEXTS t = MainStatusTexts(StatusTexts, s);
  EXPECT_EQ(t.adapter, "Adapter: Quenby USB Device");
  EXPECT_EQ(t.unit, "Unit: QR27, serial no. 4711");
  EXPECT_EQ(t.file, "No configuration file");
  // A configuration made on the form is unsaved until a file holds it.
  s.configured = true;
  s.unsaved = true;
  EXPECT_EQ(MainStatusTexts(StatusTexts, s).file, "No configuration file - not saved");
  s.fileName = "Lift[0].txt";
  EXPECT_EQ(MainStatusTexts(StatusTexts, s).file, "File: Lift[0].txt - not saved");
  s.unsaved = false;
  EXPECT_EQ(MainStatusTexts(StatusTexts, s).file, "File: Lift[0].txt");
  // An incomplete configuration has nothing to save: no mark.
  s.configured = false;
  s.unsaved = true;
  EXPECT_EQ(MainStatusTexts(StatusTexts, s).file, "File: Lift[0].txt");
  // The adapter gone, no unit; the demonstration unit whatever was read before.
  s.adapterGone = true;
  s.modelName.clear();
  t = MainStatusTexts(StatusTexts, s);
  EXPECT_EQ(t.adapter, "No adapter");
  EXPECT_EQ(t.unit, "No unit");
  s.demonstration = true;
  s.modelName = "QR27";
  EXPECT_EQ(MainStatusTexts(StatusTexts, s).unit, "Demonstration mode");
}

TEST(StartFlow, WindowPlacementIsKeptAsTextAndBroughtOntoTheScreen) {
  const WINDOW_PLACEMENT p{-20, 35, 1200, 800};
  EXPECT_EQ(FormatPlacement(p), "-20,35,1200,800");
  const auto read = ParsePlacement("-20,35,1200,800");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->x, -20);
  EXPECT_EQ(read->y, 35);
  EXPECT_EQ(read->width, 1200);
  EXPECT_EQ(read->height, 800);
  for (const char* bad :
       {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,2,3,4", "1, 2,3,4", "1,2,3,4 ", "99999999999,2,3,4"}) {
    EXPECT_FALSE(ParsePlacement(bad).has_value()) << bad;
  }
  const SCREEN_AREA screen{0, 0, 1280, 720};
  // On the screen already: unchanged.
  WINDOW_PLACEMENT fitted = FitPlacement({100, 50, 900, 600}, screen, 400, 300);
  EXPECT_EQ(FormatPlacement(fitted), "100,50,900,600");
  // Larger than the screen (kept on a bigger one, or at a smaller scale): the screen's size.
  fitted = FitPlacement({-20, 35, 1900, 1000}, screen, 400, 300);
  EXPECT_EQ(FormatPlacement(fitted), "0,0,1280,720");
  // Off the screen's edge: moved back onto it whole.
  fitted = FitPlacement({1000, 600, 800, 400}, screen, 400, 300);
  EXPECT_EQ(FormatPlacement(fitted), "480,320,800,400");
  // Smaller than the window can be: its least size.
  fitted = FitPlacement({10, 10, 50, 40}, screen, 400, 300);
  EXPECT_EQ(FormatPlacement(fitted), "10,10,400,300");
  // A second screen to the left.
  fitted = FitPlacement({-1800, 100, 800, 600}, SCREEN_AREA{-1920, 0, 1920, 1080}, 400, 300);
  EXPECT_EQ(FormatPlacement(fitted), "-1800,100,800,600");
}

}  // namespace
}  // namespace tolvane

// The upload record and the directory scan: escaping, the fields in order,
// the version rules of the installer names, the name checks.
#include <gtest/gtest.h>

#include "net/PendingUploads.h"
#include "net/SoftwareDirectory.h"
#include "net/UploadRecord.h"

namespace tolvane::net {
namespace {

TEST(ValueEscaping, KeepsTheUnreservedSetAndEncodesTheRestInLowercaseHex) {
  std::string out;
  ASSERT_TRUE(EscapeValue("AZaz09!'()*-./:_~%", false, out));
  EXPECT_EQ(out, "AZaz09!'()*-./:_~%");
  ASSERT_TRUE(EscapeValue("a b&c=d\r#?+,;<>[\\]^{|}@`\"$", false, out));
  EXPECT_EQ(out, "a%20b%26c%3dd%0d%23%3f%2b%2c%3b%3c%3e%5b%5c%5d%5e%7b%7c%7d%40%60%22%24");
  // UTF-8 bytes each become an escape.
  ASSERT_TRUE(EscapeValue("\xC3\xBC", false, out));
  EXPECT_EQ(out, "%c3%bc");
  // The slash is replaced before the copy only when asked for.
  ASSERT_TRUE(EscapeValue("A/B", true, out));
  EXPECT_EQ(out, "A%2FB");
}

TEST(ValueEscaping, RefusesAValueLongerThanNinetyNineOnceEscaped) {
  std::string out = "untouched";
  EXPECT_TRUE(EscapeValue(std::string(99, 'x'), true, out));
  EXPECT_EQ(out.size(), 99u);
  out = "untouched";
  EXPECT_FALSE(EscapeValue(std::string(100, 'x'), true, out));
  EXPECT_EQ(out, "untouched");
  // 33 spaces are 99 characters, 34 are 102.
  EXPECT_TRUE(EscapeValue(std::string(33, ' '), true, out));
  EXPECT_FALSE(EscapeValue(std::string(34, ' '), true, out));
  std::string record = "M=x";
  EXPECT_FALSE(AppendField("&U=", std::string(50, '&'), record));
  EXPECT_EQ(record, "M=x");
}

CONFIG_RECORD WrittenRecord() {
  CONFIG_RECORD r;
  r.modelName = "QR25";
  r.serialNumber = 12;
  r.unitDescription = "Tank 1";
  r.tankDescription = "a&b=c 100%";
  r.modelFileName = "QRModel_QR25.txt";
  r.modelFileRevision = "3";
  r.firmwareName = "A/B";
  r.softwareRevision = 105;
  r.selection = {1, 0, 2, -1, 3, 0, 0, 0, 9, 9};
  r.configIndex = 2;
  r.unitsIndex = 1;
  r.sensorHeight = 3;
  r.fillHeight = 12.5;
  r.level = {0, 1.26, -1, 2, 3, 4};
  r.advanced[0] = {true, 7.5};
  r.advanced[2] = {true, -1};
  r.advanced[3] = {true, 0};
  r.advanced[5] = {true, 9};  // beyond the model's entries
  return r;
}

TEST(UploadRecord, FieldsInOrderPaddedFormattedAndEscaped) {
  MODEL_DEFINITION model;
  model.configurations[2].present = true;
  model.configurations[2].number = 41;
  model.advancedLast = 4;
  const UPLOAD_RECORD built = BuildUploadRecord(WrittenRecord(), model);
  ASSERT_TRUE(built.badField.empty());
  EXPECT_EQ(built.line,
            "M=QR25&S=0012&U=Tank%201&t=a%26b%3dc%20100%&MFN=QRModel_QR25.txt&MFR=3&FWN=A%2FB&FWR=0105"
            "&C0=1&C1=0&C2=2&C3=-1&C4=3&C5=0&C6=0&C7=0&CN=41&UN=1&SH=3.0&FH=12.5"
            "&L5=4.0&L4=3.0&L3=2.0&L2=-1.0&L1=1.3&L0=0.0&A1=1&V1=7.5&A3=1&A4=1&V4=0.0");
  EXPECT_TRUE(IsSendableLine(built.line));
}

TEST(UploadRecord, ATooLongValueNamesItsFieldAndBuildsNothing) {
  MODEL_DEFINITION model;
  CONFIG_RECORD r = WrittenRecord();
  r.tankDescription = std::string(40, ' ');
  const UPLOAD_RECORD built = BuildUploadRecord(r, model);
  EXPECT_EQ(built.badField, "&t=");
  EXPECT_TRUE(built.line.empty());
}

TEST(DirectoryBody, LinesAfterPercentZeroDAndSpacesAfterPercentTwenty) {
  EXPECT_EQ(DecodeDirectoryBody("a\nb%0Dc%20d%0D"), "ab\nc d\n");
  // Without "%0D" the body is one line.
  const std::string one = DecodeDirectoryBody("ABCver5p23.exe ABCver6p1.exe");
  EXPECT_EQ(one.find('\n'), std::string::npos);
}

TEST(DirectoryScan, NewestMajorThenMinorWins) {
  const std::string body = DecodeDirectoryBody("ABCver5p23.exe%0DABCver6p1.exe%0D");
  DIRECTORY_RESULT r = ScanDirectory(body, "ABC*.exe", 5, 20);
  EXPECT_EQ(r.outcome, UPDATE_NEWER_MAJOR);
  EXPECT_EQ(r.newMajor, 6);
  EXPECT_EQ(r.newMinor, 1);
  EXPECT_EQ(r.fileName, "ABCver6p1.exe");
  r = ScanDirectory(DecodeDirectoryBody("ABCver5p23.exe"), "ABC*.exe", 5, 20);
  EXPECT_EQ(r.outcome, UPDATE_NEWER_MINOR);
  EXPECT_EQ(r.newMinor, 23);
  // A later minor of the new major keeps outcome 2 and takes the later file.
  r = ScanDirectory(DecodeDirectoryBody("ABCver6p1.exe%0DABCver6p4.exe%0DABCver6p2.exe"), "ABC*.exe", 5, 20);
  EXPECT_EQ(r.outcome, UPDATE_NEWER_MAJOR);
  EXPECT_EQ(r.newMinor, 4);
  EXPECT_EQ(r.fileName, "ABCver6p4.exe");
  // Equal is not newer.
  r = ScanDirectory(DecodeDirectoryBody("ABCver5p20.exe"), "ABC*.exe", 5, 20);
  EXPECT_EQ(r.outcome, UPDATE_NOTHING_NEWER);
  EXPECT_TRUE(r.fileName.empty());
}

TEST(DirectoryScan, SkipsTwoVersOtherPatternsAndReadsALeadingVerAsZero) {
  DIRECTORY_RESULT r = ScanDirectory("Serverver7p2.exe\nABCver7p1.deb\nXYZver9p9.exe", "ABC*.exe", 5, 0);
  EXPECT_EQ(r.outcome, UPDATE_NOTHING_NEWER);
  int major = -1;
  int minor = -1;
  EXPECT_TRUE(ReadInstallerVersion("ver9p9ABC.exe", major, minor));
  EXPECT_EQ(major, 0);
  EXPECT_EQ(minor, 0);
  r = ScanDirectory("ver9p9ABC.exe", "ABC*.exe", 0, 0);
  EXPECT_EQ(r.outcome, UPDATE_NOTHING_NEWER);
  EXPECT_FALSE(ReadInstallerVersion("Serverver5p2.exe", major, minor));
  // The pattern's pieces may stand anywhere, in any order.
  EXPECT_TRUE(MatchesPattern("x.exe ABCver1p1", "ABC*.exe"));
  EXPECT_FALSE(MatchesPattern("abcver1p1.exe", "ABC*.exe"));
  // Numbers beyond int are not read.
  EXPECT_TRUE(ReadInstallerVersion("ABCver99999999999p1.deb", major, minor));
  EXPECT_EQ(major, 0);
}

TEST(VersionNumbers, MissingPartsReadAsZero) {
  EXPECT_EQ(ReadVersionNumbers("5.0.1.0", 4), (std::vector<int>{5, 0, 1, 0}));
  EXPECT_EQ(ReadVersionNumbers("5.20", 4), (std::vector<int>{5, 20, 0, 0}));
  EXPECT_EQ(ReadVersionNumbers("garbage", 2), (std::vector<int>{0, 0}));
}

TEST(InstallerNames, OnlyPlainNamesInsideTheFolder) {
  EXPECT_TRUE(IsSafeInstallerName("TOLver5p2.deb"));
  EXPECT_FALSE(IsSafeInstallerName("../../x.deb"));
  EXPECT_FALSE(IsSafeInstallerName("/etc/x.deb"));
  EXPECT_FALSE(IsSafeInstallerName("a..b.deb"));
  EXPECT_FALSE(IsSafeInstallerName(std::string("a\0b.deb", 7)));
  EXPECT_FALSE(IsSafeInstallerName(std::string(300, 'a')));
  EXPECT_FALSE(IsSafeInstallerName(""));
  EXPECT_TRUE(IsOlderCopy("ABCver5p23.exe", "ABCver6p1.exe"));
  EXPECT_FALSE(IsOlderCopy("ABCver6p1.exe", "ABCver6p1.exe"));
  EXPECT_FALSE(IsOlderCopy("ABCver5p23.deb", "ABCver6p1.exe"));
  EXPECT_FALSE(IsOlderCopy("XYZver5p23.exe", "ABCver6p1.exe"));
}

TEST(PendingLines, EmptyLinesCountAndLineEndsGo) {
  EXPECT_EQ(SplitPendingLines("\r\nrec1\r\n\r\nrec2\r\n"), (std::vector<std::string>{"", "rec1", "", "rec2"}));
  EXPECT_EQ(SplitPendingLines("\r\nhalf"), (std::vector<std::string>{"", "half"}));
  EXPECT_EQ(PendingText({"a", "b"}), "\r\na\r\n\r\nb\r\n");
  EXPECT_FALSE(IsSendableLine("a b"));
  EXPECT_FALSE(IsSendableLine("a#b"));
  EXPECT_FALSE(IsSendableLine(std::string(kMaxRecordChars + 1, 'a')));
  EXPECT_TRUE(IsSendableLine(""));
}

}  // namespace
}  // namespace tolvane::net

#include "shell/SettingsStore.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

// The per-user registry with switchable faults.
class FaultyRegistry : public CUserRegistry {
 public:
  using CUserRegistry::CUserRegistry;
  Status EnumValues(std::vector<std::string>& names) override {
    return failEnum ? Status::Error : CUserRegistry::EnumValues(names);
  }
  Status SetValue(const std::string& name, const std::string& value) override {
    ++writes;
    return failSet ? Status::Error : CUserRegistry::SetValue(name, value);
  }
  Status CloseKey() override {
    CUserRegistry::CloseKey();
    return failClose ? Status::Error : Status::Ok;
  }
  bool failEnum = false;
  bool failSet = false;
  bool failClose = false;
  int writes = 0;
};

class SettingsStoreTest : public ::testing::Test {
 protected:
  CSettingsStore Store() {
    return CSettingsStore(
        registry_, corporate_, program_, settings_, dir_ / "Models",
        [](const std::filesystem::path& file, APP_SETTINGS& s) {
          // The start-up hands the model file parser in; two keys do here.
          std::vector<KEY_VALUE> entries;
          if (!ReadKeyValueFile(file, entries)) {
            return false;
          }
          for (const auto& e : entries) {
            if (e.key == "OPTOUT") s.optOut = e.value == "TRUE";
            if (e.key == "VERSION") s.version = e.value;
          }
          return true;
        });
  }
  void CreateKey() { ASSERT_TRUE(registry_.CreateKey({"Software", corporate_, program_, "01"})); }
  std::string Stored(const std::string& name) {
    std::string v = "<missing>";
    registry_.OpenKey({"Software", corporate_, program_, "01"});
    registry_.QueryValue(name, 1000, v);
    registry_.CloseKey();
    return v;
  }

  test::TempDir dir_;
  FaultyRegistry registry_{dir_ / "Settings"};
  std::string corporate_ = "Kestrine";
  std::string program_ = "Tolvane";
  APP_SETTINGS settings_;
};

TEST_F(SettingsStoreTest, FirstStartCreatesTheTwelveDefaults) {
  CreateKey();
  int code = -1;
  EXPECT_FALSE(Store().LoadAll(&code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(registry_.writes, 12);
  EXPECT_EQ(Stored("KESTRINE_MODE"), "<missing>");
  EXPECT_EQ(Stored("PREF_UNITS"), "Inches");
  EXPECT_TRUE(settings_.guide);
  EXPECT_EQ(settings_.guideFile, "User Guide.pps");
  EXPECT_FALSE(settings_.kestrineMode);
  EXPECT_EQ(settings_.demoModel, "QR27Demo");
  EXPECT_EQ(settings_.demoSerial, "1001");
  EXPECT_EQ(settings_.demoSoftwareRevision, "0001");
  EXPECT_EQ(settings_.version, "5.0.0");
  EXPECT_EQ(settings_.dbVersion, "5.0.0");
  EXPECT_FALSE(settings_.optOut);
  EXPECT_FALSE(settings_.demoTab);

  // A second start writes nothing and keeps what the user changed.
  registry_.writes = 0;
  EXPECT_FALSE(Store().WriteString("PREF_UNITS", "Meters"));
  registry_.writes = 0;
  EXPECT_FALSE(Store().LoadAll(&code));
  EXPECT_EQ(registry_.writes, 0);
  EXPECT_EQ(settings_.prefUnits, "Meters");
}

TEST_F(SettingsStoreTest, OnlyTheUpperCaseWordReadsTrue) {
  CreateKey();
  ASSERT_FALSE(Store().LoadAll());
  EXPECT_FALSE(Store().WriteString("GUIDE", "true"));
  EXPECT_FALSE(Store().WriteString("KESTRINE_MODE", "TRUE"));
  ASSERT_FALSE(Store().LoadAll());
  EXPECT_FALSE(settings_.guide);
  EXPECT_TRUE(settings_.kestrineMode);
  bool b = true;
  EXPECT_FALSE(Store().ReadBool("GUIDE", b));
  EXPECT_FALSE(b);
}

TEST_F(SettingsStoreTest, LoadFailureCodes) {
  int code = 0;
  EXPECT_TRUE(Store().LoadAll(&code));  // the key does not exist: never created by the program
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Settings" / "Software"));

  CreateKey();
  registry_.failEnum = true;
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 2);
  registry_.failEnum = false;
  registry_.failSet = true;
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 2);
  registry_.failSet = false;

  ASSERT_FALSE(Store().LoadAll(&code));
  EXPECT_FALSE(Store().WriteString("GFILE", std::string(50, 'g')));
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 3);
  EXPECT_FALSE(Store().WriteString("GFILE", std::string(49, 'g')));
  EXPECT_FALSE(Store().WriteString("DBVERSION", std::string(60, '9')));
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 11);
  EXPECT_EQ(settings_.guideFile, std::string(49, 'g'));  // values read before the failure stay
  EXPECT_FALSE(Store().WriteString("DBVERSION", "5.1.0"));

  registry_.failClose = true;
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 12);
  std::string s;
  EXPECT_TRUE(Store().ReadString("VERSION", s, &code));
  EXPECT_EQ(code, 3);
}

TEST_F(SettingsStoreTest, SingleValueCodes) {
  int code = 0;
  bool b = false;
  EXPECT_TRUE(Store().ReadBool("OPTOUT", b, &code));
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(Store().WriteBool("OPTOUT", true, &code));
  EXPECT_EQ(code, 1);
  CreateKey();
  EXPECT_TRUE(Store().ReadBool("OPTOUT", b, &code));  // no such value
  EXPECT_EQ(code, 2);
  EXPECT_FALSE(Store().WriteBool("OPTOUT", true, &code));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(Store().ReadBool("OPTOUT", b, &code));
  EXPECT_TRUE(b);
  registry_.failSet = true;
  EXPECT_TRUE(Store().WriteBool("OPTOUT", false, &code));
  EXPECT_EQ(code, 2);
}

TEST_F(SettingsStoreTest, NamesFromTheCorporateModelStayInsideTheStore) {
  corporate_ = "../escape";
  int code = 0;
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(Store().WriteString("X", "y", &code));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "escape"));
}

class SettingsFileTest : public SettingsStoreTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "Models");
    settings_.registryFile = "Tolvane_Settings.txt";
  }
  std::filesystem::path File() { return dir_ / "Models" / "Tolvane_Settings.txt"; }
};

TEST_F(SettingsFileTest, LoadsFromTheFileWithoutDefaults) {
  int code = 0;
  EXPECT_TRUE(Store().LoadAll(&code));
  EXPECT_EQ(code, CSettingsStore::kSettingsFileMissing);
  test::WriteBytes(File(), test::Utf16File("' settings\r\nOPTOUT = TRUE\r\njunk line\r\nVERSION = 6.1.0\r\n"));
  EXPECT_FALSE(Store().LoadAll(&code));
  EXPECT_TRUE(settings_.optOut);
  EXPECT_EQ(settings_.version, "6.1.0");
  EXPECT_EQ(settings_.guideFile, "");  // no defaults in a settings file
}

TEST_F(SettingsFileTest, ReadsNeverFail) {
  test::WriteBytes(File(), "OPTOUT = TRUE\nOPTOUT = FALSE\nGFILE = Guide.pdf\n");
  bool b = false;
  int code = -1;
  EXPECT_FALSE(Store().ReadBool("OPTOUT", b, &code));
  EXPECT_TRUE(b);  // the first line decides
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(Store().ReadBool("PENDING", b, &code));
  EXPECT_FALSE(b);
  std::string s = "unchanged";
  EXPECT_FALSE(Store().ReadString("DEMOMODEL", s, &code));
  EXPECT_EQ(s, "unchanged");
  EXPECT_FALSE(Store().ReadString("GFILE", s, &code));
  EXPECT_EQ(s, "Guide.pdf");
}

// A value that is not in the file reads as nothing, but a file that cannot be
// read at all is a failure, as it is for a write.
TEST_F(SettingsFileTest, AFileThatCannotBeReadFailsTheReadWithTheOpenCode) {
  bool b = true;
  std::string s = "unchanged";
  int code = 0;
  EXPECT_TRUE(Store().ReadString("GFILE", s, &code));
  EXPECT_EQ(code, CSettingsStore::kSettingsFileMissing);
  EXPECT_EQ(s, "unchanged");
  code = 0;
  EXPECT_TRUE(Store().ReadBool("OPTOUT", b, &code));
  EXPECT_EQ(code, CSettingsStore::kSettingsFileMissing);
  EXPECT_FALSE(b);
  // A named pipe in the file's place: refused at once, not waited for.
  ASSERT_TRUE(test::MakeFifo(File()));
  const auto read = test::RunInChild(
      [&] {
        std::string value;
        int c = 0;
        return Store().ReadString("GFILE", value, &c) ? c : 100;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(read, std::optional<int>(CSettingsStore::kSettingsFileMissing));
  const auto written = test::RunInChild(
      [&] {
        int c = 0;
        return Store().WriteString("GFILE", "x", &c) ? c : 100;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(written, std::optional<int>(CSettingsStore::kSettingsFileMissing));
}

// The settings file goes through the text-file reader's type check, whose
// failures are shown.
TEST_F(SettingsFileTest, TheTypeCheckMessagesAreShown) {
  test::RecordingMessages messages;
  auto store = [&] {
    return CSettingsStore(registry_, corporate_, program_, settings_, dir_ / "Models", {}, &messages);
  };
  test::WriteBytes(File(), "G");
  std::string s;
  int code = 0;
  EXPECT_FALSE(store().ReadString("GFILE", s, &code));
  using M = std::pair<std::string, unsigned>;
  EXPECT_EQ(messages.shown, (std::vector<M>{{"Error:  Cannot read file for Unicode type check.", MB_ERROR}}));
  std::filesystem::remove(File());
  EXPECT_TRUE(store().WriteString("GFILE", "x", &code));
  EXPECT_EQ(messages.shown.back(), (M{"Error:  Cannot open file for Unicode type check.", MB_ERROR}));
}

TEST_F(SettingsFileTest, WritesRewriteTheWholeFileOrNothing) {
  const std::string original = "' comment\nGUIDE = TRUE\n\nPENDING = FALSE\n";
  test::WriteBytes(File(), original);
  int code = 0;
  EXPECT_TRUE(Store().WriteBool("OPTOUT", true, &code));
  EXPECT_EQ(code, 4);
  EXPECT_EQ(test::ReadBytes(File()), original);

  EXPECT_FALSE(Store().WriteBool("PENDING", true, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(test::ReadBytes(File()), test::Utf16File("GUIDE = TRUE\r\nPENDING = TRUE\r\n"));
  // Nothing else is left in the models folder.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_ / "Models")) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace tolvane

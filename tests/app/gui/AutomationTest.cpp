// The automation switches and the desktop entry they write.
#include "app/gui/Automation.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

using Action = AUTOMATION_SWITCHES::Action;

TEST(Automation, SwitchesInTheirSpellings) {
  EXPECT_EQ(ParseAutomationSwitches({}).action, Action::Run);
  EXPECT_EQ(ParseAutomationSwitches({"--register"}).action, Action::Register);
  EXPECT_EQ(ParseAutomationSwitches({"/RegServer"}).action, Action::Register);
  EXPECT_EQ(ParseAutomationSwitches({"-Unregister"}).action, Action::Unregister);
  EXPECT_EQ(ParseAutomationSwitches({"/unregserver"}).action, Action::Unregister);

  const auto embedded = ParseAutomationSwitches({"-Embedding"});
  EXPECT_EQ(embedded.action, Action::Run);
  EXPECT_TRUE(embedded.embedded);
  EXPECT_TRUE(ParseAutomationSwitches({"--automation"}).embedded);

  const auto other = ParseAutomationSwitches({"file.cfg", "--verbose", "--register", "--unregister"});
  EXPECT_EQ(other.action, Action::Unregister);  // the later switch wins
  EXPECT_FALSE(other.embedded);
  EXPECT_EQ(other.ignored, (std::vector<std::string>{"file.cfg", "--verbose"}));

  // Help and version end the program whatever else is given; help wins over version.
  EXPECT_EQ(ParseAutomationSwitches({"--register", "--help"}).action, Action::Help);
  EXPECT_EQ(ParseAutomationSwitches({"-h", "--unregister"}).action, Action::Help);
  EXPECT_EQ(ParseAutomationSwitches({"--VERSION", "--register"}).action, Action::Version);
  EXPECT_EQ(ParseAutomationSwitches({"--version", "/?"}).action, Action::Help);
  EXPECT_TRUE(ParseAutomationSwitches({"--help"}).ignored.empty());
  EXPECT_EQ(IgnoredArgumentLine("file.cfg"), "tolvane: ignoring the argument \"file.cfg\"\n");
}

TEST(Automation, EntryFolderFollowsXdg) {
  auto env = [](std::map<std::string, std::string> values) -> EnvLookup {
    return [values](std::string_view name) -> std::optional<std::string> {
      const auto it = values.find(std::string(name));
      return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
  };
  EXPECT_EQ(ApplicationsFolder(env({{"HOME", "/home/ann"}})), "/home/ann/.local/share/applications");
  EXPECT_EQ(ApplicationsFolder(env({{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/data"}})), "/data/applications");
}

TEST(Automation, EntryIsWrittenWholeAndRemoved) {
  test::TempDir dir;
  const auto file = dir / "applications" / kDesktopEntryName;
  const std::string text = DesktopEntryText("/opt/my tools/tolvane", "/icons/tolvane.png");
  EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/my tools/tolvane\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=/icons/tolvane.png\n"), std::string::npos);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);

  ASSERT_TRUE(WriteDesktopEntry(file, text));
  EXPECT_EQ(test::ReadBytes(file), text);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(file).concat(".new")));
  // Written again over an older entry.
  ASSERT_TRUE(WriteDesktopEntry(file, "[Desktop Entry]\n"));
  EXPECT_EQ(test::ReadBytes(file), "[Desktop Entry]\n");

  EXPECT_TRUE(RemoveDesktopEntry(file));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(RemoveDesktopEntry(file));  // nothing to remove is no failure

  // A folder that cannot be made: the write fails, and says so.
  test::WriteBytes(dir / "blocked", "x");
  EXPECT_FALSE(WriteDesktopEntry(dir / "blocked" / kDesktopEntryName, text));
}

TEST(Automation, ExecQuotesWhatTheShellWouldExpand) {
  const std::string text = DesktopEntryText("/opt/a$b\"c/tolvane", "i.png");
  EXPECT_NE(text.find("Exec=\"/opt/a\\\\$b\\\\\"c/tolvane\"\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace tolvane

#include "common/Folders.h"

#include <gtest/gtest.h>

#include <map>

namespace tolvane {
namespace {

EnvLookup FakeEnv(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](std::string_view name) -> std::optional<std::string> {
    const auto it = vars.find(std::string(name));
    if (it == vars.end()) {
      return std::nullopt;
    }
    return it->second;
  };
}

TEST(Folders, PortableHomeRootsTheWholeTree) {
  const FOLDERS f = ResolveFolders(FakeEnv({{"TOLVANE_HOME", "/opt/demo"}, {"HOME", "/home/u"}}), "tolvane",
                                   "/usr/share/tolvane");
  EXPECT_EQ(f.models, "/opt/demo/Models");
  EXPECT_EQ(f.configs, "/opt/demo/Configs");
  EXPECT_EQ(f.programs, "/opt/demo/Programs");
  EXPECT_EQ(f.logs, "/opt/demo/Logs");
  EXPECT_EQ(f.help, "/opt/demo/Help");
  EXPECT_EQ(f.drawings, "/opt/demo/Drawings");
  EXPECT_EQ(f.bitmaps, "/opt/demo/Bitmaps");
  EXPECT_EQ(f.settings, "/opt/demo/Settings");
}

TEST(Folders, DesktopDefaultsFollowXdg) {
  const FOLDERS f = ResolveFolders(FakeEnv({{"HOME", "/home/u"}}), "tolvane", "/usr/share/tolvane");
  EXPECT_EQ(f.models, "/home/u/.local/share/tolvane/Models");
  EXPECT_EQ(f.configs, "/home/u/Documents/tolvane/Configs");
  EXPECT_EQ(f.logs, "/home/u/.local/share/tolvane/Logs");
  EXPECT_EQ(f.settings, "/home/u/.config/tolvane");
  EXPECT_EQ(f.help, "/usr/share/tolvane/Help");

  const FOLDERS g = ResolveFolders(
      FakeEnv({{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/d"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DOCUMENTS_DIR", "/docs"}}),
      "tolvane", "/usr/share/tolvane");
  EXPECT_EQ(g.programs, "/d/tolvane/Programs");
  EXPECT_EQ(g.configs, "/docs/tolvane/Configs");
  EXPECT_EQ(g.settings, "/c/tolvane");
}

}  // namespace
}  // namespace tolvane

#include "common/Folders.h"

#include <gtest/gtest.h>

#include <map>

#include "support/TestSupport.h"

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
  const FOLDERS f =
      ResolveFolders(FakeEnv({{"TOLVANE_HOME", "/opt/demo"}, {"HOME", "/home/u"}}), "tolvane", "/usr/share/tolvane");
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
      FakeEnv(
          {{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/d"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DOCUMENTS_DIR", "/docs"}}),
      "tolvane", "/usr/share/tolvane");
  EXPECT_EQ(g.programs, "/d/tolvane/Programs");
  EXPECT_EQ(g.configs, "/docs/tolvane/Configs");
  EXPECT_EQ(g.settings, "/c/tolvane");
}

TEST(Folders, TheInstalledModelsLieUnderTheUsersOnlyOutsideAPortableTree) {
  const PROGRAM_LOCATION at{"/opt/t/share/tolvane", "/opt/t/lib/tolvane/components"};
  const FOLDERS installed = ResolveFolders(FakeEnv({{"HOME", "/home/u"}}), "tolvane", at);
  EXPECT_EQ(installed.installedModels, "/opt/t/share/tolvane/Models");
  EXPECT_EQ(installed.program, "/opt/t/share/tolvane");
  EXPECT_EQ(installed.components, "/opt/t/lib/tolvane/components");
  const FOLDERS portable = ResolveFolders(FakeEnv({{"TOLVANE_HOME", "/demo"}}), "tolvane", at);
  EXPECT_TRUE(portable.installedModels.empty());
  EXPECT_EQ(portable.components, "/opt/t/lib/tolvane/components");
}

TEST(Folders, DataAndComponentsAreFoundBesideTheProgramWhereverTheTreeLies) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const INSTALL_LAYOUT layout{"../share/tolvane", "../lib/x86_64-linux-gnu/tolvane/components"};
  for (const fs::path& prefix : {dir / "usr", dir / "moved/elsewhere"}) {
    const PROGRAM_LOCATION l = LocateProgramFolders(prefix / "bin/tolvane-cli", layout);
    EXPECT_EQ(l.data, prefix / "share/tolvane");
    EXPECT_EQ(l.components, prefix / "lib/x86_64-linux-gnu/tolvane/components");
  }
  // A relative program path is taken from the current folder.
  const PROGRAM_LOCATION relative = LocateProgramFolders("bin/tolvane", layout);
  EXPECT_EQ(relative.data, (fs::current_path() / "share/tolvane").lexically_normal());

  // A build tree: the links beside the program name the build's folders.
  fs::create_directories(dir / "build/share/tolvane");
  fs::create_directories(dir / "build/lib/tolvane/components");
  fs::create_directories(dir / "build/src/app/sim");
  fs::create_directory_symlink("../../../share/tolvane", dir / "build/src/app/sim" / kBuildDataLink);
  fs::create_directory_symlink("../../../lib/tolvane/components", dir / "build/src/app/sim" / kBuildComponentsLink);
  const PROGRAM_LOCATION built = LocateProgramFolders(dir / "build/src/app/sim/tolvane-sim", layout);
  EXPECT_EQ(built.data, fs::canonical(dir / "build/share/tolvane"));
  EXPECT_EQ(built.components, fs::canonical(dir / "build/lib/tolvane/components"));
  // A dangling data link is no build tree.
  fs::create_directories(dir / "broken/bin");
  fs::create_directory_symlink("../nowhere", dir / "broken/bin" / kBuildDataLink);
  EXPECT_EQ(LocateProgramFolders(dir / "broken/bin/tolvane", layout).data, dir / "broken/share/tolvane");

  // The running program is this test.
  EXPECT_EQ(RunningProgram().filename(), "common_tests");
  EXPECT_EQ(CompiledInstallLayout().dataFromPrograms.substr(0, 3), "../");
}

TEST(Folders, AModelsFileIsTheUsersWhenTheUserHasOne) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  fs::create_directories(dir / "user");
  fs::create_directories(dir / "installed");
  test::WriteBytes(dir / "user/Mine.txt", "mine");
  test::WriteBytes(dir / "installed/Mine.txt", "shipped");
  test::WriteBytes(dir / "installed/Shipped.txt", "shipped");
  EXPECT_EQ(ModelsFile(dir / "user", dir / "installed", "Mine.txt"), dir / "user/Mine.txt");
  EXPECT_EQ(ModelsFile(dir / "user", dir / "installed", "Shipped.txt"), dir / "installed/Shipped.txt");
  EXPECT_EQ(ModelsFile(dir / "user", dir / "installed", "None.txt"), dir / "user/None.txt");
  EXPECT_EQ(ModelsFile(dir / "user", {}, "Shipped.txt"), dir / "user/Shipped.txt");
}

}  // namespace
}  // namespace tolvane

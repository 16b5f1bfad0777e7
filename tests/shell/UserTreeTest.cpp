// The first start for a user: the per-user tree made from an installed data
// folder, only where something is missing, also with two programs at once.
#include "shell/UserTree.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "link/sim/SimBridge.h"
#include "shell/ProgramCore.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVersion = "5.7.3";
const std::vector<std::string> kKey{"Software", "Kestrine", "Tolvane", "01"};

// Every file below `root` with its content (the names relative to it).
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) {
      files[fs::relative(e.path(), root).string()] = test::ReadBytes(e.path());
    }
  }
  return files;
}

std::map<std::string, std::string> KeyValues(const fs::path& settings) {
  CUserRegistry registry(settings);
  std::map<std::string, std::string> values;
  if (registry.OpenKey(kKey) != IRegistry::Status::Ok) {
    return values;
  }
  std::vector<std::string> names;
  registry.EnumValues(names);
  for (const auto& n : names) {
    registry.QueryValue(n, 1000, values[n]);
  }
  return values;
}

// An installed data folder (the shipped models and configurations, two
// firmware files, the guide) and a user whose home is empty.
class UserTreeTest : public ::testing::Test {
 protected:
  UserTreeTest() {
    const fs::path data = dir_ / "usr/share/tolvane";
    fs::create_directories(data / "Programs/old");
    fs::copy(fs::path(TOLVANE_SOURCE_DATA) / "Models", data / "Models");
    fs::copy(fs::path(TOLVANE_SOURCE_DATA) / "Configs", data / "Configs");
    test::WriteBytes(data / "Programs/QR27_0203.fep", std::string(3000, 'F'));
    test::WriteBytes(data / "Programs/QR25_0102.pkt", "packets");
    test::WriteBytes(data / "Programs/.QR27_0203.fep.AbC123", "a temporary file of another program");
    fs::create_directories(data / "Help");
    test::WriteBytes(data / "Help" / kShippedGuide, "%PDF");
    fs::create_directories(dir_ / "home");
    env_ = {{"HOME", (dir_ / "home").string()}};
    location_.data = data;
  }
  FOLDERS Folders() const {
    return ResolveFolders(
        [this](std::string_view name) -> std::optional<std::string> {
          const auto it = env_.find(std::string(name));
          return it == env_.end() ? std::nullopt : std::optional<std::string>(it->second);
        },
        "tolvane", location_);
  }
  USER_TREE_RESULT Prepare(std::string_view version = kVersion) {
    const FOLDERS f = Folders();
    CUserRegistry registry(f.settings);
    return PrepareUserTree(f, registry, version);
  }
  fs::path Data() const { return location_.data; }
  fs::path Home() const { return dir_ / "home"; }

  test::TempDir dir_;
  std::map<std::string, std::string> env_;
  PROGRAM_LOCATION location_;
};

TEST_F(UserTreeTest, FreshUserGetsWhatTheInstallationProvides) {
  const auto before = Snapshot(Data());
  const USER_TREE_RESULT r = Prepare();
  EXPECT_TRUE(r.problems.empty()) << DescribeProblem(r.problems.front());
  EXPECT_TRUE(r.keyCreated);
  EXPECT_TRUE(r.versionSet);

  const FOLDERS f = Folders();
  for (const fs::path& folder : {f.models, f.configs, f.programs, f.logs, f.settings}) {
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
  }
  EXPECT_EQ(f.models, Home() / ".local/share/tolvane/Models");
  EXPECT_EQ(f.configs, Home() / "Documents/tolvane/Configs");
  // Models are read where they are installed, not copied.
  EXPECT_TRUE(fs::is_empty(f.models));
  // Every shipped configuration file, and the firmware files (no folders, no temporary files).
  EXPECT_EQ(Snapshot(f.configs), Snapshot(Data() / "Configs"));
  EXPECT_EQ(Snapshot(f.programs), (std::map<std::string, std::string>{{"QR27_0203.fep", std::string(3000, 'F')},
                                                                      {"QR25_0102.pkt", "packets"}}));
  EXPECT_EQ(r.filesAdded, static_cast<int>(Snapshot(Data() / "Configs").size()) + 2);
  EXPECT_EQ(fs::status(f.programs / "QR25_0102.pkt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  const auto values = KeyValues(f.settings);
  EXPECT_EQ(values.at("VERSION"), kVersion);
  EXPECT_EQ(values.at("GFILE"), kShippedGuide);
  // The installed data is only read.
  EXPECT_EQ(Snapshot(Data()), before);

  // A second start finds everything there.
  const USER_TREE_RESULT again = Prepare();
  EXPECT_TRUE(again.problems.empty());
  EXPECT_EQ(again.foldersCreated, 0);
  EXPECT_EQ(again.filesAdded, 0);
  EXPECT_FALSE(again.keyCreated);
  EXPECT_FALSE(again.versionSet);
}

TEST_F(UserTreeTest, TheProgramStartsOnTheNewTreeWithItsVersion) {
  ASSERT_TRUE(Prepare().problems.empty());
  const FOLDERS f = Folders();
  test::RecordingMessages box;
  test::RecordingErrorDetail errors;
  test::RecordingBusy busy;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  CUserRegistry registry(f.settings);
  CProgramCore core(f, PROGRAM_SERVICES{box, errors, busy, bridge, clock, registry, [] { return std::tm{}; }});
  int code = -1;
  ASSERT_EQ(core.Start(code), CProgramCore::StartResult::Ok) << code;
  EXPECT_TRUE(box.shown.empty());  // the language file was found in the installed models
  EXPECT_EQ(core.Title(), "Tolvane 5.7.3");
  EXPECT_EQ(core.settings.guideFile, kShippedGuide);
  EXPECT_EQ(core.settings.dbVersion, "5.0.0");  // the other values are the store's defaults
  EXPECT_EQ(test::ReadBytes(f.logs / "logfile.txt"), "01/00/00 12:00:00AM TOLVANE->Version 5.7.3 Started\r\n");
  IDENTIFY_RESULT result;
  EXPECT_EQ(core.IdentifyUnit(true, nullptr, result), 1);
  EXPECT_EQ(core.record.modelFileName, "QRModel_QR27.txt");
}

TEST_F(UserTreeTest, AnOlderTreeKeepsWhatTheUserHasAndGetsTheNewVersion) {
  ASSERT_TRUE(Prepare("4.2.0").problems.empty());
  const FOLDERS f = Folders();
  {
    CUserRegistry registry(f.settings);
    ASSERT_EQ(registry.OpenKey(kKey), IRegistry::Status::Ok);
    ASSERT_EQ(registry.SetValue("GFILE", "Our own guide.pdf"), IRegistry::Status::Ok);
    ASSERT_EQ(registry.SetValue("PREF_UNITS", "Meters"), IRegistry::Status::Ok);
  }
  test::WriteBytes(f.configs / "QR27_Factory.cfg", "edited by the user");
  fs::remove(f.configs / "QR25_Factory.cfg");
  fs::remove(f.programs / "QR25_0102.pkt");
  test::WriteBytes(f.programs / "QR27_0203.fep", "the user's own build");
  fs::remove_all(f.logs);

  const USER_TREE_RESULT r = Prepare();
  EXPECT_TRUE(r.problems.empty());
  EXPECT_FALSE(r.keyCreated);
  EXPECT_TRUE(r.versionSet);
  EXPECT_EQ(r.filesAdded, 2);
  EXPECT_TRUE(fs::is_directory(f.logs));
  EXPECT_EQ(test::ReadBytes(f.configs / "QR27_Factory.cfg"), "edited by the user");
  EXPECT_EQ(test::ReadBytes(f.configs / "QR25_Factory.cfg"), test::ReadBytes(Data() / "Configs/QR25_Factory.cfg"));
  EXPECT_EQ(test::ReadBytes(f.programs / "QR27_0203.fep"), "the user's own build");
  EXPECT_EQ(test::ReadBytes(f.programs / "QR25_0102.pkt"), "packets");
  const auto values = KeyValues(f.settings);
  EXPECT_EQ(values.at("VERSION"), kVersion);
  EXPECT_EQ(values.at("GFILE"), "Our own guide.pdf");
  EXPECT_EQ(values.at("PREF_UNITS"), "Meters");
}

TEST_F(UserTreeTest, FoldersThatCannotBeMadeAreNamedAndTheRestIsMade) {
  // A data home below a plain file cannot be made, not even by root.
  test::WriteBytes(dir_ / "blocked", "a file");
  env_["XDG_DATA_HOME"] = (dir_ / "blocked/data").string();
  const USER_TREE_RESULT r = Prepare();
  const FOLDERS f = Folders();
  std::set<fs::path> named;
  for (const auto& p : r.problems) {
    named.insert(p.path);
    EXPECT_FALSE(p.reason.empty());
  }
  EXPECT_EQ(named, (std::set<fs::path>{f.models, f.programs, f.logs}));
  // The message names the folder and says why.
  TREE_PROBLEM models{TREE_PROBLEM::Kind::Folder, f.models, "Not a directory"};
  EXPECT_EQ(DescribeProblem(models), "Cannot create the folder " + f.models.string() + ": Not a directory");
  // The documents and the settings key do not depend on it.
  EXPECT_EQ(Snapshot(f.configs), Snapshot(Data() / "Configs"));
  EXPECT_EQ(KeyValues(f.settings).at("VERSION"), kVersion);

  // A settings folder that cannot be made: the key is named.
  env_.erase("XDG_DATA_HOME");
  env_["XDG_CONFIG_HOME"] = (dir_ / "blocked/config").string();
  const USER_TREE_RESULT s = Prepare();
  ASSERT_FALSE(s.problems.empty());
  EXPECT_EQ(s.problems.back().kind, TREE_PROBLEM::Kind::SettingsKey);
  EXPECT_EQ(s.problems.back().path, Folders().settings / "Software/Kestrine/Tolvane/01");
}

TEST_F(UserTreeTest, ProblemsReadInTheProgramsLanguage) {
  CLanguageFile language(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
  ASSERT_EQ(language.Load("Tolvane_Language.txt"), 0);
  const TREE_PROBLEM p{TREE_PROBLEM::Kind::File, "/x/QR27_Factory.cfg", "No space left on device"};
  for (const int column : {0, 1}) {
    const std::string text = DescribeProblem(p, &language, column);
    EXPECT_NE(text.find("/x/QR27_Factory.cfg"), std::string::npos) << text;
    EXPECT_NE(text.find("No space left on device"), std::string::npos) << text;
    EXPECT_EQ(text, Format(language.Text(ProblemKey(p.kind), column), p.path.string(), p.reason));
  }
  EXPECT_NE(DescribeProblem(p, &language, 0), DescribeProblem(p, &language, 1));
}

TEST_F(UserTreeTest, ASettingsFileIsTheUsersCopyOfTheShippedOne) {
  // A corporate model that keeps the settings in a file of the models folder.
  std::string corporate = test::ReadBytes(Data() / "Models/Corporate_Model");
  const std::size_t at = corporate.find("REGISTRY_FILE =");
  ASSERT_NE(at, std::string::npos);
  corporate.insert(at + 15, " Tolvane_Settings.txt");
  test::WriteBytes(Data() / "Models/Corporate_Model", corporate);
  test::WriteBytes(Data() / "Models/Tolvane_Settings.txt", "GUIDE = FALSE\nVERSION = 5.0.0\n");

  const USER_TREE_RESULT r = Prepare();
  EXPECT_TRUE(r.problems.empty());
  EXPECT_FALSE(r.keyCreated);  // no key for the file back end
  const FOLDERS f = Folders();
  EXPECT_EQ(test::ReadBytes(f.models / "Tolvane_Settings.txt"), "GUIDE = FALSE\nVERSION = 5.0.0\n");
  test::WriteBytes(f.models / "Tolvane_Settings.txt", "GUIDE = TRUE\n");
  Prepare();
  EXPECT_EQ(test::ReadBytes(f.models / "Tolvane_Settings.txt"), "GUIDE = TRUE\n");
}

TEST_F(UserTreeTest, APortableTreeKeepsItsOwnFolders) {
  env_["TOLVANE_HOME"] = (dir_ / "portable").string();
  fs::copy(fs::path(TOLVANE_SOURCE_DATA), dir_ / "portable", fs::copy_options::recursive);
  const auto shipped = Snapshot(dir_ / "portable");
  const USER_TREE_RESULT r = Prepare();
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(r.filesAdded, 0);  // its configurations are where they are read
  const FOLDERS f = Folders();
  EXPECT_TRUE(f.installedModels.empty());
  EXPECT_TRUE(fs::is_directory(dir_ / "portable/Programs"));
  EXPECT_TRUE(fs::is_directory(dir_ / "portable/Logs"));
  EXPECT_EQ(KeyValues(dir_ / "portable/Settings").at("VERSION"), kVersion);
  auto after = Snapshot(dir_ / "portable");
  std::erase_if(after, [](const auto& e) { return e.first.starts_with("Settings/"); });
  EXPECT_EQ(after, shipped);
}

TEST(ShippedFiles, AddedOnlyWhereMissingAndNeverIntoTheSameFolder) {
  test::TempDir dir;
  const fs::path shipped = dir / "share/Configs";
  fs::create_directories(shipped / "folder");
  test::WriteBytes(shipped / "QR27_Factory.cfg", "factory");
  test::WriteBytes(shipped / "QR27 Pump Down Sump.txt", "sump");
  fs::create_symlink(dir / "nowhere", shipped / "dangling.cfg");
  const fs::path target = dir / "Documents/tolvane/Configs";
  EXPECT_EQ(AddShippedFiles(shipped, target), 2);
  EXPECT_EQ(Snapshot(target),
            (std::map<std::string, std::string>{{"QR27_Factory.cfg", "factory"}, {"QR27 Pump Down Sump.txt", "sump"}}));

  test::WriteBytes(target / "QR27 Pump Down Sump.txt", "edited");
  fs::remove(target / "QR27_Factory.cfg");
  fs::create_symlink(dir / "elsewhere", target / "QR27_Factory.cfg");  // whatever the user put there stays
  EXPECT_EQ(AddShippedFiles(shipped, target), 0);
  EXPECT_EQ(test::ReadBytes(target / "QR27 Pump Down Sump.txt"), "edited");
  EXPECT_TRUE(fs::is_symlink(target / "QR27_Factory.cfg"));

  // The same folder under other names: nothing to add.
  fs::create_directory_symlink(shipped, dir / "linked");
  for (const fs::path& same : {shipped, dir / "share/./Configs", dir / "linked"}) {
    fs::remove(shipped / "QR27_Factory.cfg");
    EXPECT_EQ(AddShippedFiles(dir / "share/Configs", same), 0) << same;
    test::WriteBytes(shipped / "QR27_Factory.cfg", "factory");
  }
  // Nothing shipped, or no folders given.
  EXPECT_EQ(AddShippedFiles(dir / "nothing", dir / "else"), 0);
  EXPECT_FALSE(fs::exists(dir / "else"));
  EXPECT_EQ(AddShippedFiles({}, {}), 0);

  // A target that cannot be made is named.
  std::vector<TREE_PROBLEM> problems;
  test::WriteBytes(dir / "plain", "x");
  EXPECT_EQ(AddShippedFiles(shipped, dir / "plain/Configs", &problems), 0);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].path, dir / "plain/Configs");
}

// Runs `work` in `count` child processes released at the same moment; true
// when every child ended with status 0.
bool InProcessesAtOnce(int count, const std::function<bool(int)>& work) {
  int gate[2];
  if (::pipe(gate) != 0) {
    return false;
  }
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(gate[1]);
      char c;
      const ssize_t n = ::read(gate[0], &c, 1);  // ends when the parent closes the gate
      (void)n;
      ::_exit(work(i) ? 0 : 1);
    }
    children.push_back(pid);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  bool ok = true;
  for (const pid_t pid : children) {
    int status = 0;
    ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}

TEST_F(UserTreeTest, TwoProgramsStartingAtOnceBothFindAWholeTree) {
  const auto configs = Snapshot(Data() / "Configs");
  for (int round = 0; round < 6; ++round) {
    env_["HOME"] = (dir_ / ("home" + std::to_string(round))).string();
    ASSERT_TRUE(InProcessesAtOnce(2,
                                  [this](int) {
                                    const FOLDERS f = Folders();
                                    CUserRegistry registry(f.settings);
                                    if (!PrepareUserTree(f, registry, kVersion).problems.empty()) {
                                      return false;
                                    }
                                    // Both go on to load the settings, which adds the store's defaults at once.
                                    APP_SETTINGS settings;
                                    const std::string corporateId = "Kestrine";
                                    const std::string programName = "Tolvane";
                                    CSettingsStore store(registry, corporateId, programName, settings, f.models, {});
                                    int code = 0;
                                    return !store.LoadAll(&code) && settings.version == kVersion &&
                                           settings.guideFile == kShippedGuide;
                                  }))
        << "round " << round;
    const FOLDERS f = Folders();
    EXPECT_EQ(Snapshot(f.configs), configs) << "round " << round;  // whole files, no temporary ones
    EXPECT_EQ(Snapshot(f.programs).size(), 2u) << "round " << round;
    EXPECT_EQ(KeyValues(f.settings).size(), 12u) << "round " << round;
  }
}

TEST(UserRegistry, ValuesSetByTwoProgramsAtOnceAreAllKept) {
  test::TempDir dir;
  CUserRegistry registry(dir.path());
  ASSERT_TRUE(registry.CreateKey(kKey));
  constexpr int kEach = 40;
  ASSERT_TRUE(InProcessesAtOnce(2, [&](int who) {
    CUserRegistry mine(dir.path());
    if (mine.OpenKey(kKey) != IRegistry::Status::Ok) {
      return false;
    }
    for (int i = 0; i < kEach; ++i) {
      if (mine.SetValue("V" + std::to_string(who) + "_" + std::to_string(i), std::to_string(i)) !=
          IRegistry::Status::Ok) {
        return false;
      }
    }
    return true;
  }));
  ASSERT_EQ(registry.OpenKey(kKey), IRegistry::Status::Ok);
  std::vector<std::string> names;
  ASSERT_EQ(registry.EnumValues(names), IRegistry::Status::Ok);
  EXPECT_EQ(names.size(), 2u * kEach);
}

}  // namespace
}  // namespace tolvane

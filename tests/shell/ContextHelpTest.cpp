// Context help: the topic table, the byte search in help files and the choice
// of help file, against the help files the build compiles.
#include "shell/ContextHelp.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "defs/ModelTestSupport.h"
#include "link/sim/SimBridge.h"
#include "shell/ChmArchive.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

const std::filesystem::path kHelp = TOLVANE_HELP_DIR;
const std::filesystem::path kModels = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";

class RecordingViewer : public IHelpViewer {
 public:
  void ShowHelp(const std::string& path) override { shown.push_back(path); }
  std::vector<std::string> shown;
};

// ---------------------------------------------------------------------------
// The topic table

TEST(HelpTopicTable, HoldsNothingBeforeTheFirstIdentification) {
  CHelpTopicTable table;
  std::string topic = "unchanged";
  EXPECT_EQ(table.GetTopic(1027, topic), -1);
  EXPECT_EQ(topic, "GETTING_STARTED.htm");
  EXPECT_EQ(table.SetTopic(1027, "X.htm"), -1);
  EXPECT_TRUE(table.Entries().empty());
}

TEST(HelpTopicTable, DefaultsInTableOrder) {
  using E = std::pair<int, std::string>;
  std::vector<E> expected;
  auto run = [&expected](int first, int last, const char* topic) {
    for (int id = first; id <= last; ++id) {
      expected.emplace_back(id, topic);
    }
  };
  const char* levels = "TANK_LEVELS_GROUP.htm";
  const char* config = "CONFIGURATION_GROUP.htm";
  const char* start = "GETTING_STARTED.htm";
  const char* file = "CONFIGURATION_FILE.htm";
  run(1002, 1002, levels);
  run(1004, 1004, start);
  run(1006, 1013, config);
  run(1030, 1030, config);
  run(1032, 1032, config);
  run(1014, 1022, levels);
  run(1023, 1023, config);
  run(1024, 1026, file);
  run(1027, 1027, "WRITE_TO_UNIT.htm");
  run(1028, 1028, "VIEW_DRAWING.htm");
  run(1029, 1029, "DESCRIPTION.htm");
  run(1031, 1032, start);
  run(1033, 1041, config);
  run(1042, 1047, levels);
  run(1048, 1048, file);
  run(1061, 1061, "PRINT_CONFIG.htm");
  run(1050, 1050, start);
  run(1052, 1052, config);
  run(1054, 1054, config);
  run(1055, 1058, levels);
  run(1059, 1059, file);
  run(1060, 1060, "DESCRIPTION.htm");
  run(1062, 1062, "ADVANCED.htm");

  CHelpTopicTable table;
  table.ResetDefaults();
  std::vector<E> actual;
  for (const auto& e : table.Entries()) {
    actual.emplace_back(e.controlId, e.topic);
  }
  EXPECT_EQ(actual.size(), 57u);
  EXPECT_EQ(actual, expected);
}

TEST(HelpTopicTable, SetAndGetUseTheFirstEntryOfAnId) {
  CHelpTopicTable table;
  table.ResetDefaults();
  // 1032 has two entries: the configuration item and, further on, the
  // getting-started one. Only the first changes and is found.
  EXPECT_EQ(table.SetTopic(1032, "ITEM9.htm"), 0);
  std::string topic;
  EXPECT_EQ(table.GetTopic(1032, topic), 0);
  EXPECT_EQ(topic, "ITEM9.htm");
  int seen = 0;
  for (const auto& e : table.Entries()) {
    if (e.controlId == 1032) {
      EXPECT_EQ(e.topic, seen++ == 0 ? "ITEM9.htm" : "GETTING_STARTED.htm");
    }
  }
  EXPECT_EQ(seen, 2);

  // Ids not in the table: 1049 and 1051 (labels of items 8 and 9) and 1020's
  // neighbours that do not exist.
  const auto before = table.Entries().size();
  EXPECT_EQ(table.SetTopic(1049, "X.htm"), -1);
  EXPECT_EQ(table.SetTopic(1051, "X.htm"), -1);
  EXPECT_EQ(table.Entries().size(), before);
  topic.clear();
  EXPECT_EQ(table.GetTopic(1063, topic), -1);
  EXPECT_EQ(topic, "GETTING_STARTED.htm");
  EXPECT_EQ(table.GetTopic(1020, topic), 0);
  EXPECT_EQ(topic, "TANK_LEVELS_GROUP.htm");

  // Back to the defaults.
  table.ResetDefaults();
  EXPECT_EQ(table.GetTopic(1032, topic), 0);
  EXPECT_EQ(topic, "CONFIGURATION_GROUP.htm");
  EXPECT_EQ(table.Entries().size(), 57u);
}

// ---------------------------------------------------------------------------
// The byte search

class TopicSearch : public ::testing::Test {
 protected:
  bool Has(std::string_view bytes, const std::string& topic) {
    test::WriteBytes(dir_ / "file.chm", bytes);
    return HelpFileHasTopic(dir_ / "file.chm", topic, box_, "cannot open");
  }
  bool HasInBuilt(const char* file, const std::string& topic) {
    return HelpFileHasTopic(kHelp / file, topic, box_, "cannot open");
  }

  test::TempDir dir_;
  test::RecordingMessages box_;
};

TEST_F(TopicSearch, FindsEveryPageOfTheBuiltHelpFiles) {
  for (const char* page : {"GETTING_STARTED.htm", "CONFIGURATION_GROUP.htm", "TANK_LEVELS_GROUP.htm",
                           "CONFIGURATION_FILE.htm", "WRITE_TO_UNIT.htm", "VIEW_DRAWING.htm", "DESCRIPTION.htm",
                           "PRINT_CONFIG.htm", "ADVANCED.htm", "DEMO.htm", "UPDATE_SENSOR.htm", "UPDATE_PROGRAM.htm"}) {
    EXPECT_TRUE(HasInBuilt("Tolvane.chm", page)) << page;
  }
  // Every topic that the QR27 model names is in its help file.
  for (const char* page :
       {"QR27_APPLICATION.htm", "QR27_ANALOG_OUTPUT.htm", "QR27_RELAYS.htm", "QR27_FAIL_SAFE.htm", "QR27_RESPONSE.htm",
        "QR27_LEVELS.htm", "QR27_FACTORY_CONFIG.htm", "QR27_CLEAR_SCREEN.htm", "QR27_ADVANCED.htm"}) {
    EXPECT_TRUE(HasInBuilt("QR27.chm", page)) << page;
  }
  // The model's file leaves the general pages to the main file.
  EXPECT_FALSE(HasInBuilt("QR27.chm", "PRINT_CONFIG.htm"));
  EXPECT_FALSE(HasInBuilt("Tolvane.chm", "QR27_RELAYS.htm"));
  // Bytes, not names: another case is another topic.
  EXPECT_FALSE(HasInBuilt("Tolvane.chm", "write_to_unit.htm"));
  // Inside a longer word still counts.
  EXPECT_TRUE(HasInBuilt("QR27.chm", "LEVELS.htm"));
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(TopicSearch, AMismatchRestartsAtTheFirstCharacter) {
  EXPECT_TRUE(Has("xxAABxx", "AAB"));
  // After "AA" the third A fails against B and is compared with the first
  // character again: the search goes on from "A" and never sees "AAB".
  EXPECT_FALSE(Has("AAAB", "AAB"));
  // A later mismatch compares the same byte with the first character.
  EXPECT_TRUE(Has("ABABC", "ABC"));
  EXPECT_TRUE(Has("ZZTOPIC.htm", "TOPIC.htm"));
  EXPECT_FALSE(Has("TOPIC.ht", "TOPIC.htm"));
  EXPECT_FALSE(Has("", "TOPIC.htm"));
  EXPECT_FALSE(Has("anything", ""));
}

TEST_F(TopicSearch, AMatchRunsAcrossThe1000BytePieces) {
  for (const std::size_t at : {995u, 996u, 999u, 1000u, 1995u}) {
    std::string bytes(at, '.');
    bytes += "WRITE_TO_UNIT.htm";
    bytes += std::string(50, '.');
    EXPECT_TRUE(Has(bytes, "WRITE_TO_UNIT.htm")) << at;
  }
  // Broken at the piece border: no match.
  std::string broken(995, '.');
  broken += "WRITE_x_UNIT.htm";
  EXPECT_FALSE(Has(broken, "WRITE_TO_UNIT.htm"));
}

TEST_F(TopicSearch, ComparesTheLowByteOfEachCharacter) {
  // "Ü" is U+00DC: the file's byte 0xDC matches it, its two UTF-8 bytes do not.
  EXPECT_TRUE(Has("x\xDC.htm", "\xC3\x9C.htm"));
  EXPECT_FALSE(Has("x\xC3\x9C.htm", "\xC3\x9C.htm"));
}

TEST_F(TopicSearch, AFileThatCannotBeOpenedShowsTheMessage) {
  EXPECT_FALSE(HelpFileHasTopic(dir_ / "missing.chm", "GETTING_STARTED.htm", box_, "cannot open"));
  EXPECT_FALSE(HelpFileHasTopic(dir_.path(), "GETTING_STARTED.htm", box_, "cannot open"));
  using M = std::pair<std::string, unsigned>;
  EXPECT_EQ(box_.shown, (std::vector<M>{{"cannot open", MB_ERROR}, {"cannot open", MB_ERROR}}));
  // A named pipe in the help file's place is not waited for.
  ASSERT_TRUE(test::MakeFifo(dir_ / "pipe.chm"));
  const auto searched = test::RunInChild(
      [&] {
        test::RecordingMessages box;
        const bool found = HelpFileHasTopic(dir_ / "pipe.chm", "GETTING_STARTED.htm", box, "cannot open");
        return found ? 2 : static_cast<int>(box.shown.size());
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(searched.has_value()) << "the search waits on a named pipe";
  EXPECT_EQ(*searched, 1) << "refused with the message";
}

// ---------------------------------------------------------------------------
// Help paths

TEST(HelpPath, JoinsAndSplits) {
  EXPECT_EQ(HelpPath("/opt/t/Help", "Tolvane.chm", "DEMO.htm"), "/opt/t/Help/Tolvane.chm::/DEMO.htm");
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(SplitHelpPath("/opt/t/Help/Tolvane.chm::/DEMO.htm"), P("/opt/t/Help/Tolvane.chm", "DEMO.htm"));
  EXPECT_EQ(SplitHelpPath("/h/Tolvane.chm::/"), P("/h/Tolvane.chm", ""));
  EXPECT_EQ(SplitHelpPath("/h/Tolvane.chm"), P("/h/Tolvane.chm", ""));
  // The first "::/" separates; the topic keeps whatever follows.
  EXPECT_EQ(SplitHelpPath("a.chm::/b::/c.htm"), P("a.chm", "b::/c.htm"));
}

// ---------------------------------------------------------------------------
// The help file for a control

class ContextHelpTest : public ::testing::Test {
 protected:
  ContextHelpTest() {
    EXPECT_EQ(language_.Load("Tolvane_Language.txt"), 0);
    tables_.program.mainHelp = "Tolvane.chm";
    table_.ResetDefaults();
  }
  std::string Main(const std::string& topic) const { return (kHelp / "Tolvane.chm").string() + "::/" + topic; }
  std::string Model(const std::string& topic) const { return (kHelp / "QR27.chm").string() + "::/" + topic; }
  std::string Missing() const { return language_.Text("ERROR_MESSAGE70", settings_.languageNumber); }

  CHelpTopicTable table_;
  RecordingViewer viewer_;
  test::RecordingMessages box_;
  CLanguageFile language_{kModels, nullptr};
  APP_SETTINGS settings_;
  MODEL_TABLES tables_;
  CContextHelp help_{table_, viewer_, box_, language_, settings_, kHelp, tables_};
};

TEST_F(ContextHelpTest, AMissingModelHelpFileShowsTheMessageThenTheMainFile) {
  tables_.helpFile = "QR99.chm";
  help_.ShowControlHelp(1020);
  EXPECT_EQ(viewer_.shown, std::vector<std::string>{Main("TANK_LEVELS_GROUP.htm")});
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].first, Missing());
  EXPECT_EQ(box_.shown[0].second, MB_ERROR);
  // In the run's language.
  settings_.languageNumber = 1;
  help_.ShowControlHelp(1020);
  ASSERT_EQ(box_.shown.size(), 2u);
  EXPECT_EQ(box_.shown[1].first, language_.Text("ERROR_MESSAGE70", 1));
  EXPECT_NE(box_.shown[1].first, box_.shown[0].first);
}

TEST_F(ContextHelpTest, NoModelHelpFileMeansTheMainFileWithoutAMessage) {
  tables_.helpFile.clear();
  help_.ShowControlHelp(1027);
  help_.ShowControlHelp(4242);  // not in the table
  EXPECT_EQ(viewer_.shown, (std::vector<std::string>{Main("WRITE_TO_UNIT.htm"), Main("GETTING_STARTED.htm")}));
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ContextHelpTest, TheModelFileServesOnlyTheTopicsItHolds) {
  tables_.helpFile = "QR27.chm";
  table_.SetTopic(1006, "QR27_APPLICATION.htm");
  table_.SetTopic(1023, "QR27_MISSING_PAGE.htm");
  help_.ShowControlHelp(1006);
  help_.ShowControlHelp(1061);
  help_.ShowControlHelp(1023);
  EXPECT_EQ(viewer_.shown, (std::vector<std::string>{Model("QR27_APPLICATION.htm"), Main("PRINT_CONFIG.htm"),
                                                     Main("QR27_MISSING_PAGE.htm")}));
  EXPECT_TRUE(box_.shown.empty());
  // The file names are read at each call: a model without a help file.
  tables_.helpFile.clear();
  EXPECT_EQ(help_.ControlHelpPath(1006), Main("QR27_APPLICATION.htm"));
}

TEST_F(ContextHelpTest, AModelHelpFileNameThatLeavesTheHelpFolderCountsAsMissing) {
  for (const char* name : {"../Help/QR27.chm", "/etc/passwd", ".."}) {
    tables_.helpFile = name;
    EXPECT_EQ(help_.ControlHelpPath(1006), Main("CONFIGURATION_GROUP.htm")) << name;
  }
  EXPECT_EQ(box_.shown.size(), 3u);
}

TEST_F(ContextHelpTest, PagesComeFromTheMainFile) {
  tables_.helpFile = "QR27.chm";
  help_.ShowPage("GETTING_STARTED.htm");
  help_.ShowPage("DEMO.htm");
  EXPECT_EQ(viewer_.shown, (std::vector<std::string>{Main("GETTING_STARTED.htm"), Main("DEMO.htm")}));
  EXPECT_TRUE(box_.shown.empty());
}

// Every configuration model the program ships names a help file the build
// compiles, and every topic the model gives a control is a page of that file:
// the context help opens it there, not in the main file.
TEST(ShippedModelHelp, EveryTopicAModelNamesIsInItsHelpFile) {
  int failed = 0;
  const auto models = test::LoadShippedConfigurationModels(kModels, TOLVANE_PROTECTED_MODELS_DIR, failed);
  EXPECT_EQ(failed, 0);
  ASSERT_EQ(models.size(), 3u);
  CLanguageFile language{kModels, nullptr};
  ASSERT_EQ(language.Load("Tolvane_Language.txt"), 0);
  const APP_SETTINGS settings;
  for (const auto& m : models) {
    SCOPED_TRACE(m.file.filename().string());
    MODEL_TABLES& tables = *m.loaded->tables;
    ASSERT_FALSE(tables.helpFile.empty());
    CChmArchive chm;
    ASSERT_TRUE(chm.Open(kHelp / tables.helpFile)) << tables.helpFile;

    // The file opens on a page of its own, and its contents lead to its pages.
    const CHM_SYSTEM_INFO info = chm.SystemInfo();
    EXPECT_TRUE(chm.Exists(info.defaultTopic)) << info.defaultTopic;
    const auto hhc = chm.Read(info.contentsFile);
    ASSERT_TRUE(hhc.has_value()) << info.contentsFile;
    std::set<std::string> listed;
    for (const auto& e : ParseContents(*hhc)) {
      EXPECT_TRUE(chm.Exists(e.local)) << e.local;
      listed.insert(e.local);
    }

    // The topics the model set while it loaded: items, levels, Factory Config,
    // Clear Screen, Advanced.
    const auto& topics = m.loaded->help.topics;
    std::set<int> ids;
    for (const auto& [id, topic] : topics) {
      ids.insert(id);
    }
    for (const int id : {1023, 1052, 1062}) {
      EXPECT_EQ(ids.count(id), 1u) << "no topic for control " << id;
    }
    EXPECT_GE(ids.size(), static_cast<std::size_t>(2 * m.loaded->model().itemCount + 3));

    tables.program.mainHelp = "Tolvane.chm";
    CHelpTopicTable table;
    table.ResetDefaults();
    RecordingViewer viewer;
    test::RecordingMessages box;
    CContextHelp help(table, viewer, box, language, settings, kHelp, tables);
    for (const auto& [id, topic] : topics) {
      EXPECT_TRUE(chm.Exists(topic)) << id << ": " << topic;
      EXPECT_EQ(listed.count(topic), 1u) << topic << " is not in the contents";
      table.SetTopic(id, topic);
      EXPECT_EQ(help.ControlHelpPath(id), HelpPath(kHelp, tables.helpFile, topic)) << id;
    }
    EXPECT_TRUE(box.shown.empty());
  }
}

// The table as identification leaves it: the model of the unit overrides a
// few topics, the next identification sets them back.
TEST(ContextHelpAfterIdentification, FollowsTheLoadedModel) {
  test::TempDir dir;
  test::RecordingMessages box;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  CUserRegistry registry{dir / "Settings"};
  ASSERT_TRUE(registry.CreateKey({"Software", "Kestrine", "Tolvane", "01"}));
  struct : IErrorDetail {
    void Show(const std::string&, const std::string&) override {}
  } errors;
  struct : IBusyWindow {
    void SetMessage(const std::string&) override {}
    void SetProgress(int) override {}
  } busy;
  FOLDERS folders;
  folders.models = kModels;
  folders.logs = dir.path();
  folders.help = kHelp;
  CHelpTopicTable table;
  CProgramCore core(folders,
                    PROGRAM_SERVICES{box, errors, busy, bridge, clock, registry, [] { return std::tm{}; }, &table});
  int code = 0;
  ASSERT_EQ(core.Start(code), CProgramCore::StartResult::Ok);
  RecordingViewer viewer;
  CContextHelp help(table, viewer, box, core.language, core.settings, folders.help, core.tables);

  // The demonstration unit is a QR27: its model sets HLPRESET, HLPLVL and the
  // item topics, and names QR27.chm.
  IDENTIFY_RESULT result;
  ASSERT_EQ(core.IdentifyUnit(true, nullptr, result), 1);
  EXPECT_EQ(core.tables.helpFile, "QR27.chm");
  std::string topic;
  table.GetTopic(1052, topic);
  EXPECT_EQ(topic, "QR27_CLEAR_SCREEN.htm");
  EXPECT_EQ(help.ControlHelpPath(1052), (kHelp / "QR27.chm").string() + "::/QR27_CLEAR_SCREEN.htm");
  EXPECT_EQ(help.ControlHelpPath(1019), (kHelp / "QR27.chm").string() + "::/QR27_LEVELS.htm");
  // A level label keeps the group's topic, from the main file.
  EXPECT_EQ(help.ControlHelpPath(1047), (kHelp / "Tolvane.chm").string() + "::/TANK_LEVELS_GROUP.htm");

  // The next identification starts from the defaults; a model without
  // HLPRESET leaves 1052 there.
  table.ResetDefaults();
  core.models.ParseModelText("HELPFILE = QR27.chm\nHLPADV = QR27_ADVANCED.htm\n", "QRModel_Plain.txt");
  table.GetTopic(1052, topic);
  EXPECT_EQ(topic, "CONFIGURATION_GROUP.htm");
  EXPECT_EQ(help.ControlHelpPath(1052), (kHelp / "Tolvane.chm").string() + "::/CONFIGURATION_GROUP.htm");
  EXPECT_EQ(help.ControlHelpPath(1062), (kHelp / "QR27.chm").string() + "::/QR27_ADVANCED.htm");
  EXPECT_TRUE(box.shown.empty());
}

// ---------------------------------------------------------------------------
// Reading help files

TEST(ChmArchive, ReadsPagesOfTheBuiltFiles) {
  CChmArchive chm;
  ASSERT_TRUE(chm.Open(kHelp / "Tolvane.chm"));
  const auto page = chm.Read("/WRITE_TO_UNIT.htm");
  ASSERT_TRUE(page.has_value());
  EXPECT_NE(page->find("<title>Write to Unit</title>"), std::string::npos);
  // Without the leading slash, and in another case.
  EXPECT_EQ(chm.Read("write_to_unit.htm"), page);
  EXPECT_TRUE(chm.Exists("style.css"));
  EXPECT_FALSE(chm.Exists("/NOT_THERE.htm"));
  EXPECT_FALSE(chm.Read("/NOT_THERE.htm").has_value());
  EXPECT_FALSE(chm.Read(std::string(600, 'a')).has_value());
  const CHM_SYSTEM_INFO info = chm.SystemInfo();
  EXPECT_EQ(info.defaultTopic, "GETTING_STARTED.htm");
  EXPECT_EQ(info.title, "Tolvane Help");

  ASSERT_TRUE(chm.Open(kHelp / "QR27.chm"));
  EXPECT_EQ(chm.SystemInfo().defaultTopic, "QR27_OVERVIEW.htm");
  EXPECT_FALSE(chm.Exists("/WRITE_TO_UNIT.htm"));
  chm.Close();
  EXPECT_FALSE(chm.IsOpen());
  EXPECT_FALSE(chm.Read("/QR27_OVERVIEW.htm").has_value());
}

TEST(ChmArchive, PicturesThatAreNotThereLeaveNoTrace) {
  // The build leaves out a figure whose picture is missing, and compiles the
  // picture in when it is there.
  const std::filesystem::path picture =
      std::filesystem::path(TOLVANE_SOURCE_DATA).parent_path() / "data-src/Help/Tolvane/images/configuration_form.png";
  CChmArchive chm;
  ASSERT_TRUE(chm.Open(kHelp / "Tolvane.chm"));
  const auto page = chm.Read("/CONFIGURATION_GROUP.htm");
  ASSERT_TRUE(page.has_value());
  const bool referenced = page->find("images/configuration_form.png") != std::string::npos;
  EXPECT_EQ(referenced, std::filesystem::exists(picture));
  EXPECT_EQ(chm.Exists("/images/configuration_form.png"), std::filesystem::exists(picture));
  EXPECT_EQ(page->find("<!-- figure"), std::string::npos);
}

// Every picture a page of the program's help shows is compiled into the file,
// the start window's picture of the getting-started page among them.
TEST(ChmArchive, EveryPictureAPageShowsIsInTheFile) {
  CChmArchive chm;
  ASSERT_TRUE(chm.Open(kHelp / "Tolvane.chm"));
  const auto hhc = chm.Read(chm.SystemInfo().contentsFile);
  ASSERT_TRUE(hhc.has_value());
  static const std::regex image(R"re(<img [^>]*src="([^"]+)")re");
  std::set<std::string> shown;
  for (const auto& e : ParseContents(*hhc)) {
    const auto page = chm.Read(e.local);
    ASSERT_TRUE(page.has_value()) << e.local;
    for (std::sregex_iterator i(page->begin(), page->end(), image), end; i != end; ++i) {
      const std::string picture = (*i)[1].str();
      EXPECT_TRUE(chm.Exists(picture)) << e.local << ": " << picture;
      shown.insert(picture);
    }
  }
  for (const char* picture : {"images/start_dialog.png", "images/busy_window.png", "images/view_guide.png",
                              "images/help_viewer.png", "images/configuration_form.png"}) {
    EXPECT_EQ(shown.count(picture), 1u) << picture;
  }
}

TEST(ChmArchive, RefusesWhatIsNotAHelpFile) {
  test::TempDir dir;
  test::WriteBytes(dir / "text.chm", "not a help file at all");
  test::WriteBytes(dir / "empty.chm", "");
  CChmArchive chm;
  EXPECT_FALSE(chm.Open(dir / "text.chm"));
  EXPECT_FALSE(chm.Open(dir / "empty.chm"));
  EXPECT_FALSE(chm.Open(dir / "missing.chm"));
  EXPECT_FALSE(chm.Open(dir.path()));
  EXPECT_FALSE(chm.IsOpen());
  EXPECT_FALSE(chm.Exists("/GETTING_STARTED.htm"));
}

// chmlib allocates the sizes a file's headers name before it checks them:
// a file that names a huge directory chunk or compressed block is refused
// before chmlib sees it.
TEST(ChmArchive, RefusesHeadersThatNameHugeSizes) {
  test::TempDir dir;
  const std::string good = test::ReadBytes(kHelp / "QR27.chm");
  ASSERT_GT(good.size(), 0x200u);
  auto patched = [&](std::size_t at, std::uint32_t value) {
    std::string bytes = good;
    for (std::size_t i = 0; i < 4; ++i) {
      bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    test::WriteBytes(dir / "patched.chm", bytes);
    return dir / "patched.chm";
  };
  const std::uint32_t dirOffset =
      static_cast<unsigned char>(good[0x48]) | static_cast<std::uint32_t>(static_cast<unsigned char>(good[0x49])) << 8;
  ASSERT_EQ(good.compare(dirOffset, 4, "ITSP"), 0);
  CChmArchive chm;
  EXPECT_TRUE(chm.Open(patched(dirOffset + 0x10, 0x1000)));
  EXPECT_TRUE(chm.Exists("/QR27_LEVELS.htm"));
  EXPECT_FALSE(chm.Open(patched(dirOffset + 0x10, 0xFE000000u)));
  EXPECT_FALSE(chm.Open(patched(dirOffset + 0x10, 0)));
  EXPECT_FALSE(chm.Open(patched(0x48, 0x7FFFFFF0u)));   // directory past the end
  EXPECT_FALSE(chm.Open(patched(0, 0x46535449u + 1)));  // not "ITSF"
  test::WriteBytes(dir / "short.chm", good.substr(0, 0x40));
  EXPECT_FALSE(chm.Open(dir / "short.chm"));

  // The compressed block size, in the reset table.
  ASSERT_TRUE(chm.Open(kHelp / "QR27.chm"));
  const auto reset = chm.Read(
      "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable");
  ASSERT_TRUE(reset.has_value());
  ASSERT_GE(reset->size(), 0x28u);
  const std::size_t at = good.find(*reset);
  ASSERT_NE(at, std::string::npos);
  EXPECT_FALSE(chm.Open(patched(at + 0x20, 0x40000000u)));
  EXPECT_FALSE(chm.Open(patched(at + 0x20, 0)));
  EXPECT_TRUE(chm.Open(patched(at + 0x20, 0x8000u)));

  // The control data's window, which chmlib halves and divides by (in units
  // of 0x8000 bytes in version 2 of the control data).
  const std::size_t control = good.find("LZXC");
  ASSERT_NE(control, std::string::npos);
  ASSERT_EQ(good[control + 4], 2);
  EXPECT_FALSE(chm.Open(patched(control - 4 + 16, 0)));
  EXPECT_FALSE(chm.Open(patched(control - 4 + 12, 0)));   // reset interval
  EXPECT_FALSE(chm.Open(patched(control, 0x4358414Bu)));  // not "LZXC"
  EXPECT_TRUE(chm.Open(patched(control - 4 + 16, 2)));
}

// The decompressor takes window sizes of 2^15 to 2^21 bytes only; with any
// other, chmlib goes on with no decompressor and crashes in its first reset.
// A reset interval that gives no whole number of blocks per reset divides by
// zero. Both are refused before chmlib sees the file.
TEST(ChmArchive, RefusesControlDataTheDecompressorCannotTake) {
  test::TempDir dir;
  const std::string good = test::ReadBytes(kHelp / "QR27.chm");
  const std::size_t control = good.find("LZXC") - 4;  // size, "LZXC", version, reset, window, windows per reset
  ASSERT_EQ(good[control + 8], 2) << "version 2: reset and window in units of 0x8000 bytes";
  int files = 0;
  auto patched = [&](std::initializer_list<std::pair<std::size_t, std::uint32_t>> words) {
    std::string bytes = good;
    for (const auto& [at, value] : words) {
      for (std::size_t i = 0; i < 4; ++i) {
        bytes[control + at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
      }
    }
    const auto file = dir / ("patched" + std::to_string(++files) + ".chm");
    test::WriteBytes(file, bytes);
    return file;
  };
  // Opens and reads in a child: a file that gets through crashes it.
  auto opensAndReads = [&](const std::filesystem::path& file) {
    return test::RunInChild(
        [&] {
          CChmArchive chm;
          if (!chm.Open(file)) {
            return 0;
          }
          return chm.Read("/QR27_LEVELS.htm").has_value() ? 1 : 2;
        },
        std::chrono::seconds(20));
  };
  using R = std::optional<int>;
  // 2^22: the reset interval a multiple of half of it, as chmlib asks.
  EXPECT_EQ(opensAndReads(patched({{12, 0x40}, {16, 0x80}})), R(0));
  // 2^14 (version 1 counts bytes).
  EXPECT_EQ(opensAndReads(patched({{8, 1}, {12, 0x4000}, {16, 0x4000}})), R(0));
  // Not a power of two.
  EXPECT_EQ(opensAndReads(patched({{12, 3}, {16, 3}})), R(0));
  // No windows per reset, and a count of blocks per reset that wraps to 0.
  EXPECT_EQ(opensAndReads(patched({{20, 0}})), R(0));
  EXPECT_EQ(opensAndReads(patched({{20, 0x80000000u}})), R(0));
  // What the decompressor takes still opens, 2^15 and 2^21 (the pages,
  // compressed with another window, then need not read).
  for (const auto& file : {patched({{16, 1}, {12, 2}}), patched({{8, 1}, {12, 0x200000}, {16, 0x200000}})}) {
    const R result = opensAndReads(file);
    ASSERT_TRUE(result.has_value());
    EXPECT_NE(*result, 0);
  }
  EXPECT_EQ(opensAndReads(kHelp / "QR27.chm"), R(1));

  // Control data listed in a section other than 0 or 1: chmlib would send
  // it through its decompressor before the decompressor is set up.
  const std::string name = "::DataSpace/Storage/MSCompressed/ControlData";
  const std::size_t entry = good.find(name);
  ASSERT_NE(entry, std::string::npos);
  ASSERT_EQ(good[entry + name.size()], 0) << "the entry's section";
  std::string moved = good;
  moved[entry + name.size()] = 0x10;
  test::WriteBytes(dir / "section16.chm", moved);
  EXPECT_EQ(opensAndReads(dir / "section16.chm"), R(0));
  // In the compressed section chmlib leaves compression off: the file opens.
  moved[entry + name.size()] = 0x01;
  test::WriteBytes(dir / "section1.chm", moved);
  const R result = opensAndReads(dir / "section1.chm");
  ASSERT_TRUE(result.has_value());
}

TEST(ChmArchive, ANamedPipeIsNotWaitedFor) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeFifo(dir / "pipe.chm"));
  const auto opened = test::RunInChild(
      [&] {
        CChmArchive chm;
        return chm.Open(dir / "pipe.chm") ? 1 : 0;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(opened, std::optional<int>(0));
}

TEST(ChmArchive, TableOfContents) {
  CChmArchive chm;
  ASSERT_TRUE(chm.Open(kHelp / "Tolvane.chm"));
  const CHM_SYSTEM_INFO info = chm.SystemInfo();
  EXPECT_EQ(info.contentsFile, "Tolvane.hhc");
  const auto hhc = chm.Read(info.contentsFile);
  ASSERT_TRUE(hhc.has_value());
  const auto contents = ParseContents(*hhc);
  ASSERT_EQ(contents.size(), 15u);  // with the three tank shape pages
  EXPECT_EQ(contents.front().name, "Getting started");
  EXPECT_EQ(contents.front().local, "GETTING_STARTED.htm");
  EXPECT_EQ(contents.front().level, 0);
  for (const auto& e : contents) {
    EXPECT_TRUE(chm.Exists(e.local)) << e.local;
  }
}

TEST(ChmArchive, ContentsNestingQuotingAndBounds) {
  const auto contents = ParseContents(
      "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Setup &amp; wiring\">"
      "<param name='Local' value='SETUP.htm'></OBJECT>"
      "<ul><li><object type=\"text/sitemap\"><PARAM NAME=Name VALUE=Relays><param name=\"Local\" "
      "value=\"RELAYS.htm#pump\"></object></ul>"
      "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Heading only\"></object>"
      "<li><object type=\"text/sitemap\"><param name=\"ImageNumber\" value=\"5\"></object></ul>"
      "<ul><li><object><param name=\"Name\" value=\"Unended");
  using E = std::tuple<int, std::string, std::string>;
  std::vector<E> got;
  for (const auto& e : contents) {
    got.emplace_back(e.level, e.name, e.local);
  }
  EXPECT_EQ(got, (std::vector<E>{{0, "Setup & wiring", "SETUP.htm"},
                                 {1, "Relays", "RELAYS.htm#pump"},
                                 {0, "Heading only", ""},
                                 {0, "Unended", ""}}));
  EXPECT_TRUE(ParseContents("").empty());
  EXPECT_TRUE(ParseContents("</ul></ul><ul>").empty());

  std::string many;
  for (std::size_t i = 0; i < kMaxContentsEntries + 5; ++i) {
    many += "<object><param name=\"Name\" value=\"x\"></object>";
  }
  EXPECT_EQ(ParseContents(many).size(), kMaxContentsEntries);
}

TEST(ChmArchive, SystemRecords) {
  auto record = [](unsigned code, std::string_view data) {
    std::string r;
    r.push_back(static_cast<char>(code & 0xFF));
    r.push_back(static_cast<char>(code >> 8));
    r.push_back(static_cast<char>(data.size() & 0xFF));
    r.push_back(static_cast<char>(data.size() >> 8));
    return r + std::string(data);
  };
  const std::string version("\x03\x00\x00\x00", 4);
  using namespace std::string_view_literals;
  CHM_SYSTEM_INFO info =
      ParseSystemObject(version + record(9, "x") + record(3, "Title\0"sv) + record(2, "HOME.htm\0junk"sv));
  EXPECT_EQ(info.defaultTopic, "HOME.htm");
  EXPECT_EQ(info.title, "Title");
  // A record that claims more bytes than there are ends the reading.
  info = ParseSystemObject(version + record(3, "T\0"sv) + record(2, "HOME.htm").substr(0, 7));
  EXPECT_EQ(info.title, "T");
  EXPECT_EQ(info.defaultTopic, "");
  EXPECT_EQ(ParseSystemObject("").defaultTopic, "");
  EXPECT_EQ(ParseSystemObject(version + "\x02").defaultTopic, "");
}

}  // namespace
}  // namespace tolvane

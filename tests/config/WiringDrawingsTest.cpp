// The wiring drawings the build ships: every drawing a shipped model names
// is a PDF document in the build's data folder, at the path the Wiring
// Diagram button opens for a program run from the build; its table lists the
// configurations that name it; and the folder holds no drawing that no model
// names.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "common/FileSystem.h"
#include "common/Folders.h"
#include "defs/ModelTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

const fs::path kShippedModels = fs::path(TOLVANE_SOURCE_DATA) / "Models";
const fs::path kDescriptions = fs::path(TOLVANE_SOURCE_DATA).parent_path() / "data-src" / "Drawings";

// The folders as a program of the build resolves them for a user without a
// portable tree.
FOLDERS BuildProgramFolders(const fs::path& home) {
  const PROGRAM_LOCATION location = LocateProgramFolders(TOLVANE_CLI_PATH);
  const std::string homeText = home.string();
  const EnvLookup env = [homeText](std::string_view name) -> std::optional<std::string> {
    if (name == "HOME") {
      return homeText;
    }
    return std::nullopt;
  };
  return ResolveFolders(env, "tolvane", location);
}

// What a PDF reader needs first: the header, the end-of-file marker at the
// end, and a page tree that counts at least one page. Empty when the bytes
// are such a document, else what is wrong.
std::string PdfFault(const std::string& bytes) {
  if (!bytes.starts_with("%PDF-")) {
    return "no %PDF- header";
  }
  const std::size_t end = bytes.find_last_not_of("\r\n ");
  if (end == std::string::npos || end < 4 || bytes.compare(end - 4, 5, "%%EOF") != 0) {
    return "does not end with %%EOF";
  }
  static const std::regex pages(R"(/Type\s*/Pages\b[^>]*?/Count\s+(\d+))");
  std::smatch m;
  if (!std::regex_search(bytes, m, pages)) {
    return "no page tree";
  }
  if (std::stoi(m[1].str()) < 1) {
    return "a page tree without pages";
  }
  return {};
}

// What the test reads of a drawing's description: the model it is of and the
// configuration numbers of its table (the first cell of each row).
struct DESCRIPTION {
  std::string model;
  std::set<int> rows;
};

DESCRIPTION ReadDescription(const fs::path& file) {
  DESCRIPTION d;
  static const std::regex model(R"(^MODEL\s*=\s*(\S+)\s*$)");
  static const std::regex row(R"(^ROW\s*=\s*(\d+)\s*\|)");
  std::istringstream in(test::ReadBytes(file));
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, model)) {
      d.model = m[1].str();
    } else if (std::regex_search(line, m, row)) {
      d.rows.insert(std::stoi(m[1].str()));
    }
  }
  return d;
}

TEST(PdfCheck, TellsADocumentFromWhatIsNot) {
  const std::string good = "%PDF-1.4\n1 0 obj\n<<\n/Type /Pages\n/Kids [3 0 R]\n/Count 1\n>>\nendobj\n%%EOF\n";
  EXPECT_EQ(PdfFault(good), "");
  EXPECT_EQ(PdfFault(good.substr(1)), "no %PDF- header");
  EXPECT_EQ(PdfFault(good.substr(0, good.size() - 3)), "does not end with %%EOF");
  EXPECT_EQ(PdfFault("%PDF-1.4\n/Type /Page\n%%EOF"), "no page tree");
  std::string none = good;
  none.replace(none.find("/Count 1"), 8, "/Count 0");
  EXPECT_EQ(PdfFault(none), "a page tree without pages");
  EXPECT_EQ(PdfFault(""), "no %PDF- header");
}

TEST(ShippedDrawings, EveryDrawingAShippedModelNamesIsAPdfWhereTheWiringDiagramLooks) {
  test::TempDir home;
  const FOLDERS folders = BuildProgramFolders(home.path());
  // A program of the build reads the build's data folder.
  ASSERT_EQ(fs::weakly_canonical(folders.drawings),
            fs::weakly_canonical(fs::path(TOLVANE_BUILD_DATA_DIR) / "Drawings"));

  int failed = 0;
  const auto models = test::LoadShippedConfigurationModels(kShippedModels, TOLVANE_PROTECTED_MODELS_DIR, failed);
  EXPECT_EQ(failed, 0);
  std::set<std::string> modelNames;
  for (const auto& m : models) {
    modelNames.insert(m.file.stem().string());
  }
  EXPECT_EQ(modelNames, (std::set<std::string>{"QRModel_QR25", "QRModel_QR27", "QRModel_QR30"}));

  // Drawing -> the configurations that name it.
  std::map<std::string, std::set<std::string>> named;
  for (const auto& m : models) {
    const MODEL_DEFINITION& d = m.loaded->model();
    for (int n = 0; n < d.configurationCount; ++n) {
      const CONFIGURATION_ENTRY& c = d.configurations[static_cast<std::size_t>(n)];
      named[c.drawingFile].insert(m.file.filename().string() + " #" + std::to_string(c.number));
    }
  }
  ASSERT_FALSE(named.empty());
  for (const auto& [name, users] : named) {
    SCOPED_TRACE(name + ", named by " + *users.begin());
    ASSERT_TRUE(IsSafeLeafName(name));
    const fs::path path = folders.drawings / name;
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    EXPECT_EQ(PdfFault(test::ReadBytes(path)), "");
  }

  // Each drawing's table lists exactly the configurations that name it, of
  // the model its title names.
  for (const auto& m : models) {
    const std::string model = m.file.stem().string().substr(std::string("QRModel_").size());
    const MODEL_DEFINITION& d = m.loaded->model();
    std::map<std::string, std::set<int>> numbers;
    for (int n = 0; n < d.configurationCount; ++n) {
      const CONFIGURATION_ENTRY& c = d.configurations[static_cast<std::size_t>(n)];
      numbers[c.drawingFile].insert(c.number);
    }
    for (const auto& [name, wanted] : numbers) {
      SCOPED_TRACE(name);
      const DESCRIPTION text = ReadDescription(kDescriptions / (fs::path(name).stem().string() + ".txt"));
      EXPECT_EQ(text.model, model);
      EXPECT_EQ(text.rows, wanted);
    }
  }

  // Nothing in the drawings folder that no model names.
  for (const auto& e : fs::directory_iterator(folders.drawings)) {
    EXPECT_EQ(named.count(e.path().filename().string()), 1u) << e.path();
  }
}

}  // namespace
}  // namespace tolvane

// Checks the language file the program ships: every key the program looks up
// is there in both languages, and every text fits the arguments its caller
// formats into it (listed beside the file in Tolvane_Language.args).
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "common/CheckedFormat.h"
#include "defs/LanguageFile.h"

namespace tolvane {
namespace {

const std::filesystem::path kModels = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";

std::vector<std::string> RequiredKeys() {
  std::vector<std::string> keys;
  auto family = [&keys](const char* prefix, std::initializer_list<std::pair<int, int>> ranges) {
    for (const auto& [from, to] : ranges) {
      for (int i = from; i <= to; ++i) {
        keys.push_back(prefix + std::to_string(i));
      }
    }
  };
  family("ERROR_MESSAGE", {{1, 39}, {44, 77}, {79, 81}, {83, 83}, {85, 88}, {90, 115}, {117, 117}, {119, 119}});
  family("STATUS_MESSAGE", {{1, 17}, {22, 42}, {44, 52}});
  family("BUSY_MESSAGE", {{1, 15}});
  for (const char* k : {"IDD_ALTERNATEPAGE",
                        "IDD_BIGDISPLAY",
                        "IDD_BUSYWINDOW",
                        "IDD_CALPAGES",
                        "IDD_COPYRIGHTBOX",
                        "IDD_DIMENSIONFORM",
                        "IDD_DIRECTENTRY",
                        "IDD_ERRORDETAIL",
                        "IDD_GENERICFORM",
                        "IDD_HELP",
                        "IDD_MAINFORM_STUBBEDMODE",
                        "IDD_NONLINEAR",
                        "IDD_SELECTPROGRAM",
                        "IDD_SESSIONOPTS",
                        "IDD_SETFILENAME",
                        "IDD_SETOPTIONS",
                        "IDD_UPDATEPROGRAM",
                        "IDD_VIEWGUIDE",
                        "IDD_ABOUTBOX",
                        "IDM_ABOUTBOX",
                        "IDC_VERSION",
                        "IDC_SHOWDETAILS",
                        "IDC_HIDEDETAILS",
                        "IDOK",
                        "IDCANCEL",
                        "IDC_ACTIVITY",
                        "IDC_ADDRESS_LABEL",
                        "IDC_ADVANCED",
                        "IDC_BROWSE2",
                        "IDC_CFLABEL",
                        "IDC_CHECK_TXT",
                        "IDC_CONFIGFILE",
                        "IDC_CONFIGWINDOW",
                        "IDC_COPYRIGHT1",
                        "IDC_COPYRIGHT2",
                        "IDC_COPYRIGHT3",
                        "IDC_CURRENTRANGELABEL",
                        "IDC_CURRENTVERSIONLABEL",
                        "IDC_CUSTDP",
                        "IDC_CUSTPAGE",
                        "IDC_DEFAULTCFG",
                        "IDC_DETAILS",
                        "IDC_DISCLAIMER",
                        "IDC_DISTANCE_TXT",
                        "IDC_DSLABEL",
                        "IDC_FACTDP",
                        "IDC_FACTPAGE",
                        "IDC_FHLABEL",
                        "IDC_FMWEFN_TXT",
                        "IDC_FRAME_STARTUP",
                        "IDC_FRAME_STATUS",
                        "IDC_HEXDISP",
                        "IDC_HISTDP",
                        "IDC_HW_MODEL",
                        "IDC_INTEGERDISP",
                        "IDC_MEASURED_TXT",
                        "IDC_MODELDESCRIPTION",
                        "IDC_NAMING_INST",
                        "IDC_NO",
                        "IDC_NONLINEAR",
                        "IDC_OCMDP",
                        "IDC_OK",
                        "IDC_OPENFILE",
                        "IDC_OPTIN",
                        "IDC_PNSN",
                        "IDC_PRINTFILE",
                        "IDC_PROGRAM",
                        "IDC_RELAY",
                        "IDC_RESET",
                        "IDC_RESTART",
                        "IDC_SAVEFILE",
                        "IDC_SELECTFIRMWARELABEL",
                        "IDC_SELECTPROGRAM",
                        "IDC_SHLABEL",
                        "IDC_SKIP",
                        "IDC_SKIPINTRO",
                        "IDC_START_STATUS1",
                        "IDC_START_STATUS2",
                        "IDC_START_STATUS3",
                        "IDC_START_STATUS4",
                        "IDC_STUBBEDMODE",
                        "IDC_SW_REVISION",
                        "IDC_TANKWINDOW",
                        "IDC_UNITLABEL",
                        "IDC_UPDATE",
                        "IDC_UPDATEBOX_TXT",
                        "IDC_VALIDCFG",
                        "IDC_VALUE_LABEL",
                        "IDC_VIEWDRAWING",
                        "IDC_VIEWGUIDE_INST",
                        "IDC_WC_UPDATE",
                        "IDC_WRITETARGET",
                        "IDC_YES",
                        "SELECTSTR"}) {
    keys.emplace_back(k);
  }
  // The help viewer.
  for (const char* k : {"IDD_HELPVIEWER", "IDC_HELPBACK", "IDC_HELPFORWARD", "IDC_HELPHOME", "IDC_HELPFIND",
                        "IDC_HELPFINDLABEL", "IDC_HELPFINDNEXT", "IDC_HELPFINDPREVIOUS", "IDC_HELPFINDCLOSE",
                        "IDC_HELPNOTFOUND", "HELP_MESSAGE1", "HELP_MESSAGE2", "HELP_MESSAGE3"}) {
    keys.emplace_back(k);
  }
  // The service tools.
  family("SERVICE_MESSAGE", {{1, 14}});
  for (const char* k : {"IDD_INFOMEMORY", "IDD_TECHSUPPORT", "IDC_TS_SERVER", "IDC_TS_NAME", "IDC_TS_PHONE",
                        "IDC_TS_EMAIL", "IDC_TS_DESCRIPTION", "IDC_TS_SEND"}) {
    keys.emplace_back(k);
  }
  // Tooltips and the main window's status bar.
  for (const char* k : {"TIP_WRITETARGET",   "TIP_VIEWDRAWING",     "TIP_ADVANCED",     "TIP_DEFAULTCFG",
                        "TIP_RESET",         "TIP_OPENFILE",        "TIP_SAVEFILE",     "TIP_PRINTFILE",
                        "TIP_NONLINEAR",     "TIP_TESTCONFIGS",     "TIP_VIEWTANKS",    "TIP_HELP",
                        "TIP_RESTART",       "TIP_STUBBEDMODE",     "TIP_BROWSE2",      "TIP_SELECTPROGRAM",
                        "TIP_PROGRAM",       "TIP_WC_UPDATE",       "TIP_PAUSECHART",   "TIP_EXPORTREADINGS",
                        "STATUSBAR_ADAPTER", "STATUSBAR_NOADAPTER", "STATUSBAR_UNIT",   "STATUSBAR_NOUNIT",
                        "STATUSBAR_DEMO",    "STATUSBAR_FILE",      "STATUSBAR_NOFILE", "STATUSBAR_UNSAVED"}) {
    keys.emplace_back(k);
  }
  return keys;
}

// KEY -> argument types, one letter each (s, d, u, x, f); "-" for none.
std::map<std::string, std::string> ArgumentTypes() {
  std::map<std::string, std::string> types;
  std::ifstream in(kModels / "Tolvane_Language.args");
  std::string line;
  while (std::getline(in, line)) {
    if (const auto hash = line.find('#'); hash != std::string::npos) {
      line.resize(hash);
    }
    std::istringstream words(line);
    std::string key, letters;
    if (words >> key >> letters) {
      types[key] = letters == "-" ? "" : letters;
    }
  }
  return types;
}

std::vector<FormatArg> SampleArguments(const std::string& letters) {
  std::vector<FormatArg> args;
  for (const char c : letters) {
    switch (c) {
      case 's':
        args.emplace_back(std::string("text"));
        break;
      case 'd':
        args.emplace_back(-12LL);
        break;
      case 'u':
      case 'x':
        args.emplace_back(42ULL);
        break;
      case 'f':
        args.emplace_back(3.5);
        break;
      default:
        ADD_FAILURE() << "unknown argument type " << c;
    }
  }
  return args;
}

class ShippedLanguage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(catalogue_.Load("Tolvane_Language.txt"), 0); }
  CLanguageFile catalogue_{kModels, nullptr};
};

TEST_F(ShippedLanguage, HoldsEveryKeyInBothLanguages) {
  EXPECT_EQ(catalogue_.RefusedCount(), 0);
  for (const auto& key : RequiredKeys()) {
    for (int column = 0; column < 2; ++column) {
      std::string text;
      EXPECT_TRUE(catalogue_.Lookup(key, column, text)) << key;
      EXPECT_FALSE(text.empty()) << key << " column " << column;
    }
  }
}

TEST_F(ShippedLanguage, EveryTextFitsItsCallersArguments) {
  const auto types = ArgumentTypes();
  ASSERT_FALSE(types.empty());
  for (const auto& key : RequiredKeys()) {
    const auto it = types.find(key);
    ASSERT_NE(it, types.end()) << key << " has no argument list";
    const auto args = SampleArguments(it->second);
    for (int column = 0; column < 2; ++column) {
      const std::string text = catalogue_.Text(key, column);
      EXPECT_TRUE(PatternFits(text, args)) << key << " column " << column << ": " << text;
      if (args.empty()) {
        // No caller formats it: a lone "%" would show as it stands, which is what we want.
        continue;
      }
      // Every argument is used: the pattern with one argument fewer must not fit.
      const std::vector<FormatArg> fewer(args.begin(), args.end() - 1);
      EXPECT_FALSE(PatternFits(text, fewer)) << key << " column " << column << " ignores an argument: " << text;
    }
  }
}

// The captions that share a window carry an access key each, in both
// languages, and no two of one window the same.
TEST_F(ShippedLanguage, CaptionsOfOneWindowHaveAccessKeysOfTheirOwn) {
  const std::vector<std::vector<const char*>> windows{
      // The configuration form and the main window's Help button.
      {"IDC_WRITETARGET", "IDC_VIEWDRAWING", "IDC_ADVANCED", "IDC_DEFAULTCFG", "IDC_RESET", "IDC_OPENFILE",
       "IDC_SAVEFILE", "IDC_PRINTFILE", "IDC_NONLINEAR", "IDC_TESTCONFIGS", "IDC_VIEWTANKS", "IDC_UNITLABEL",
       "IDC_SHLABEL", "IDC_FHLABEL", "IDC_CFLABEL", "IDC_DSLABEL", "IDD_HELP"},
      // The updates page.
      {"IDC_BROWSE2", "IDC_SELECTPROGRAM", "IDC_PROGRAM", "IDC_WC_UPDATE", "IDC_OPTIN", "IDC_FMWEFN_TXT", "IDD_HELP"},
      {"IDC_RESTART", "IDC_STUBBEDMODE"},
      {"IDC_YES", "IDC_NO", "IDC_SKIPINTRO"},
      {"LIVE_MESSAGE3", "LIVE_MESSAGE4", "IDD_HELP"},
      // The service windows: tech support, direct entry, the data pages viewer.
      {"IDC_TS_SERVER", "IDC_TS_NAME", "IDC_TS_PHONE", "IDC_TS_EMAIL", "IDC_TS_DESCRIPTION", "IDC_TS_SEND"},
      {"IDC_ADDRESS_LABEL", "IDC_VALUE_LABEL", "IDC_CUSTPAGE", "IDC_FACTPAGE", "IDC_UPDATE"},
      {"IDC_CUSTDP", "IDC_FACTDP", "IDC_HISTDP", "IDC_OCMDP", "IDC_INTEGERDISP", "IDC_HEXDISP"},
  };
  for (const auto& window : windows) {
    for (int column = 0; column < 2; ++column) {
      std::map<char32_t, std::string> taken;
      for (const char* key : window) {
        const std::string text = catalogue_.Text(key, column);
        const auto mark = text.find('&');
        ASSERT_NE(mark, std::string::npos) << key << " column " << column << ": " << text;
        ASSERT_LT(mark + 1, text.size()) << key;
        // The key's character, lower case (one byte, or the two of a UTF-8 umlaut).
        const unsigned char first = static_cast<unsigned char>(text[mark + 1]);
        const char32_t character =
            first < 0x80 ? static_cast<char32_t>(std::tolower(first))
                         : (static_cast<char32_t>(first) << 8) | static_cast<unsigned char>(text[mark + 2]);
        const auto [at, fresh] = taken.emplace(character, key);
        EXPECT_TRUE(fresh) << key << " and " << at->second << " share an access key in column " << column;
      }
      EXPECT_EQ(WithoutAccessKeys(catalogue_.Text(window.front(), column)).find('&'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tolvane

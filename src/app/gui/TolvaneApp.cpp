#include "app/gui/TolvaneApp.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <filesystem>

#include "app/gui/Automation.h"
#include "app/gui/OstrelDlg.h"
#include "app/gui/ProgramIcon.h"
#include "app/gui/ProgramPages.h"
#include "app/gui/ServerNetwork.h"
#include "common/FileSystem.h"
#include "link/TtyBridge.h"
#include "shell/UserTree.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

// What the first start could not make, on standard error and in a message
// box in the program's language (the start goes on: what works still works).
void ShowTreeProblems(const FOLDERS& folders, const USER_TREE_RESULT& result) {
  if (result.problems.empty()) {
    return;
  }
  CLanguageFile language(folders.models, nullptr, folders.installedModels);
  APP_SETTINGS settings;
  CORPORATE_NAMES names;
  if (ReadCorporateNames(folders, names) && IsSafeLeafName(names.languageFile)) {
    language.Load(names.languageFile);
    settings.languageNumber = names.languageNumber;
  }
  std::string text;
  for (const TREE_PROBLEM& problem : result.problems) {
    const std::string line = DescribeProblem(problem, &language, settings.languageNumber);
    std::fprintf(stderr, "tolvane: %s\n", line.c_str());
    text += (text.empty() ? "" : "\n") + line;
  }
  CMessageBox box(language, settings, nullptr);
  box.Show(text, MB_ERROR);
}

}  // namespace

CTolvaneApp::CTolvaneApp(std::string executable, std::vector<std::string> args)
    : executable_(std::move(executable)), args_(std::move(args)) {}

std::optional<int> CTolvaneApp::RunWithoutDisplay() {
  switch (ParseAutomationSwitches(args_).action) {
    case AUTOMATION_SWITCHES::Action::Help:
      std::fputs(ProgramHelpText().c_str(), stdout);
      return 0;
    case AUTOMATION_SWITCHES::Action::Version:
      std::fputs(ProgramVersionText(TOLVANE_VERSION).c_str(), stdout);
      return 0;
    case AUTOMATION_SWITCHES::Action::Register:
      return Register();
    case AUTOMATION_SWITCHES::Action::Unregister:
      return Unregister();
    case AUTOMATION_SWITCHES::Action::Run:
      break;
  }
  return std::nullopt;
}

int CTolvaneApp::Run() {
  const AUTOMATION_SWITCHES switches = ParseAutomationSwitches(args_);
  for (const auto& arg : switches.ignored) {
    std::fputs(IgnoredArgumentLine(arg).c_str(), stderr);
  }

  const FOLDERS folders = ResolveFolders(ProcessEnvironment(), "tolvane", RunningProgramLocation());
  CUserRegistry registry(folders.settings);
  ShowTreeProblems(folders, PrepareUserTree(folders, registry, TOLVANE_VERSION));

  RealClock clock;
  link::TtyBridge bridge(link::DeviceRootFromEnvironment());
  CHelpTopicTable helpTopics;
  CDesktopOpener opener;
  CServerNetwork network(opener, clock);
  CProgramPages pages(helpTopics, opener, network);
  pages.SetUpdatePageNetwork(&network);
  START_ENVIRONMENT environment{folders, bridge, clock, registry, SystemLocalTime(),
                                network, pages,  pages, opener,   firstRun_};
  environment.helpTable = &helpTopics;
  COstrelDlg dialog(environment);
  return dialog.Run();
}

int CTolvaneApp::Register() {
  const EnvLookup env = ProcessEnvironment();
  const std::filesystem::path applications = ApplicationsFolder(env);
  // The icon goes into the user's icon theme folder beside the applications folder.
  const std::filesystem::path iconFile = applications.parent_path() / "icons/hicolor/256x256/apps/tolvane.png";
  std::error_code ec;
  std::filesystem::create_directories(iconFile.parent_path(), ec);
  if (!DrawProgramIcon(256).save(QString::fromStdString(iconFile.string()), "PNG")) {
    std::fprintf(stderr, "tolvane: cannot write the icon %s\n", iconFile.c_str());
    return 1;
  }
  const std::filesystem::path executable = std::filesystem::absolute(executable_, ec);
  const std::filesystem::path entry = applications / kDesktopEntryName;
  if (!WriteDesktopEntry(entry, DesktopEntryText(executable, iconFile))) {
    std::fprintf(stderr, "tolvane: cannot write the desktop entry %s\n", entry.c_str());
    return 1;
  }
  std::printf("tolvane: registered %s\n", entry.c_str());
  return 0;
}

int CTolvaneApp::Unregister() {
  const std::filesystem::path applications = ApplicationsFolder(ProcessEnvironment());
  const std::filesystem::path entry = applications / kDesktopEntryName;
  std::error_code ec;
  std::filesystem::remove(applications.parent_path() / "icons/hicolor/256x256/apps/tolvane.png", ec);
  if (!RemoveDesktopEntry(entry)) {
    std::fprintf(stderr, "tolvane: cannot remove the desktop entry %s\n", entry.c_str());
    return 1;
  }
  std::printf("tolvane: unregistered %s\n", entry.c_str());
  return 0;
}

}  // namespace tolvane

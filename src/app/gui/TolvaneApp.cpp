#include "app/gui/TolvaneApp.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <filesystem>

#include "app/gui/Automation.h"
#include "app/gui/OstrelDlg.h"
#include "app/gui/ProgramIcon.h"
#include "app/gui/ProgramPages.h"
#include "link/TtyBridge.h"

namespace tolvane {

CTolvaneApp::CTolvaneApp(std::string executable, std::vector<std::string> args)
    : executable_(std::move(executable)), args_(std::move(args)) {}

int CTolvaneApp::Run() {
  const AUTOMATION_SWITCHES switches = ParseAutomationSwitches(args_);
  switch (switches.action) {
    case AUTOMATION_SWITCHES::Action::Register:
      return Register();
    case AUTOMATION_SWITCHES::Action::Unregister:
      return Unregister();
    case AUTOMATION_SWITCHES::Action::Run:
      break;
  }
  for (const auto& arg : switches.ignored) {
    std::fprintf(stderr, "tolvane: ignoring the argument \"%s\"\n", arg.c_str());
  }

  RealClock clock;
  link::TtyBridge bridge(link::DeviceRootFromEnvironment());
  const FOLDERS folders = ResolveFolders(ProcessEnvironment(), "tolvane", TOLVANE_DATA_DIR);
  CUserRegistry registry(folders.settings);
  CNoNetworkServices network;
  CHelpTopicTable helpTopics;
  CDesktopOpener opener;
  config::CNoUpload upload;
  CProgramPages pages(helpTopics, opener, upload);
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

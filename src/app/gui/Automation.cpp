#include "app/gui/Automation.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace tolvane {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A desktop entry value: the escapes the desktop entry format asks for in a path.
std::string EntryValue(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The program in an Exec line: quoted, with the characters that need it escaped.
std::string ExecArgument(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  quoted += '"';
  return EntryValue(quoted);
}

}  // namespace

AUTOMATION_SWITCHES ParseAutomationSwitches(const std::vector<std::string>& args) {
  AUTOMATION_SWITCHES switches;
  for (const auto& arg : args) {
    std::string name = Lower(arg);
    if (name.rfind("--", 0) == 0) {
      name.erase(0, 2);
    } else if (!name.empty() && (name[0] == '-' || name[0] == '/')) {
      name.erase(0, 1);
    } else {
      switches.ignored.push_back(arg);
      continue;
    }
    using Action = AUTOMATION_SWITCHES::Action;
    const bool printing = switches.action == Action::Help || switches.action == Action::Version;
    if (name == "help" || name == "h" || name == "?") {
      switches.action = Action::Help;
    } else if (name == "version") {
      if (switches.action != Action::Help) {
        switches.action = Action::Version;
      }
    } else if (name == "register" || name == "regserver") {
      if (!printing) {
        switches.action = Action::Register;
      }
    } else if (name == "unregister" || name == "unregserver") {
      if (!printing) {
        switches.action = Action::Unregister;
      }
    } else if (name == "embedding" || name == "automation") {
      switches.embedded = true;
    } else {
      switches.ignored.push_back(arg);
    }
  }
  return switches;
}

std::string ProgramHelpText() {
  return "Usage: tolvane [--register | --unregister] [--embedding | --automation] [--help] [--version]\n"
         "\n"
         "Tolvane, the desktop tool to configure and service ultrasonic level sensors. It finds\n"
         "the sensor's USB adapter, identifies the sensor and opens the configuration form of\n"
         "its model.\n"
         "\n"
         "Options:\n"
         "  --register          Write the desktop entry tolvane.desktop in $XDG_DATA_HOME/applications\n"
         "                      (by default ~/.local/share/applications) with the program's icon, and end\n"
         "  --unregister        Remove that desktop entry and the icon, and end\n"
         "  --embedding, --automation\n"
         "                      Accepted; the program starts as usual\n"
         "  --help              Print this help and end\n"
         "  --version           Print the program's version and end\n"
         "\n"
         "The switches may also be written with one dash or a slash, in any case (-Register,\n"
         "/RegServer). Any other argument is ignored with the line\n"
         "  tolvane: ignoring the argument \"ARG\"\n"
         "\n"
         "Environment:\n"
         "  TOLVANE_HOME        Keep the whole tree (models, configurations, programs, logs,\n"
         "                      settings, help) in this one folder: a portable installation\n"
         "  TOLVANE_DEVICE_ROOT Look for sensor adapters below this folder instead of / (for\n"
         "                      the simulated sensor, tolvane-sim)\n"
         "  XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_DOCUMENTS_DIR\n"
         "                      Where the per-user tree lies (by default ~/.local/share/tolvane,\n"
         "                      ~/.config/tolvane and ~/Documents/tolvane)\n"
         "\n"
         "Exit status: 0 when the program ended normally, 1 when a registration failed.\n";
}

std::string ProgramVersionText(const std::string& version) { return "tolvane " + version + "\n"; }

std::string IgnoredArgumentLine(const std::string& arg) { return "tolvane: ignoring the argument \"" + arg + "\"\n"; }

std::filesystem::path ApplicationsFolder(const EnvLookup& env) {
  if (const auto data = env("XDG_DATA_HOME")) {
    return std::filesystem::path(*data) / "applications";
  }
  return std::filesystem::path(env("HOME").value_or("/tmp")) / ".local/share/applications";
}

std::string DesktopEntryText(const std::filesystem::path& executable, const std::filesystem::path& icon) {
  std::string text;
  text += "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Version=1.4\n";
  text += "Name=Tolvane\n";
  text += "GenericName=Level sensor configuration\n";
  text += "Comment=Configure and service ultrasonic level sensors\n";
  text += "Exec=" + ExecArgument(executable.string()) + "\n";
  text += "Icon=" + EntryValue(icon.string()) + "\n";
  text += "Terminal=false\n";
  text += "Categories=Utility;\n";
  text += "StartupWMClass=tolvane\n";
  return text;
}

bool WriteDesktopEntry(const std::filesystem::path& file, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const auto temporary = std::filesystem::path(file).concat(".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, file, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

bool RemoveDesktopEntry(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return !std::filesystem::exists(file, ec);
}

}  // namespace tolvane

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
    if (name == "register" || name == "regserver") {
      switches.action = AUTOMATION_SWITCHES::Action::Register;
    } else if (name == "unregister" || name == "unregserver") {
      switches.action = AUTOMATION_SWITCHES::Action::Unregister;
    } else if (name == "embedding" || name == "automation") {
      switches.embedded = true;
    } else {
      switches.ignored.push_back(arg);
    }
  }
  return switches;
}

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
  text += "Version=1.5\n";
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

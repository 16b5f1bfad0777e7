// tolvane: the desktop tool for configuring and servicing level sensors.
#include <QApplication>

#include <string>
#include <vector>

#include "app/gui/TolvaneApp.h"

int main(int argc, char** argv) {
  {
    // The help, the version and the registration switches run before the
    // application object is made: they need no display.
    tolvane::CTolvaneApp early(argv[0], std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = early.RunWithoutDisplay()) {
      return *status;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("tolvane");
  QApplication::setApplicationDisplayName("Tolvane");
  QApplication::setDesktopFileName("tolvane");
  // The application object has taken its own options (-platform, ...) out.
  std::vector<std::string> args(argv + 1, argv + argc);
  tolvane::CTolvaneApp program(argv[0], std::move(args));
  return program.Run();
}

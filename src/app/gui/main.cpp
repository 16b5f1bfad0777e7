// tolvane: the desktop tool for configuring and servicing level sensors.
#include <QApplication>

#include <string>
#include <vector>

#include "app/gui/TolvaneApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tolvane");
  QApplication::setApplicationDisplayName("Tolvane");
  QApplication::setDesktopFileName("tolvane");
  std::vector<std::string> args(argv + 1, argv + argc);
  tolvane::CTolvaneApp program(argv[0], std::move(args));
  return program.Run();
}

// The application object: reads the switches, prints the help or the
// version, registers or removes the desktop entry, and otherwise runs the
// start dialog for the whole life of the program.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvane {

class CTolvaneApp {
 public:
  // `executable` is the program's own path (for the desktop entry).
  CTolvaneApp(std::string executable, std::vector<std::string> args);

  // What the switches ask for that needs no display: the help, the version,
  // registering or removing the desktop entry. The exit status when one of
  // them ran (the program then ends), nothing when the program is to start.
  std::optional<int> RunWithoutDisplay();

  // Makes what is missing of the user's tree, then runs the program on the
  // machine's adapters; the exit status. Needs a QApplication.
  int Run();

 private:
  int Register();
  int Unregister();

  std::string executable_;
  std::vector<std::string> args_;
  // The copyright box shows on the first start of the process only.
  bool firstRun_ = true;
};

}  // namespace tolvane

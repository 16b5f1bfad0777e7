// The application object: reads the automation switches, registers or
// removes the desktop entry, and otherwise runs the start dialog for the
// whole life of the program.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

class CTolvaneApp {
 public:
  // `executable` is the program's own path (for the desktop entry).
  CTolvaneApp(std::string executable, std::vector<std::string> args);

  // Runs the program on the machine's adapters; the exit status. Needs a
  // QApplication.
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

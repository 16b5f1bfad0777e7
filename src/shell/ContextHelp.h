// Context help: what the windows ask of it. A right click or F1 on a control
// opens that control's topic; the Help command opens a page of the main help
// file.
#pragma once

#include <string>

namespace tolvane {

class IContextHelp {
 public:
  virtual ~IContextHelp() = default;
  // The topic of the control with `controlId`, from the model's help file when
  // it holds the topic, else from the main help file.
  virtual void ShowControlHelp(int controlId) = 0;
  // A page of the main help file, such as "GETTING_STARTED.htm".
  virtual void ShowPage(const std::string& page) = 0;
};

}  // namespace tolvane

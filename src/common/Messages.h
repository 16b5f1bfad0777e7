// The message box as core code sees it. The dialog kit implements it with
// windows; the command-line program prints; tests record.
#pragma once

#include <string>

namespace tolvane {

// Message box types, as the dialog kit understands them.
enum : unsigned {
  MB_PLAIN = 0x00,
  MB_YESNO = 0x04,
  MB_ERROR = 0x10,
  MB_INFO = 0x40,
};

// Results of a message box.
enum : int {
  RESULT_OK = 1,
  RESULT_CANCEL = 2,
  RESULT_YES = 6,
  RESULT_NO = 7,
};

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows `text` (UTF-8) and returns RESULT_OK, RESULT_YES, RESULT_NO or RESULT_CANCEL.
  virtual int Show(const std::string& text, unsigned type) = 0;
};

}  // namespace tolvane

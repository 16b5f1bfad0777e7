// The dialogs as core code sees them: message box, error detail, busy window
// and the "do not show again" notice. The dialog kit implements them with
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

// A message with an expandable detail text; OK closes it.
class IErrorDetail {
 public:
  virtual ~IErrorDetail() = default;
  virtual void Show(const std::string& message, const std::string& detail) = 0;
};

// The window that shows what a long operation is doing.
class IBusyWindow {
 public:
  virtual ~IBusyWindow() = default;
  virtual void SetMessage(const std::string& text) = 0;
  // 0..100; values outside are clamped.
  virtual void SetProgress(int percent) = 0;
};

// The busy window of a program without windows: shows nothing.
class CNoBusyWindow final : public IBusyWindow {
 public:
  void SetMessage(const std::string&) override {}
  void SetProgress(int) override {}
};

// A notice or question with a "Do not show this message again" box. Returns
// RESULT_OK (yes/OK) or RESULT_CANCEL (no, Escape, close box); `showAgain` is
// set by the buttons from the check box and left alone on Escape.
class IOptionsPrompt {
 public:
  virtual ~IOptionsPrompt() = default;
  virtual int Show(const std::string& message, bool okOnly, bool& showAgain) = 0;
};

}  // namespace tolvane

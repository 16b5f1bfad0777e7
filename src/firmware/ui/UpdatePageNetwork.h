// What the Updates page needs from the network services: the software update
// check behind its Download button (1117) and the configuration upload opt-in
// box (1083). The page works without one: both controls are then hidden.
#pragma once

class QWidget;

namespace tolvane::firmware {

struct IUpdatePageNetwork {
  // Button 1117: asks the server for a newer program; `parent` owns the
  // dialogs it shows. True when the installer was handed to the desktop: the
  // page then runs its leave handling and ends its sheet with the result 1.
  virtual bool OnCheckForUpdates(QWidget* parent) = 0;
  // True when configurations are not uploaded (box 1083 shows the opposite).
  virtual bool UploadOptOut() const = 0;
  // The box was clicked: `optOut` is true when it was unchecked. Switching
  // the upload off asks first; the box then shows !UploadOptOut().
  virtual void SetUploadOptOut(bool optOut) = 0;
  virtual ~IUpdatePageNetwork() = default;
};

}  // namespace tolvane::firmware

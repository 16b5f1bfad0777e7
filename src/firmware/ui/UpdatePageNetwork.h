// What the Updates page needs from the network services: the software update
// check behind its Download button (1117) and the configuration upload opt-in
// box (1083). The page works without one: both controls are then hidden.
#pragma once

class QWidget;

namespace tolvane::firmware {

struct IUpdatePageNetwork {
  // Button 1117: asks the server for a newer program; `parent` owns the dialogs it shows.
  virtual void OnCheckForUpdates(QWidget* parent) = 0;
  // Box 1083 is checked when uploads are declined.
  virtual bool UploadOptOut() const = 0;
  virtual void SetUploadOptOut(bool optOut) = 0;
  virtual ~IUpdatePageNetwork() = default;
};

}  // namespace tolvane::firmware

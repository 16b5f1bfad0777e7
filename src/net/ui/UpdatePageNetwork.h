// What the updates page asks of the network side: the check-for-updates
// button (1117) and the automatic upload box (1083).
// LEAD: join with the firmware page's seam (the page's copy of this interface
// in src/firmware/ui, set with CProgramPages::SetUpdatePageNetwork).
#pragma once

class QWidget;

namespace tolvane {

class IUpdatePageNetwork {
 public:
  virtual ~IUpdatePageNetwork() = default;
  // Button 1117. True when the installer was handed to the desktop: the page
  // then runs its kill-active handling and ends its sheet with the result 1.
  virtual bool OnCheckForUpdates(QWidget* parent) = 0;
  // True when configurations are not uploaded (the box shows the opposite).
  virtual bool UploadOptOut() const = 0;
  // The box was clicked: `optOut` is true when it was unchecked. Switching
  // the upload off asks first; the box then shows !UploadOptOut().
  virtual void SetUploadOptOut(bool optOut) = 0;
};

}  // namespace tolvane

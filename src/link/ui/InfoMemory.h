// The information memory dialog (template 112): the calibration words, the
// hardware serial and the hardware model of the unit's information memory,
// from the program's copy. Update stores the edits into that copy and closes
// with OK; the caller writes it to the unit.
#pragma once

#include <array>

#include "common/Messages.h"
#include "link/MemoryEdits.h"
#include "shell/ui/DialogSupport.h"

class QLineEdit;

namespace tolvane::link {

class CInfoMemory : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 112,
    IDC_TCAL = 1084,
    IDC_TVAL = 1085,
    IDC_CALA = 1086,
    IDC_CALC = 1087,
    IDC_CALD = 1088,
    IDC_HWSERIAL = 1089,
    IDC_HWMODEL = 1090,
    IDC_CALDONE = 1091,
    IDC_UPDATE = 1107,
    IDC_CANCEL = 2,
  };
  // The edit of each field, in the order of InfoField.
  static constexpr std::array<int, INFO_FIELD_COUNT> kEdits{IDC_TCAL, IDC_TVAL,     IDC_CALA,    IDC_CALC,
                                                            IDC_CALD, IDC_HWSERIAL, IDC_HWMODEL, IDC_CALDONE};

  // `info` is the information memory copy; Update changes it. A refused entry
  // is shown in `messages` and the dialog stays open.
  CInfoMemory(InfoImage& info, const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages,
              QWidget* parent);

  void OnUpdate();

 private:
  InfoImage& info_;
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  IMessageBox& messages_;
  std::array<QLineEdit*, INFO_FIELD_COUNT> edits_{};
};

}  // namespace tolvane::link

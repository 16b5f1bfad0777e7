// The frame the memory edit dialogs share: their fields above an Update and a
// Cancel button, at a fixed size.
#pragma once

#include <functional>

#include "shell/ui/DialogSupport.h"

class QLayout;

namespace tolvane::link {

// Lays out `dialog` (its caption already set) with `fields` over the two buttons (ids `updateId` and
// `cancelId`, texts IDC_UPDATE and IDCANCEL). Update is the default button
// and calls `onUpdate`; Cancel rejects the dialog.
void LayOutEditDialog(CKitDialog& dialog, QLayout* fields, int updateId, int cancelId, const CLanguageFile& language,
                      const APP_SETTINGS& settings, const std::function<void()>& onUpdate);

}  // namespace tolvane::link

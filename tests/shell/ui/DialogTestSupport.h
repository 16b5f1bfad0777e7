// What the dialog tests share: the shipped language file, a way to act on a
// modal dialog while it runs, and pictures of the dialogs on request.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>

#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "shell/ui/DialogSupport.h"

namespace tolvane::test {

// The shipped language file, loaded once.
const CLanguageFile& ShippedLanguage();

// Runs `action` on the modal dialog as soon as one is open. Polls the event
// loop, so it also finds a dialog that opens on behalf of another thread.
// The action is expected to close the dialog.
void WhenModalOpens(std::function<void(QDialog&)> action);

// Clicks the control with `id` in `dialog`.
void ClickControl(QWidget& dialog, int id);

// The text a label, button or text control shows.
QString ControlText(QWidget& dialog, int id);

// When TOLVANE_DIALOG_SHOTS names a folder, saves a picture of `window` there.
void Snapshot(QWidget& window, const std::string& name);

}  // namespace tolvane::test

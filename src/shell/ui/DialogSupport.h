// Small helpers every dialog of the kit uses: control ids, texts from the
// language file, and the platform's dialog result values.
#pragma once

#include <QDialog>
#include <QFontMetrics>
#include <QImage>
#include <QMargins>
#include <QString>
#include <QWidget>

#include <string_view>

#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"

class QFileDialog;

namespace tolvane {

// The dynamic property that carries a control's id, so that context help,
// captions and tests find a control by the id of its dialog template.
inline constexpr char kControlIdProperty[] = "controlId";

// Tags `widget` with `id` and hands it back.
template <typename W>
W* WithControlId(W* widget, int id) {
  widget->setProperty(kControlIdProperty, id);
  return widget;
}

int ControlId(const QWidget* widget);

// Room the desktop's window frame takes around a window's client area (its
// title bar above), for placing windows wholly on the screen.
inline const QMargins kFrameRoom{8, 32, 8, 8};

// Set on a window whose size and position were kept from an earlier run:
// its pages do not grow it to their own size.
inline constexpr char kKeptPlacementProperty[] = "keptPlacement";

// The first widget under `root` (or `root` itself) that carries `id`; null
// when there is none.
QWidget* FindControl(QWidget* root, int id);

template <typename W>
W* FindControlAs(QWidget* root, int id) {
  return qobject_cast<W*>(FindControl(root, id));
}

// The text of `key` in the run's language.
QString LanguageText(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key);

// The text of `key` in the run's language, or `fallback` while no language
// file is loaded or the file lacks the key.
QString LanguageTextOr(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key,
                       const char* fallback);

QString FromUtf8(const std::string& text);

// The name of a file to write, asked in a file dialog of `SizeFileDialog`'s
// size; empty when the user cancels.
QString SaveFileName(QWidget* parent, const QString& title, const QString& suggested, const QString& filter);

// Gives a file dialog a size that shows its columns (name, size, type, date)
// whole, within the screen it opens on.
void SizeFileDialog(QFileDialog& dialog);

// The line height of the dialogs that place their lines by rule: the height
// of "Test" in `metrics`' font less 3 pixels, yet at least the font's line
// spacing, so that lines set this far apart neither overlap nor lose their
// descenders.
int RuleLineHeight(const QFontMetrics& metrics);

// The window the user is working in: the topmost modal window, else the
// active window; never `self`. Null when there is none.
QWidget* WorkingWindow(const QWidget* self);

// While it lives, `window` (a dialog or message box) is a child of the
// window the user is working in, keeping its own window flags, so that it
// opens centred on that window and above it; afterwards it goes back to its
// owner (which keeps it, the working window may go before it does).
class WorkingWindowScope {
 public:
  explicit WorkingWindowScope(QWidget* window);
  ~WorkingWindowScope();
  WorkingWindowScope(const WorkingWindowScope&) = delete;
  WorkingWindowScope& operator=(const WorkingWindowScope&) = delete;

 private:
  QWidget* window_;
  QWidget* owner_;
  bool moved_ = false;
};

// Moves `window` so that it is centred on `owner` (the window it belongs
// to), kept on the owner's screen.
void CentreOn(QWidget* window, const QWidget* owner);

// Where a window opens that has no shown owner to be centred on (QDialog
// centres on a shown owner itself): centred on the window the user works
// in, else on the screen; never at the screen's top left.
void PlaceWithoutOwner(QWidget* window);

// The width a window needs for its title bar to show `title` whole: the
// text in the title font and room for the window menu and the close box.
int TitleBarWidth(const QWidget* window, const QString& title);

// `picture` (drawn for 1:1 pixels) for a device with `ratio` device pixels
// per pixel: scaled smoothly to the device's pixels and marked with the
// ratio, so that it is painted at its own size without being blown up
// pixel by pixel. The picture itself at ratio 1.
QImage ScaledForDevice(const QImage& picture, qreal ratio);

// Window flags of a modal dialog: a title and a close box, no minimise or
// maximise box, no context-help button.
inline constexpr Qt::WindowFlags kModalDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// A modal dialog that ends with the platform's result values: OK 1, Cancel 2
// (Escape and the close box), so callers compare with RESULT_OK and
// RESULT_CANCEL rather than with QDialog::Accepted.
class CKitDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CKitDialog(QWidget* parent);

  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
};

// A page of a tabbed window that may refuse to be left.
class IPageLeave {
 public:
  virtual ~IPageLeave() = default;
  // True when the page may be left now (it may ask the user).
  virtual bool CanLeave() = 0;
};

}  // namespace tolvane

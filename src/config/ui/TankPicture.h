// The tank picture of the configuration form (control 1002) and its logo
// (control 1076). A model either names one ready-made picture per image number,
// or one base picture on which a marker is drawn for every level row a
// configuration uses, plus the fill height and sensor height markers. Picture
// files are palette bitmaps in the bitmaps folder; their grey background
// becomes the dialog's button face when they are loaded.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QWidget>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/Messages.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"

class QPaintEvent;

namespace tolvane {

// Failure codes that LoadPicture shows in ERROR_MESSAGE15 with a text for them:
// - an errno value when the file cannot be opened or read (ENOENT, EACCES,
//   EISDIR, EIO, ...), with the system's text for it; EFBIG for a file above
//   kMaxPictureBytes;
// - EINVAL when a model names a picture with something other than a plain file
//   name of the bitmaps folder (a separator, "..", an absolute name), ENOENT
//   when it names none;
// - kPictureDecodeError plus the image reader's error number (unsupported
//   format 3, invalid data 4) when the content is no picture the image library
//   can read, with the reader's text.
inline constexpr std::uint32_t kPictureDecodeError = 0x80000000u;
// Pictures are small drawings; a larger file is refused before it is read.
inline constexpr std::int64_t kMaxPictureBytes = 32 * 1024 * 1024;

class CTankPictureComposer {
 public:
  // `images` is the model's picture description and `bitmapsFolder` the folder
  // the names in it refer to; both stay owned by the caller and outlive the
  // composer. Load failures are reported through `messages` with the text of
  // `language` column `languageNumber`. `buttonFace` is the dialog's button
  // face colour.
  CTankPictureComposer(const IMAGE_SET& images, std::filesystem::path bitmapsFolder, IMessageBox& messages,
                       const CLanguageFile& language, int languageNumber, QColor buttonFace);

  // Loads the picture file at `path` into `image` (emptied first). Every
  // colour-table entry whose red, green and blue all lie in 192..212 becomes
  // the button face. 0 when at least one entry was replaced, -2 when none was
  // (also for pictures without a colour table), -1 when the file could not be
  // loaded: the error box has then been shown and `image` is null.
  int LoadPicture(const std::filesystem::path& path, QImage& image);

  // Draws overlay `j` of the model onto `target` (turned into a true-colour
  // image first when it is a palette image). The overlay's pixels of the
  // button-face colour are left out; a negative position is moved to 0 and
  // the parts beyond the right and bottom edges are cut. -1 when `j` is not
  // an overlay of the model, otherwise 0 (also when the overlay's picture
  // could not be loaded: its error box was shown and nothing is drawn).
  int DrawOverlay(int j, QImage& target);

  // The tank picture of a configuration. Without a base picture in the model:
  // the ready-made picture of `imageNumber`. Otherwise the base picture with
  // the markers of the level rows k whose label in `configuration` is not
  // blank and whose level box is enabled (`levelBoxEnabled`[k]), the fill and
  // sensor height markers, and pixel (0, 0) set to the button face.
  // `configuration` may be null (no configuration matched: no row markers).
  // A null image when the picture could not be loaded.
  QImage ShowTankPicture(int imageNumber, const CONFIGURATION_ENTRY* configuration,
                         const std::array<bool, kLevelRows>& levelBoxEnabled);

  // The View Tanks aid: the base picture with the overlays j (0..7) whose bit
  // j is set in `counter`, pixel (0, 0) set to the button face. A null image
  // when the base picture could not be loaded.
  QImage ViewTanksPicture(int counter);

  // The logo picture; a null image when it could not be loaded.
  QImage Logo();

  const QColor& ButtonFace() const { return buttonFace_; }

 private:
  // Loads the bitmaps-folder picture a model names (trimmed of white space);
  // a name that is not a plain file name is refused with an error box.
  int LoadNamed(std::string_view name, QImage& image);
  // The base picture, made true-colour so that overlays of any colour can be
  // drawn on it; a null image when it could not be loaded.
  QImage LoadBase();
  void ShowLoadError(std::uint32_t code, const std::string& systemText);

  const IMAGE_SET& images_;
  std::filesystem::path folder_;
  IMessageBox& messages_;
  const CLanguageFile& language_;
  int languageNumber_;
  QColor buttonFace_;
};

// A picture control: shows its image centred and fills the rest with the
// colour of the image's top-left pixel; shows nothing without an image.
class CPictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit CPictureBox(QWidget* parent = nullptr);

  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  QImage shown_;  // the picture as painted on this device
  qreal shownRatio_ = 0;
};

}  // namespace tolvane

#include "config/ui/TankPicture.h"

#include "shell/ui/DialogSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <QVector>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"

namespace tolvane {
namespace {

// Colour-table entries in this band (red, green and blue alike) are the
// pictures' background grey and become the button face.
constexpr int kBackgroundLow = 192;
constexpr int kBackgroundHigh = 212;
// The fill height and sensor height markers, drawn on every composed picture.
constexpr int kFillOverlay = 6;
constexpr int kSensorOverlay = 7;

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

bool InBackgroundBand(QRgb c) {
  const auto inBand = [](int v) { return v >= kBackgroundLow && v <= kBackgroundHigh; };
  return inBand(qRed(c)) && inBand(qGreen(c)) && inBand(qBlue(c));
}

std::string SystemText(int error) { return std::generic_category().message(error); }

// Reads a whole picture file into `bytes`. 0, or the errno value of the
// failure (EISDIR for a folder, EINVAL for a device or pipe, EFBIG above
// kMaxPictureBytes).
int ReadPictureFile(const std::filesystem::path& path, QByteArray& bytes) {
  // Non-blocking, so that a named pipe cannot hold the form up at open.
  CFileHandle file;
  int error = 0;
  if (OpenRegularFile(path, file, OpenMode::Read, &error) != OpenResult::Ok) {
    return error;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    return errno;
  }
  if (info.st_size > kMaxPictureBytes) {
    return EFBIG;
  }
  bytes.resize(static_cast<qsizetype>(info.st_size));
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(file.Get(), bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return errno;
    }
    if (n == 0) {
      break;  // the file became shorter while it was read
    }
    done += static_cast<qsizetype>(n);
  }
  bytes.resize(done);
  return 0;
}

}  // namespace

CTankPictureComposer::CTankPictureComposer(const IMAGE_SET& images, std::filesystem::path bitmapsFolder,
                                           IMessageBox& messages, const CLanguageFile& language, int languageNumber,
                                           QColor buttonFace)
    : images_(images),
      folder_(std::move(bitmapsFolder)),
      messages_(messages),
      language_(language),
      languageNumber_(languageNumber),
      buttonFace_(std::move(buttonFace)) {}

void CTankPictureComposer::ShowLoadError(std::uint32_t code, const std::string& systemText) {
  messages_.Show(Format(language_.Text("ERROR_MESSAGE15", languageNumber_), code, systemText), MB_ERROR);
}

int CTankPictureComposer::LoadPicture(const std::filesystem::path& path, QImage& image) {
  image = QImage();
  QByteArray bytes;
  if (const int error = ReadPictureFile(path, bytes); error != 0) {
    ShowLoadError(static_cast<std::uint32_t>(error), SystemText(error));
    return -1;
  }
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (!reader.read(&image)) {
    image = QImage();
    ShowLoadError(kPictureDecodeError | static_cast<std::uint32_t>(reader.error()), reader.errorString().toStdString());
    return -1;
  }

  QVector<QRgb> table = image.colorTable();
  bool replaced = false;
  for (QRgb& entry : table) {
    if (InBackgroundBand(entry)) {
      entry = buttonFace_.rgb();
      replaced = true;
    }
  }
  if (!replaced) {
    return -2;
  }
  image.setColorTable(table);
  return 0;
}

int CTankPictureComposer::LoadNamed(std::string_view name, QImage& image) {
  const std::string_view leaf = Trim(name);
  if (!IsSafeLeafName(leaf)) {
    image = QImage();
    const int error = leaf.empty() ? ENOENT : EINVAL;
    ShowLoadError(static_cast<std::uint32_t>(error), SystemText(error));
    return -1;
  }
  return LoadPicture(folder_ / std::string(leaf), image);
}

QImage CTankPictureComposer::LoadBase() {
  QImage base;
  if (LoadNamed(images_.overlayImage, base) == -1) {
    return {};
  }
  return base.convertToFormat(QImage::Format_RGB32);
}

int CTankPictureComposer::DrawOverlay(int j, QImage& target) {
  if (j < 0 || j >= images_.overlayCount || j >= kMaxOverlays) {
    return -1;
  }
  const auto slot = static_cast<std::size_t>(j);
  QImage overlay;
  if (LoadNamed(images_.overlayText[slot], overlay) == -1 || target.isNull()) {
    return 0;
  }
  if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32) {
    target = target.convertToFormat(QImage::Format_RGB32);
  }

  // A negative position moves the whole overlay to the edge; what reaches past
  // the right or bottom edge is cut. 64-bit sums: positions come from a file.
  const OVERLAY_POSITION& at = images_.overlayPosition[slot];
  const long long left = std::max(at.x, 0);
  const long long top = std::max(at.y, 0);
  const long long right = std::min(left + overlay.width(), static_cast<long long>(target.width()));
  const long long bottom = std::min(top + overlay.height(), static_cast<long long>(target.height()));
  const QRgb face = buttonFace_.rgb() & RGB_MASK;
  for (long long row = top; row < bottom; ++row) {
    for (long long column = left; column < right; ++column) {
      const QRgb c = overlay.pixel(static_cast<int>(column - left), static_cast<int>(row - top));
      if ((c & RGB_MASK) != face) {
        target.setPixel(static_cast<int>(column), static_cast<int>(row), c);
      }
    }
  }
  return 0;
}

QImage CTankPictureComposer::ShowTankPicture(int imageNumber, const CONFIGURATION_ENTRY* configuration,
                                             const std::array<bool, kLevelRows>& levelBoxEnabled) {
  if (Trim(images_.overlayImage).empty()) {
    // The parser keeps TANKIMAGE[n] of the file (1-based) in slot n - 1, and
    // the configurations count their pictures from 0: image number p shows
    // slot p, that is TANKIMAGE[p + 1]. A number without a picture names none.
    std::string_view name;
    if (imageNumber >= 0 && imageNumber < kMaxTankImages) {
      name = images_.tankImages[static_cast<std::size_t>(imageNumber)];
    }
    QImage picture;
    LoadNamed(name, picture);
    return picture;
  }

  QImage picture = LoadBase();
  if (picture.isNull()) {
    return picture;
  }
  for (int k = 0; k < kLevelRows; ++k) {
    const auto row = static_cast<std::size_t>(k);
    if (configuration != nullptr && !Trim(configuration->levelLabel[row]).empty() && levelBoxEnabled[row]) {
      DrawOverlay(k, picture);
    }
  }
  DrawOverlay(kFillOverlay, picture);
  DrawOverlay(kSensorOverlay, picture);
  picture.setPixel(0, 0, buttonFace_.rgb());
  return picture;
}

QImage CTankPictureComposer::ViewTanksPicture(int counter) {
  QImage picture = LoadBase();
  if (picture.isNull()) {
    return picture;
  }
  for (int j = 0; j < kMaxOverlays; ++j) {
    if ((counter & (1 << j)) != 0) {
      DrawOverlay(j, picture);
    }
  }
  picture.setPixel(0, 0, buttonFace_.rgb());
  return picture;
}

QImage CTankPictureComposer::Logo() {
  QImage logo;
  LoadNamed(images_.logoImage, logo);
  return logo;
}

CPictureBox::CPictureBox(QWidget* parent) : QWidget(parent) {}

void CPictureBox::SetPicture(const QImage& picture) {
  picture_ = picture;
  shown_ = QImage();
  updateGeometry();
  update();
}

QSize CPictureBox::sizeHint() const { return picture_.isNull() ? QSize(0, 0) : picture_.size(); }

QSize CPictureBox::minimumSizeHint() const { return sizeHint(); }

void CPictureBox::paintEvent(QPaintEvent* /*event*/) {
  if (picture_.isNull()) {
    return;
  }
  // Above a scale factor of 1 the picture is scaled smoothly to the
  // device's pixels once, not blown up pixel by pixel at every paint.
  const qreal ratio = devicePixelRatioF();
  if (shown_.isNull() || shownRatio_ != ratio) {
    shown_ = ScaledForDevice(picture_, ratio);
    shownRatio_ = ratio;
  }
  QPainter painter(this);
  painter.fillRect(rect(), picture_.pixelColor(0, 0));
  painter.drawImage(QPoint((width() - picture_.width()) / 2, (height() - picture_.height()) / 2), shown_);
}

}  // namespace tolvane

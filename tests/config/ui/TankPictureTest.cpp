// The tank picture: loading palette bitmaps (the grey background becomes the
// button face), drawing the level markers onto the base picture, composing the
// picture of a configuration, the picture control, and the pictures the
// shipped models name.
#include "config/ui/TankPicture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QVector>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "defs/ModelTestSupport.h"
#include "shell/ui/DialogTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// A button face that no test picture uses.
const QColor kFace(236, 233, 216);
constexpr QRgb kGrey = 0xFFC8C8C8;  // RGB(200, 200, 200): the pictures' background
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

// An 8-bit palette bitmap of w x h pixels, all of colour-table entry 0.
class PaletteBitmap {
 public:
  PaletteBitmap(int w, int h, std::initializer_list<QRgb> table) : image_(w, h, QImage::Format_Indexed8) {
    image_.setColorTable(QVector<QRgb>(table));
    image_.fill(0);
  }
  PaletteBitmap& Pixel(int x, int y, int index) {
    image_.setPixel(x, y, static_cast<uint>(index));
    return *this;
  }
  void Save(const fs::path& path) const { ASSERT_TRUE(image_.save(QString::fromStdString(path.string()), "BMP")); }

 private:
  QImage image_;
};

std::string ErrorText(std::uint32_t code, const std::string& systemText) {
  return Format(test::ShippedLanguage().Text("ERROR_MESSAGE15", 0), code, systemText);
}

class TankPictureTest : public ::testing::Test {
 protected:
  TankPictureTest() : images_(std::make_unique<IMAGE_SET>()) {}

  CTankPictureComposer& Composer() {
    if (!composer_) {
      composer_ =
          std::make_unique<CTankPictureComposer>(*images_, bitmaps_, messages_, test::ShippedLanguage(), 0, kFace);
    }
    return *composer_;
  }
  // Overlay j of the model: the bitmaps-folder picture `name` at (x, y).
  void AddOverlay(int j, int x, int y, const std::string& name) {
    const auto s = static_cast<std::size_t>(j);
    images_->overlayText[s] = name;
    images_->overlayPosition[s] = {x, y};
    images_->overlayCount = std::max(images_->overlayCount, j + 1);
    images_->overlayLast = std::max(images_->overlayLast, j);
  }
  // Eight overlays of one red pixel each, overlay j at (2 j + 1, 1), on a
  // 20 x 4 white base picture.
  void EightOneDotOverlays() {
    PaletteBitmap(20, 4, {kWhite}).Save(bitmaps_ / "base.bmp");
    images_->overlayImage = "base.bmp";
    PaletteBitmap(1, 1, {kRed}).Save(bitmaps_ / "dot.bmp");
    for (int j = 0; j < kMaxOverlays; ++j) {
      AddOverlay(j, 2 * j + 1, 1, "dot.bmp");
    }
  }
  static std::vector<int> DrawnDots(const QImage& picture) {
    std::vector<int> drawn;
    for (int j = 0; j < kMaxOverlays; ++j) {
      if (picture.pixel(2 * j + 1, 1) == kRed) {
        drawn.push_back(j);
      }
    }
    return drawn;
  }

  test::TempDir dir_;
  fs::path bitmaps_ = [this] {
    fs::create_directories(dir_ / "Bitmaps");
    return dir_ / "Bitmaps";
  }();
  test::RecordingMessages messages_;
  std::unique_ptr<IMAGE_SET> images_;
  std::unique_ptr<CTankPictureComposer> composer_;
};

// --- LoadPicture -------------------------------------------------------------

TEST_F(TankPictureTest, GreyBandOfTheColourTableBecomesTheButtonFace) {
  // Entries: the background, both ends of the band, just outside it in one
  // channel, and a colour far from it.
  PaletteBitmap(4, 2, {kGrey, qRgb(192, 192, 192), qRgb(212, 212, 212), qRgb(213, 200, 200), qRgb(200, 191, 200), kRed})
      .Pixel(1, 0, 5)
      .Save(bitmaps_ / "p.bmp");
  QImage image;
  ASSERT_EQ(Composer().LoadPicture(bitmaps_ / "p.bmp", image), 0);

  ASSERT_EQ(image.format(), QImage::Format_Indexed8);
  const QVector<QRgb> table = image.colorTable();
  ASSERT_GE(table.size(), 6);
  EXPECT_EQ(table[0], kFace.rgb());
  EXPECT_EQ(table[1], kFace.rgb());
  EXPECT_EQ(table[2], kFace.rgb());
  EXPECT_EQ(table[3], qRgb(213, 200, 200));
  EXPECT_EQ(table[4], qRgb(200, 191, 200));
  EXPECT_EQ(table[5], kRed);
  EXPECT_EQ(image.pixel(0, 0), kFace.rgb());
  EXPECT_EQ(image.pixel(1, 0), kRed);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TankPictureTest, PictureWithoutGreyOrWithoutColourTableStaysAsItIs) {
  PaletteBitmap(3, 3, {qRgb(213, 200, 200), kRed}).Save(bitmaps_ / "pinkish.bmp");
  QImage image;
  EXPECT_EQ(Composer().LoadPicture(bitmaps_ / "pinkish.bmp", image), -2);
  EXPECT_EQ(image.pixel(0, 0), qRgb(213, 200, 200));

  QImage trueColour(3, 3, QImage::Format_RGB32);
  trueColour.fill(kGrey);
  ASSERT_TRUE(trueColour.save(QString::fromStdString((bitmaps_ / "rgb.bmp").string()), "BMP"));
  EXPECT_EQ(Composer().LoadPicture(bitmaps_ / "rgb.bmp", image), -2);
  EXPECT_EQ(image.pixel(1, 1), kGrey);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TankPictureTest, UnloadableFileShowsTheErrorAndEmptiesTheImage) {
  QImage image(5, 5, QImage::Format_RGB32);
  EXPECT_EQ(Composer().LoadPicture(bitmaps_ / "missing.bmp", image), -1);
  EXPECT_TRUE(image.isNull());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, ErrorText(ENOENT, std::generic_category().message(ENOENT)));
  EXPECT_NE(messages_.shown[0].first.find("0x00000002"), std::string::npos);
  EXPECT_EQ(messages_.shown[0].second, MB_ERROR);

  // A folder, and a file that holds no picture.
  EXPECT_EQ(Composer().LoadPicture(bitmaps_, image), -1);
  test::WriteBytes(bitmaps_ / "text.bmp", "BM but not a bitmap at all");
  EXPECT_EQ(Composer().LoadPicture(bitmaps_ / "text.bmp", image), -1);
  EXPECT_TRUE(image.isNull());
  ASSERT_EQ(messages_.shown.size(), 3u);
  EXPECT_EQ(messages_.shown[1].first, ErrorText(EISDIR, std::generic_category().message(EISDIR)));
  EXPECT_NE(messages_.shown[2].first.find("(error 0x8000000"), std::string::npos) << messages_.shown[2].first;
}

// --- DrawOverlay ------------------------------------------------------------

// An 8 x 2 overlay whose column c has colour-table entry c + 1 (distinct
// colours), on a 40 x 10 white target.
class OverlayTest : public TankPictureTest {
 protected:
  OverlayTest() : target_(40, 10, QImage::Format_RGB32) {
    target_.fill(kWhite);
    PaletteBitmap bitmap(8, 2,
                         {kGrey, qRgb(10, 0, 0), qRgb(20, 0, 0), qRgb(30, 0, 0), qRgb(40, 0, 0), qRgb(50, 0, 0),
                          qRgb(60, 0, 0), qRgb(70, 0, 0), qRgb(80, 0, 0)});
    for (int c = 0; c < 8; ++c) {
      bitmap.Pixel(c, 0, c + 1).Pixel(c, 1, c + 1);
    }
    bitmap.Save(bitmaps_ / "columns.bmp");
  }
  static QRgb Column(int c) { return qRgb(10 * (c + 1), 0, 0); }

  QImage target_;
};

TEST_F(OverlayTest, NegativePositionMovesTheWholeOverlayToTheEdge) {
  AddOverlay(0, -10, -3, "columns.bmp");
  EXPECT_EQ(Composer().DrawOverlay(0, target_), 0);
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(target_.pixel(c, 0), Column(c)) << c;
    EXPECT_EQ(target_.pixel(c, 1), Column(c)) << c;
  }
  EXPECT_EQ(target_.pixel(8, 0), kWhite);
  EXPECT_EQ(target_.pixel(0, 2), kWhite);
}

TEST_F(OverlayTest, OverlayIsCutAtTheRightAndBottomEdges) {
  AddOverlay(0, 36, 9, "columns.bmp");
  AddOverlay(1, 1000, 1000, "columns.bmp");
  AddOverlay(2, 0x7FFFFFF0, 0x7FFFFFF0, "columns.bmp");
  EXPECT_EQ(Composer().DrawOverlay(0, target_), 0);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(target_.pixel(36 + c, 9), Column(c)) << c;
  }
  EXPECT_EQ(target_.pixel(35, 9), kWhite);
  EXPECT_EQ(target_.pixel(36, 8), kWhite);

  const QImage before = target_;
  EXPECT_EQ(Composer().DrawOverlay(1, target_), 0);
  EXPECT_EQ(Composer().DrawOverlay(2, target_), 0);
  EXPECT_EQ(target_, before);
  EXPECT_EQ(target_.size(), QSize(40, 10));
}

TEST_F(OverlayTest, ButtonFacePixelsAreTransparent) {
  // The grey background turns into the button face and is left out; a grey
  // just outside the band is drawn.
  PaletteBitmap(3, 3, {kGrey, kBlue, qRgb(213, 200, 200)}).Pixel(1, 1, 1).Pixel(2, 2, 2).Save(bitmaps_ / "mark.bmp");
  AddOverlay(0, 5, 5, " \tmark.bmp  ");
  EXPECT_EQ(Composer().DrawOverlay(0, target_), 0);
  EXPECT_EQ(target_.pixel(6, 6), kBlue);
  EXPECT_EQ(target_.pixel(7, 7), qRgb(213, 200, 200));
  for (const auto& [x, y] : {std::pair{5, 5}, {6, 5}, {7, 5}, {5, 6}, {7, 6}, {5, 7}, {6, 7}}) {
    EXPECT_EQ(target_.pixel(x, y), kWhite) << x << "," << y;
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(OverlayTest, OnlyTheModelsOverlaysAreDrawn) {
  AddOverlay(0, 0, 0, "columns.bmp");
  const QImage before = target_;
  EXPECT_EQ(Composer().DrawOverlay(1, target_), -1);
  EXPECT_EQ(Composer().DrawOverlay(-1, target_), -1);
  EXPECT_EQ(Composer().DrawOverlay(kMaxOverlays, target_), -1);
  EXPECT_EQ(target_, before);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(OverlayTest, NamesThatLeaveTheBitmapsFolderAreRefused) {
  // The file exists one folder up: loading it would draw it.
  PaletteBitmap(2, 2, {kBlue}).Save(dir_ / "x.bmp");
  const QImage before = target_;
  for (const char* name : {"../x.bmp", "/tmp/x.bmp", "sub/x.bmp", ".."}) {
    AddOverlay(0, 0, 0, name);
    EXPECT_EQ(Composer().DrawOverlay(0, target_), 0) << name;
  }
  EXPECT_EQ(target_, before);
  ASSERT_EQ(messages_.shown.size(), 4u);
  for (const auto& [text, type] : messages_.shown) {
    EXPECT_EQ(text, ErrorText(EINVAL, std::generic_category().message(EINVAL)));
    EXPECT_EQ(type, MB_ERROR);
  }
}

TEST_F(OverlayTest, PaletteTargetBecomesTrueColourSoAnyColourCanBeDrawn) {
  QImage target(4, 4, QImage::Format_Indexed8);
  target.setColorTable({kWhite});
  target.fill(0);
  AddOverlay(0, 0, 0, "columns.bmp");
  EXPECT_EQ(Composer().DrawOverlay(0, target), 0);
  EXPECT_EQ(target.pixel(3, 1), Column(3));
  EXPECT_EQ(target.pixel(3, 2), kWhite);
}

// --- ShowTankPicture and ViewTanksPicture -------------------------------------

TEST_F(TankPictureTest, RowsWithALabelAndAnEnabledBoxGetTheirMarkers) {
  EightOneDotOverlays();
  CONFIGURATION_ENTRY configuration;
  configuration.levelLabel = {"Lo Span", "   ", "Pump On", "", "Hi Alarm", ""};
  // Row 4 has a label but its box is disabled.
  const std::array<bool, kLevelRows> enabled{true, true, true, true, false, true};

  const QImage picture = Composer().ShowTankPicture(0, &configuration, enabled);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(DrawnDots(picture), (std::vector<int>{0, 2, 6, 7}));
  EXPECT_EQ(picture.pixel(0, 0), kFace.rgb());
  EXPECT_EQ(picture.pixel(19, 3), kWhite);

  // No configuration matched: only the fill and sensor height markers.
  const QImage bare = Composer().ShowTankPicture(0, nullptr, {});
  EXPECT_EQ(DrawnDots(bare), (std::vector<int>{6, 7}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TankPictureTest, ViewTanksDrawsTheOverlaysOfTheCounterBits) {
  EightOneDotOverlays();
  EXPECT_EQ(DrawnDots(Composer().ViewTanksPicture(0)), std::vector<int>{});
  EXPECT_EQ(DrawnDots(Composer().ViewTanksPicture(1)), std::vector<int>{0});
  EXPECT_EQ(DrawnDots(Composer().ViewTanksPicture(0x81)), (std::vector<int>{0, 7}));
  EXPECT_EQ(DrawnDots(Composer().ViewTanksPicture(255)), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Composer().ViewTanksPicture(0).pixel(0, 0), kFace.rgb());
}

TEST_F(TankPictureTest, WithoutABasePictureTheImageNumberPicksTheReadyMadePicture) {
  // TANKIMAGE[1] and [2] of a model file: image numbers 0 and 1.
  PaletteBitmap(3, 2, {kGrey}).Save(bitmaps_ / "tank1.bmp");
  PaletteBitmap(5, 4, {kGrey, kBlue}).Pixel(0, 0, 1).Save(bitmaps_ / "tank2.bmp");
  images_->tankImages[0] = "tank1.bmp";
  images_->tankImages[1] = "tank2.bmp";
  images_->tankImageCount = 2;
  images_->tankImageLast = 1;
  CONFIGURATION_ENTRY configuration;
  configuration.levelLabel[0] = "Lo Span";

  EXPECT_EQ(Composer().ShowTankPicture(0, &configuration, {}).size(), QSize(3, 2));
  const QImage second = Composer().ShowTankPicture(1, &configuration, {});
  EXPECT_EQ(second.size(), QSize(5, 4));
  // The ready-made picture is shown as it is, its own top-left pixel kept.
  EXPECT_EQ(second.pixel(0, 0), kBlue);
  EXPECT_EQ(second.pixel(1, 0), kFace.rgb());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TankPictureTest, MissingTankPictureShowsTheErrorAndNoPicture) {
  images_->tankImages[0] = "gone.bmp";
  images_->tankImageCount = 1;
  images_->tankImageLast = 0;
  CPictureBox box;
  box.SetPicture(Composer().ShowTankPicture(0, nullptr, {}));
  EXPECT_TRUE(box.Picture().isNull());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, ErrorText(ENOENT, std::generic_category().message(ENOENT)));
  EXPECT_EQ(messages_.shown[0].second, MB_ERROR);

  // A number the model has no picture for, and a missing base picture.
  EXPECT_TRUE(Composer().ShowTankPicture(7, nullptr, {}).isNull());
  images_->overlayImage = "nobase.bmp";
  EXPECT_TRUE(Composer().ShowTankPicture(0, nullptr, {}).isNull());
  EXPECT_TRUE(Composer().ViewTanksPicture(3).isNull());
  EXPECT_EQ(messages_.shown.size(), 4u);
}

// --- CPictureBox --------------------------------------------------------------

TEST_F(TankPictureTest, PictureBoxCentresItsImageOnTheColourOfItsTopLeftPixel) {
  QImage image(10, 6, QImage::Format_RGB32);
  image.fill(kBlue);
  image.setPixel(0, 0, qRgb(0, 128, 0));
  CPictureBox box;
  box.SetPicture(image);
  EXPECT_EQ(box.sizeHint(), QSize(10, 6));
  box.resize(30, 20);

  const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(30, 20));
  EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 128, 0));
  EXPECT_EQ(shown.pixel(29, 19), qRgb(0, 128, 0));
  // The image lies at (10, 7)..(19, 12).
  EXPECT_EQ(shown.pixel(10, 7), qRgb(0, 128, 0));
  EXPECT_EQ(shown.pixel(11, 7), kBlue);
  EXPECT_EQ(shown.pixel(10, 8), kBlue);
  EXPECT_EQ(shown.pixel(19, 12), kBlue);
  EXPECT_EQ(shown.pixel(9, 8), qRgb(0, 128, 0));
  EXPECT_EQ(shown.pixel(20, 12), qRgb(0, 128, 0));
  EXPECT_EQ(shown.pixel(19, 13), qRgb(0, 128, 0));
}

// --- The shipped pictures ---------------------------------------------------

const fs::path kModels = fs::path(TOLVANE_SOURCE_DATA) / "Models";
const fs::path kBitmaps = fs::path(TOLVANE_SOURCE_DATA) / "Bitmaps";
const fs::path kModelSources = fs::path(TOLVANE_SOURCE_DATA).parent_path() / "data-src" / "Models";

std::vector<fs::path> ShippedModelSources() {
  std::vector<fs::path> files;
  for (const fs::path& folder : {kModels, kModelSources}) {
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (e.is_regular_file() && !name.starts_with("Tolvane_Language")) {
        files.push_back(e.path());
      }
    }
  }
  return files;
}

TEST(ShippedPictures, EveryPictureAModelNamesIsThereAndHasTheGreyBackground) {
  std::set<std::string> names;
  int configurationsChecked = 0;
  int overlaysChecked = 0;
  for (const fs::path& file : ShippedModelSources()) {
    SCOPED_TRACE(file.filename().string());
    test::ModelFixture f(kModels);
    ASSERT_EQ(f.parser.ParseModelFile(file), 0);
    const IMAGE_SET& images = f.tables->images;
    for (const std::string& name :
         {images.logoImage, f.tables->program.logoImage, images.overlayImage, f.tables->dimensions.mainImage}) {
      if (!name.empty()) {
        names.insert(name);
      }
    }
    for (int i = 0; i <= images.tankImageLast; ++i) {
      names.insert(images.tankImages[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < f.tables->structurePage.pictureCount; ++i) {
      names.insert(f.tables->structurePage.pictureFiles[static_cast<std::size_t>(i)]);
    }

    test::RecordingMessages messages;
    CTankPictureComposer composer(images, kBitmaps, messages, test::ShippedLanguage(), 0, kFace);
    // Every configuration finds its own ready-made picture.
    const MODEL_DEFINITION& model = f.model();
    if (images.tankImageCount > 0) {
      for (int n = 0; n < model.configurationCount; ++n) {
        const CONFIGURATION_ENTRY& c = model.configurations[static_cast<std::size_t>(n)];
        ASSERT_GE(c.imageNumber, 0) << c.number;
        ASSERT_LT(c.imageNumber, images.tankImageCount) << c.number;
        EXPECT_FALSE(images.tankImages[static_cast<std::size_t>(c.imageNumber)].empty()) << c.number;
        ++configurationsChecked;
      }
    }
    // Every marker lies wholly inside the base picture, and all of them together
    // leave the picture's size alone.
    if (!images.overlayImage.empty()) {
      QImage base;
      ASSERT_EQ(composer.LoadPicture(kBitmaps / images.overlayImage, base), 0);
      for (int j = 0; j < images.overlayCount; ++j) {
        const auto s = static_cast<std::size_t>(j);
        QImage mark;
        ASSERT_EQ(composer.LoadPicture(kBitmaps / images.overlayText[s], mark), 0) << images.overlayText[s];
        const QRect where(images.overlayPosition[s].x, images.overlayPosition[s].y, mark.width(), mark.height());
        EXPECT_TRUE(base.rect().contains(where)) << images.overlayText[s];
        names.insert(images.overlayText[s]);
        ++overlaysChecked;
      }
      const QImage all = composer.ViewTanksPicture(255);
      EXPECT_EQ(all.size(), base.size());
      EXPECT_NE(all, base.convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_TRUE(messages.shown.empty());
  }
  EXPECT_GE(configurationsChecked, 6);  // at least the QR25's
  EXPECT_EQ(overlaysChecked, 16);       // QR27 and QR30, eight each
  EXPECT_GE(names.size(), 30u);

  IMAGE_SET none;
  test::RecordingMessages messages;
  CTankPictureComposer composer(none, kBitmaps, messages, test::ShippedLanguage(), 0, kFace);
  for (const std::string& name : names) {
    QImage picture;
    EXPECT_TRUE(IsSafeLeafName(name)) << name;
    EXPECT_EQ(composer.LoadPicture(kBitmaps / name, picture), 0) << name;
    EXPECT_EQ(picture.format(), QImage::Format_Indexed8) << name;
    EXPECT_EQ(picture.pixelColor(0, 0), kFace) << name;
  }
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace tolvane

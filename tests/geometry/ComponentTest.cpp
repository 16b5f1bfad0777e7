// Class identifiers, the component registry and loader, and the calculation
// run's call sequence, busy-window steps and results.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "geometry/ComponentRegistry.h"
#include "geometry/NonLinearData.h"
#include "geometry/TankShapes.h"
#include "support/TestSupport.h"

namespace tolvane::geometry {
namespace {

namespace fs = std::filesystem;
using test::RecordingBusy;
using test::RecordingMessages;
using test::TempDir;

constexpr const char* kShapesClass = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40";
constexpr const char* kShapesInterface = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41";

TEST(ClassId, ReadsOnlyTheBracedForm) {
  const auto id = ClassIdFromString("{3f6a2c81-7B4E-4D19-A5C3-91E08B7D2F40}");
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(id->data1, 0x3F6A2C81u);
  EXPECT_EQ(id->data2, 0x7B4E);
  EXPECT_EQ(id->data3, 0x4D19);
  EXPECT_EQ(id->data4[0], 0xA5);
  EXPECT_EQ(id->data4[7], 0x40);
  EXPECT_EQ(ClassIdToString(*id), kShapesClass);
  for (const char* bad :
       {"3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40", "{3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F4}",
        "{3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F4G}", "{3F6A2C81+7B4E-4D19-A5C3-91E08B7D2F40}",
        "{ 3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F4}", "{}", "", "{3F6A2C817B4E4D19A5C391E08B7D2F40xxxx}"}) {
    EXPECT_FALSE(ClassIdFromString(bad).has_value()) << bad;
  }
}

TEST(Registry, KeepsPlainNamesOnly) {
  const auto r = ParseRegistryText(
      "' comment\n"
      "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40 = libgood.so\r\n"
      "{11111111-2222-3333-4444-555555555555} = libbraced.so # note\n"
      "22222222-2222-3333-4444-555555555555 = ../outside.so\n"
      "33333333-2222-3333-4444-555555555555 = /usr/lib/abs.so\n"
      "not-an-id = libx.so\n"
      "just a line\n"
      "44444444-2222-3333-4444-555555555555 =\n");
  EXPECT_EQ(r.libraries.size(), 2u);
  EXPECT_EQ(r.libraries.at(kShapesClass), "libgood.so");
  EXPECT_EQ(r.libraries.at("11111111-2222-3333-4444-555555555555"), "libbraced.so");
  EXPECT_EQ(r.refused, 5);
}

TolvaneGuid Id(const char* text) { return *ClassIdFromString(std::string("{") + text + "}"); }

TEST(Loader, CreatesOurComponentFromTheBuildFolder) {
  CComponentLoader loader{fs::path(TOLVANE_TEST_COMPONENTS_DIR)};
  CComponentRef c = loader.Create(Id(kShapesClass), Id(kShapesInterface));
  ASSERT_TRUE(c) << loader.LastFault();
  std::array<double, 9> dims{2.0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::uint8_t code = SHAPE_SPHERE;
  double factor = 100.0;
  c.Call(SLOT_BEGIN);
  c.Call(SLOT_DIMENSIONS, dims.data());
  c.Call(SLOT_SELECTION, &code);
  c.Call(SLOT_FACTOR, &factor);
  EXPECT_EQ(c.Call(SLOT_COMPUTE), 0);
  std::uint8_t points = 0;
  c.Call(SLOT_POINT_COUNT, &points);
  EXPECT_EQ(points, 201);
  // The wrong interface: the factory makes nothing.
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesClass)));
  EXPECT_EQ(loader.LastFault(), LOADER_FACTORY_REFUSED);
}

TEST(Loader, RefusesWhatTheFolderDoesNotServe) {
  TempDir dir;
  CComponentLoader loader{dir.path()};
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_NO_REGISTRY);

  // An unknown class.
  test::WriteBytes(dir / kRegistryFileName, "11111111-2222-3333-4444-555555555555 = libx.so\n");
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_UNKNOWN_CLASS);

  // A library outside the folder, named or reached through a link.
  test::WriteBytes(dir / kRegistryFileName, std::string(kShapesClass) + " = ../libtolvane_tankshapes.so\n");
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_UNKNOWN_CLASS);  // the line itself is dropped
  fs::create_symlink(TOLVANE_TEST_COMPONENT_LIB, dir / "liblinked.so");
  test::WriteBytes(dir / kRegistryFileName, std::string(kShapesClass) + " = liblinked.so\n");
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_OUTSIDE_FOLDER);

  // A file that is not a library, and a library without the factory.
  test::WriteBytes(dir / "libtext.so", "not a library");
  test::WriteBytes(dir / kRegistryFileName, std::string(kShapesClass) + " = libtext.so\n");
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_CANNOT_LOAD);
  fs::copy_file(TOLVANE_TEST_NOFACTORY_LIB, dir / "libnofactory.so");
  test::WriteBytes(dir / kRegistryFileName, std::string(kShapesClass) + " = libnofactory.so\n");
  EXPECT_FALSE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
  EXPECT_EQ(loader.LastFault(), LOADER_NO_FACTORY);

  // A copy of our component inside the folder is served.
  fs::copy_file(TOLVANE_TEST_COMPONENT_LIB, dir / "libcopy.so");
  test::WriteBytes(dir / kRegistryFileName, std::string(kShapesClass) + " = libcopy.so\n");
  EXPECT_TRUE(loader.Create(Id(kShapesClass), Id(kShapesInterface)));
}

// A component written here, recording the positions it is called at.
struct FakeComponent {
  TolvaneComponent base{};
  std::vector<int>* calls = nullptr;
  std::uint8_t points = 3;
  std::array<std::uint16_t, 3> table{0, 100, 300};
  bool* released = nullptr;
};

template <int Slot>
long Record1(void* self, void* arg) {
  auto* f = static_cast<FakeComponent*>(self);
  f->calls->push_back(Slot);
  switch (Slot) {
    case SLOT_LEVEL_RANGE: {
      const double r[5] = {0, 1, 2, 3, 20};
      std::memcpy(arg, r, sizeof(r));
      break;
    }
    case SLOT_RESULTS: {
      double r[14] = {};
      r[12] = 900.0;
      r[13] = 70000.0;
      std::memcpy(arg, r, sizeof(r));
      break;
    }
    case SLOT_MAX_RAW_LEVEL: {
      const std::uint16_t m = 20;
      std::memcpy(arg, &m, 2);
      break;
    }
    case SLOT_POINT_COUNT:
      *static_cast<std::uint8_t*>(arg) = f->points;
      break;
    case SLOT_STEP:
      *static_cast<std::uint8_t*>(arg) = 10;
      break;
    case SLOT_TABLE:
      std::memcpy(arg, f->table.data(), sizeof(f->table));
      break;
    case SLOT_VOLUME_PAIR: {
      const float p[2] = {0.0f, 2.0f};
      std::memcpy(arg, p, sizeof(p));
      break;
    }
    case SLOT_CAPTION: {
      auto* w = static_cast<char16_t*>(std::malloc(4 * sizeof(char16_t)));
      w[0] = u'S';
      w[1] = u'h';
      w[2] = 0x00E9;  // é
      w[3] = 0;
      *static_cast<char16_t**>(arg) = w;
      break;
    }
    default:
      break;
  }
  return 0;
}
template <int Slot>
long Record0(void* self) {
  static_cast<FakeComponent*>(self)->calls->push_back(Slot);
  return 0;
}
unsigned long FakeRelease(void* self) {
  auto* f = static_cast<FakeComponent*>(self);
  f->calls->push_back(SLOT_RELEASE);
  *f->released = true;
  return 0;
}

const TolvaneSlot kFakeTable[kTableSlots] = {
    nullptr,
    nullptr,
    reinterpret_cast<TolvaneSlot>(&FakeRelease),
    reinterpret_cast<TolvaneSlot>(&Record1<3>),
    reinterpret_cast<TolvaneSlot>(&Record1<4>),
    reinterpret_cast<TolvaneSlot>(&Record1<5>),
    nullptr,
    reinterpret_cast<TolvaneSlot>(&Record0<7>),
    reinterpret_cast<TolvaneSlot>(&Record0<8>),
    reinterpret_cast<TolvaneSlot>(&Record1<9>),
    reinterpret_cast<TolvaneSlot>(&Record1<10>),
    reinterpret_cast<TolvaneSlot>(&Record1<11>),
    reinterpret_cast<TolvaneSlot>(&Record1<12>),
    reinterpret_cast<TolvaneSlot>(&Record1<13>),
    reinterpret_cast<TolvaneSlot>(&Record1<14>),
    reinterpret_cast<TolvaneSlot>(&Record1<15>),
    reinterpret_cast<TolvaneSlot>(&Record1<16>),
    reinterpret_cast<TolvaneSlot>(&Record1<17>),
};

class FakeFactory : public IComponentFactory {
 public:
  CComponentRef Create(const TolvaneGuid&, const TolvaneGuid&) override {
    ++created;
    if (!available) {
      return {};
    }
    fake.base.table = kFakeTable;
    fake.calls = &calls;
    fake.released = &released;
    return CComponentRef(&fake.base, nullptr);
  }
  FakeComponent fake;
  std::vector<int> calls;
  bool released = false;
  bool available = true;
  int created = 0;
};

class BusyFactory : public IBusyWindowFactory {
 public:
  class Window : public IBusyWindow {
   public:
    explicit Window(BusyFactory& f) : f_(f) { ++f_.open; }
    ~Window() override { --f_.open; }
    void SetMessage(const std::string& text) override { f_.record.SetMessage(text); }
    void SetProgress(int p) override { f_.record.SetProgress(p); }

   private:
    BusyFactory& f_;
  };
  std::unique_ptr<IBusyWindow> OpenBusyWindow() override {
    ++opened;
    return std::make_unique<Window>(*this);
  }
  RecordingBusy record;
  int open = 0;
  int opened = 0;
};

struct CalcRig {
  FakeFactory components;
  BusyFactory busy;
  RecordingMessages messages;
  CLanguageFile language{fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  SimulatedClock clock;
  CNonLinearData data;
  CalcRig() {
    EXPECT_EQ(language.Load("Tolvane_Language.txt"), 0);
    data.clsid = kShapesClass;
    data.iid = kShapesInterface;
  }
  CALCULATE_CONTEXT Context() { return {components, busy, messages, language, 0, clock, true}; }
};

TEST(Calculate, CallsThePositionsInOrderAndTakesTheResults) {
  CalcRig rig;
  const auto start = rig.clock.now();
  ASSERT_EQ(rig.data.Calculate(rig.Context()), CALC_OK);
  EXPECT_EQ(rig.components.calls, (std::vector<int>{7, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 2}));
  EXPECT_EQ(rig.busy.record.progress, (std::vector<int>{20, 30, 40, 50, 60, 70, 80, 90, 100}));
  EXPECT_EQ(rig.busy.record.messages.front(), rig.language.Text("BUSY_MESSAGE12", 0));
  EXPECT_EQ(rig.busy.record.messages.back(), rig.language.Text("BUSY_MESSAGE11", 0));
  EXPECT_EQ(rig.busy.open, 0);
  EXPECT_EQ(rig.clock.now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(rig.data.On());
  EXPECT_EQ(rig.data.pointCount, 3);
  EXPECT_EQ(rig.data.table[2], 300);
  EXPECT_FLOAT_EQ(rig.data.volumeScale, 2.0f);
  EXPECT_DOUBLE_EQ(rig.data.results[12], 900.0);
  EXPECT_DOUBLE_EQ(rig.data.levelRange[4], 20.0);
  EXPECT_EQ(rig.data.curveCaption, "Sh\xC3\xA9");
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(Calculate, FailuresKeepTheRecord) {
  {
    CalcRig rig;
    rig.data.clsid = "not-a-class";
    EXPECT_EQ(rig.data.Calculate(rig.Context()), CALC_BAD_CLSID);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].first, rig.language.Text("ERROR_MESSAGE14", 0));
    EXPECT_EQ(rig.messages.shown[0].second, MB_ERROR);
    EXPECT_EQ(rig.components.created, 0);
    EXPECT_EQ(rig.busy.open, 0);
    EXPECT_FALSE(rig.data.On());
  }
  {
    CalcRig rig;
    rig.data.iid = "{3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41}";  // braces are added: this has two
    EXPECT_EQ(rig.data.Calculate(rig.Context()), CALC_BAD_IID);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].first, rig.language.Text("ERROR_MESSAGE71", 0));
  }
  {
    CalcRig rig;
    rig.components.available = false;
    EXPECT_EQ(rig.data.Calculate(rig.Context()), CALC_NO_COMPONENT);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.busy.open, 0);
    EXPECT_FALSE(rig.data.On());
  }
  {
    // A table that goes down, and one without points: refused, nothing taken.
    CalcRig rig;
    rig.components.fake.table = {0, 300, 100};
    rig.data.results[12] = 5.0;
    EXPECT_EQ(rig.data.Calculate(rig.Context()), CALC_REFUSED);
    EXPECT_TRUE(rig.components.released);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.data.results[12], 5.0);
    EXPECT_FALSE(rig.data.On());
    rig.components.fake.table = {0, 100, 300};
    rig.components.fake.points = 0;
    EXPECT_EQ(rig.data.Calculate(rig.Context()), CALC_REFUSED);
    EXPECT_EQ(rig.busy.open, 0);
  }
}

TEST(Calculate, OurComponentRefusesBadDimensions) {
  CComponentLoader loader{fs::path(TOLVANE_TEST_COMPONENTS_DIR)};
  BusyFactory busy;
  RecordingMessages messages;
  CLanguageFile language{fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  ASSERT_EQ(language.Load("Tolvane_Language.txt"), 0);
  SimulatedClock clock;
  CNonLinearData d;
  d.clsid = kShapesClass;
  d.iid = kShapesInterface;
  d.selectionCode = SHAPE_HORIZONTAL_DISHED;
  d.dimensionFactor = 25.4;
  d.dimensions = {48.0, 120.0, 30.0};  // the dished end deeper than the radius
  const CALCULATE_CONTEXT cx{loader, busy, messages, language, 0, clock, false};
  EXPECT_EQ(d.Calculate(cx), CALC_REFUSED);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].first.find("deeper than the radius"), std::string::npos);
  d.dimensions = {48.0, 120.0, 12.0, 6.0};
  EXPECT_EQ(d.Calculate(cx), CALC_OK);
  EXPECT_TRUE(d.On());
  EXPECT_EQ(d.table[0], 0);
  EXPECT_EQ(d.table[d.pointCount - 1], 65535);
  EXPECT_NEAR(d.results[13], (48.0 + 6.0) * 25.4, 1e-9);
  EXPECT_NE(d.curveCaption.find("dished ends"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::geometry

// Our calculation component for the common tank shapes: horizontal cylinders
// with flat or dished ends, a vertical cylinder with a cone bottom, a sphere
// and a rectangular tank with a sloped bottom. A shared library in the
// component folder; the program creates it through the exported factory and
// drives it through the table of methods below.
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "geometry/ClassId.h"
#include "geometry/ComponentAbi.h"
#include "geometry/TankShapes.h"

namespace {

using namespace tolvane::geometry;

constexpr const char* kClassId = "{3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40}";
constexpr const char* kInterfaceId = "{3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41}";

struct ShapeComponent {
  TolvaneComponent base;  // first member: the table
  std::atomic<unsigned long> references{1};
  std::array<double, 9> dimensions{};
  std::uint8_t selection = 0;
  double factor = 1.0;
  bool computed = false;
  std::optional<TANK_GEOMETRY> geometry;
  std::string refusal;
  STRAPPING_SAMPLE sample;
};

ShapeComponent* Self(void* p) { return static_cast<ShapeComponent*>(p); }

long QueryInterface(void* self, const TolvaneGuid* iid, void** out) {
  const auto wanted = ClassIdFromString(kInterfaceId);
  if (out == nullptr) {
    return -1;
  }
  if (iid != nullptr && wanted && SameId(*iid, *wanted)) {
    Self(self)->references.fetch_add(1);
    *out = self;
    return 0;
  }
  *out = nullptr;
  return -1;
}
unsigned long AddRef(void* self) { return Self(self)->references.fetch_add(1) + 1; }
unsigned long Release(void* self) {
  const unsigned long left = Self(self)->references.fetch_sub(1) - 1;
  if (left == 0) {
    delete Self(self);
  }
  return left;
}

long SetDimensions(void* self, void* arg) {
  std::memcpy(Self(self)->dimensions.data(), arg, sizeof(double) * 9);
  return 0;
}
long SetSelection(void* self, void* arg) {
  Self(self)->selection = *static_cast<const std::uint8_t*>(arg);
  return 0;
}
long SetFactor(void* self, void* arg) {
  Self(self)->factor = *static_cast<const double*>(arg);
  return 0;
}
long Unused(void*, void*) { return -1; }
long Begin(void* self) {
  Self(self)->computed = false;
  return 0;
}
long Compute(void* self) {
  ShapeComponent& c = *Self(self);
  c.geometry = MakeGeometry(c.selection, c.dimensions, c.factor, &c.refusal);
  c.sample = c.geometry ? SampleTable(*c.geometry) : STRAPPING_SAMPLE{};
  c.computed = true;
  return c.geometry ? 0 : -1;
}
long LevelRange(void* self, void* arg) {
  const ShapeComponent& c = *Self(self);
  auto* range = static_cast<double*>(arg);
  const double last = c.sample.pointCount > 0 ? double((c.sample.pointCount - 1) * c.sample.step) : 0.0;
  const double values[5] = {0.0, last / 4.0, last / 2.0, last * 3.0 / 4.0, last};
  std::memcpy(range, values, sizeof(values));
  return 0;
}
long Results(void* self, void* arg) {
  const ShapeComponent& c = *Self(self);
  double r[14] = {};
  if (c.geometry) {
    r[0] = c.sample.fullVolume;
    r[1] = c.geometry->height;
    r[2] = c.geometry->standoff;
    r[12] = c.geometry->height;                         // fill height: the tank full
    r[13] = c.geometry->height + c.geometry->standoff;  // the sensor above the bottom
  }
  std::memcpy(arg, r, sizeof(r));
  return 0;
}
long MaxRawLevel(void* self, void* arg) {
  std::memcpy(arg, &Self(self)->sample.maxRawLevel, sizeof(std::uint16_t));
  return 0;
}
long PointCount(void* self, void* arg) {
  *static_cast<std::uint8_t*>(arg) = Self(self)->sample.pointCount;
  return 0;
}
long Step(void* self, void* arg) {
  *static_cast<std::uint8_t*>(arg) = Self(self)->sample.step;
  return 0;
}
long Extra(void* self, void* arg) {
  const std::uint16_t shape = Self(self)->selection;
  std::memcpy(arg, &shape, sizeof(shape));
  return 0;
}
long Table(void* self, void* arg) {
  const ShapeComponent& c = *Self(self);
  std::memcpy(arg, c.sample.table.data(), sizeof(std::uint16_t) * c.sample.pointCount);
  return 0;
}
long VolumePair(void* self, void* arg) {
  const float pair[2] = {Self(self)->sample.volumeOffset, Self(self)->sample.volumeScale};
  std::memcpy(arg, pair, sizeof(pair));
  return 0;
}
long Caption(void* self, void* arg) {
  const ShapeComponent& c = *Self(self);
  const std::string text = c.geometry ? ShapeName(c.selection) + ": volume against level (cubic level units)"
                                      : ShapeName(c.selection) + ": " + c.refusal;
  auto* w = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
  if (w != nullptr) {
    // The texts above are ASCII.
    for (std::size_t i = 0; i < text.size(); ++i) {
      w[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
    w[text.size()] = 0;
  }
  *static_cast<char16_t**>(arg) = w;
  return 0;
}

const TolvaneSlot kTable[kTableSlots] = {
    reinterpret_cast<TolvaneSlot>(&QueryInterface), reinterpret_cast<TolvaneSlot>(&AddRef),
    reinterpret_cast<TolvaneSlot>(&Release),        reinterpret_cast<TolvaneSlot>(&SetDimensions),
    reinterpret_cast<TolvaneSlot>(&SetSelection),   reinterpret_cast<TolvaneSlot>(&SetFactor),
    reinterpret_cast<TolvaneSlot>(&Unused),         reinterpret_cast<TolvaneSlot>(&Begin),
    reinterpret_cast<TolvaneSlot>(&Compute),        reinterpret_cast<TolvaneSlot>(&LevelRange),
    reinterpret_cast<TolvaneSlot>(&Results),        reinterpret_cast<TolvaneSlot>(&MaxRawLevel),
    reinterpret_cast<TolvaneSlot>(&PointCount),     reinterpret_cast<TolvaneSlot>(&Step),
    reinterpret_cast<TolvaneSlot>(&Extra),          reinterpret_cast<TolvaneSlot>(&Table),
    reinterpret_cast<TolvaneSlot>(&VolumePair),     reinterpret_cast<TolvaneSlot>(&Caption),
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int TolvaneCreateComponent(const TolvaneGuid* clsid,
                                                                             const TolvaneGuid* iid,
                                                                             TolvaneComponent** out) {
  if (out == nullptr) {
    return -1;
  }
  *out = nullptr;
  const auto ours = ClassIdFromString(kClassId);
  const auto face = ClassIdFromString(kInterfaceId);
  if (clsid == nullptr || iid == nullptr || !ours || !face || !SameId(*clsid, *ours) || !SameId(*iid, *face)) {
    return -2;
  }
  auto* c = new (std::nothrow) ShapeComponent();
  if (c == nullptr) {
    return -3;
  }
  c->base.table = kTable;
  *out = &c->base;
  return 0;
}

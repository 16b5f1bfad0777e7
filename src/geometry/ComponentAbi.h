// The binary seam between the program and a calculation component: a shared
// library in the component folder exports one C factory that creates an
// object for a class and interface identifier. The object's first member
// points at a table of function pointers that the program calls by position:
// 0 to 2 are the usual reference counting, the rest take the object and at
// most one argument (see the positions below). Plain C types only, so that a
// component can be built apart from the program.
#pragma once

#include <cstdint>

extern "C" {

// A class or interface identifier, laid out as the usual 128-bit GUID.
struct TolvaneGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// One slot of the table; each is cast back to the type of its position.
typedef void (*TolvaneSlot)(void);
typedef long (*TolvaneQueryInterface)(void* self, const TolvaneGuid* iid, void** out);
typedef unsigned long (*TolvaneRefCount)(void* self);
typedef long (*TolvaneCall0)(void* self);
typedef long (*TolvaneCall1)(void* self, void* argument);

struct TolvaneComponent {
  const TolvaneSlot* table;
};

// The factory every component library exports: 0 and the new object (one
// reference) in `out`, or a non-zero code and `out` null.
typedef int (*TolvaneCreateFn)(const TolvaneGuid* clsid, const TolvaneGuid* iid, TolvaneComponent** out);
}

namespace tolvane::geometry {

inline constexpr const char* kFactorySymbol = "TolvaneCreateComponent";
inline constexpr int kTableSlots = 18;

// Positions of the calculation interface's methods.
enum COMPONENT_SLOT : int {
  SLOT_QUERY = 0,
  SLOT_ADDREF = 1,
  SLOT_RELEASE = 2,
  SLOT_DIMENSIONS = 3,      // in: 9 doubles, the dimensions in the dimension unit
  SLOT_SELECTION = 4,       // in: uint8, the shape within the component
  SLOT_FACTOR = 5,          // in: double, raw level units per dimension unit
  SLOT_BEGIN = 7,           // called first
  SLOT_COMPUTE = 8,         // after 3 to 5
  SLOT_LEVEL_RANGE = 9,     // out: 5 doubles
  SLOT_RESULTS = 10,        // out: 14 doubles
  SLOT_MAX_RAW_LEVEL = 11,  // out: uint16
  SLOT_POINT_COUNT = 12,    // out: uint8
  SLOT_STEP = 13,           // out: uint8
  SLOT_EXTRA = 14,          // out: uint16
  SLOT_TABLE = 15,          // out: up to 249 uint16
  SLOT_VOLUME_PAIR = 16,    // out: two floats, offset then scale
  SLOT_CAPTION = 17,        // out: char16_t*, allocated with malloc by the component
};

}  // namespace tolvane::geometry

// The configuration record and the unit's Customer page: 256 little-endian
// 16-bit words. Sensor height (word 1), fill height (word 3), the non-linear
// values (words 205..223) and the notes (bytes 448..511) are fixed; every
// other word comes from the model: item words, level words of the matched
// configuration, advanced flag bits and values, and the DCAL words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

inline constexpr std::size_t kCustomerPageBytes = 512;
using PageBytes = std::array<std::uint8_t, kCustomerPageBytes>;

inline constexpr int kSensorHeightWord = 1;
inline constexpr int kFillHeightWord = 3;
inline constexpr int kDimensionUnitWord = 205;
inline constexpr std::size_t kDimensionsByte = 412;  // nine single-precision floats
inline constexpr int kDimensionCount = 9;
inline constexpr std::size_t kNotesByte = 448;
inline constexpr std::size_t kNotesBytes = 64;

// What the Customer page keeps of the tank geometry.
struct NONLINEAR_PAGE {
  std::uint16_t dimensionUnit = 0;
  std::array<float, kDimensionCount> dimensions{};
};

// Words of a page image.
std::uint16_t GetWord(const PageBytes& page, int word);
void PutWord(PageBytes& page, int word, std::uint16_t value);

enum ENCODE_RESULT : int {
  ENCODE_OK = 0,
  ENCODE_NOT_VALID = 1,      // the record holds no valid configuration; nothing written
  ENCODE_VALUE_RANGE = 2,    // a height, level, code or value does not fit its word
  ENCODE_WORD_RANGE = 3,     // the model names a word outside the page
  ENCODE_NO_UNITS = 4,       // the selected units have no usable factor
  ENCODE_BAD_SELECTION = 5,  // a selection or the configuration index names nothing in the model
};

struct ENCODE_FAULT {
  int result = ENCODE_OK;
  std::string what;  // the field that failed, for the detail text
};

// Builds the page image the unit receives into `staging`, starting from the
// cached page. Nothing is written to `staging` unless the whole image could
// be built. `volume` converts levels shown in volume units (none: such a
// record is refused). `fault`, when given, names what failed.
int EncodeToPage(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, const NONLINEAR_PAGE& nonLinear,
                 const PageBytes& cached, PageBytes& staging, const IVolumeLevels* volume = nullptr,
                 ENCODE_FAULT* fault = nullptr);

// Fills the record and the non-linear values from the cached page: the
// selections are reset and then taken from the item words, the configuration
// evaluated, the heights, levels and advanced entries decoded. 0, or -1 when
// the decoded record is not complete. Page contents never fail otherwise:
// codes that match no option leave the prompt, 0xFFFF is an absent value, a
// word the model places outside the page is not read.
int DecodeFromPage(const MODEL_DEFINITION& model, CONFIG_RECORD& record, NONLINEAR_PAGE& nonLinear,
                   const PageBytes& cached, const IVolumeLevels* volume = nullptr);

}  // namespace tolvane::config

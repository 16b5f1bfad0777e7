#include "config/PageMapping.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "common/Encoding.h"
#include "config/ConfigValues.h"

namespace tolvane::config {

namespace {

bool InPage(std::int32_t word) { return word >= 0 && word < kPageWords; }

// Bit of an advanced entry's flag: bit number b (1-based) clamped to 1..16.
std::uint16_t FlagMask(std::int32_t bitNumber) {
  const int b = std::clamp(bitNumber, 1, 16);
  return static_cast<std::uint16_t>(1u << (b - 1));
}

// A code or fixed value as a word: -32768..65535, negative ones as their
// two's complement (they read back as signed).
bool CodeWord(std::int64_t value, std::uint16_t& word) {
  if (value < -32768 || value > kWordMax) {
    return false;
  }
  word = static_cast<std::uint16_t>(value & 0xFFFF);
  return true;
}

bool CountsWord(std::int64_t counts, std::uint16_t& word) {
  if (counts < 0 || counts > kWordMax) {
    return false;
  }
  word = static_cast<std::uint16_t>(counts);
  return true;
}

struct Encoder {
  const MODEL_DEFINITION& model;
  const CONFIG_RECORD& record;
  PageBytes image;
  ENCODE_FAULT fault;

  bool Fail(int result, std::string what) {
    fault.result = result;
    fault.what = std::move(what);
    return false;
  }
  bool Put(std::int32_t word, std::uint16_t value, const std::string& what) {
    if (!InPage(word)) {
      return Fail(ENCODE_WORD_RANGE, what + ": word " + std::to_string(word));
    }
    PutWord(image, word, value);
    return true;
  }

  bool FixedWords() {
    const int count = std::clamp(model.fixedWriteCount, 0, kMaxFixedWrites);
    for (int n = 0; n < count; ++n) {
      const FIXED_WRITE& d = model.fixedWrites[At(n)];
      std::uint16_t w = 0;
      if (!CodeWord(d.value, w)) {
        return Fail(ENCODE_VALUE_RANGE, "DCAL word " + std::to_string(d.word));
      }
      if (!Put(d.word, w, "DCAL")) {
        return false;
      }
    }
    return true;
  }

  bool Items() {
    for (int i = 0; i < kMaxItems; ++i) {
      const CONFIG_ITEM& item = model.items[At(i)];
      if (!item.present || item.wordIndex < 0) {
        continue;
      }
      const std::int32_t option = record.selection[At(i)];
      if (option < 1 || option >= OptionSlots(item)) {
        return Fail(ENCODE_BAD_SELECTION, item.label);
      }
      std::uint16_t w = 0;
      if (!CodeWord(item.optionCode[At(option)], w)) {
        return Fail(ENCODE_VALUE_RANGE, item.label);
      }
      if (!Put(item.wordIndex, w, item.label)) {
        return false;
      }
    }
    return true;
  }

  bool Advanced() {
    const int count = AdvancedSlots(model);
    for (int r = 0; r < count; ++r) {
      const ADVANCED_ENTRY& a = model.advanced[At(r)];
      const ADVANCED_SLOT& slot = record.advanced[At(r)];
      if (a.flagWord >= 0) {
        if (!InPage(a.flagWord)) {
          return Fail(ENCODE_WORD_RANGE, a.label + ": word " + std::to_string(a.flagWord));
        }
        const std::uint16_t mask = FlagMask(a.flagBit);
        const std::uint16_t old = GetWord(image, a.flagWord);
        PutWord(image, a.flagWord, static_cast<std::uint16_t>(slot.present ? (old | mask) : (old & ~mask)));
      }
      if (a.valueWord >= 0) {
        std::uint16_t w = 0xFFFF;
        if (slot.present && slot.value >= 0.0) {
          // 0xFFFF means "no value", so a value must stay below it.
          const double v = std::trunc(slot.value);
          if (!(v < static_cast<double>(kWordMax))) {
            return Fail(ENCODE_VALUE_RANGE, a.label);
          }
          w = static_cast<std::uint16_t>(v);
        }
        if (!Put(a.valueWord, w, a.label)) {
          return false;
        }
      }
    }
    return true;
  }

  bool Height(std::optional<double> f, int word, double value, const char* what) {
    std::uint16_t w = 0;
    if (!CountsWord(ToCounts(*f, value), w)) {
      return Fail(ENCODE_VALUE_RANGE, what);
    }
    return Put(word, w, what);
  }

  bool Levels(const CONFIGURATION_ENTRY& c, const IVolumeLevels* volume) {
    const std::optional<double> f = LevelFactor(model, record);
    for (int k = 0; k < kLevelRows; ++k) {
      const std::int32_t word = c.levelWord[At(k)];
      if (word <= 0) {
        continue;
      }
      const double v = record.level[At(k)];
      std::optional<std::int32_t> counts;
      if (f) {
        counts = ToCounts(*f, v);
      } else if (record.volumeUnits && volume != nullptr) {
        counts = volume->ToCounts(record.unitsIndex, v);
      } else {
        return Fail(ENCODE_NO_UNITS, c.levelLabel[At(k)]);
      }
      std::uint16_t w = 0;
      if (!counts || !CountsWord(*counts, w)) {
        return Fail(ENCODE_VALUE_RANGE, c.levelLabel[At(k)]);
      }
      if (!Put(word, w, c.levelLabel[At(k)])) {
        return false;
      }
    }
    return true;
  }
};

}  // namespace

std::uint16_t GetWord(const PageBytes& page, int word) {
  const std::size_t b = 2 * At(word);
  return static_cast<std::uint16_t>(page.at(b) | (page.at(b + 1) << 8));
}

void PutWord(PageBytes& page, int word, std::uint16_t value) {
  const std::size_t b = 2 * At(word);
  page.at(b) = static_cast<std::uint8_t>(value & 0xFFu);
  page.at(b + 1) = static_cast<std::uint8_t>(value >> 8);
}

int EncodeToPage(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, const NONLINEAR_PAGE& nonLinear,
                 const PageBytes& cached, PageBytes& staging, const IVolumeLevels* volume, ENCODE_FAULT* fault) {
  Encoder e{model, record, cached, {}};
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model, record.configIndex);
  bool ok = true;
  if (!record.valid) {
    ok = e.Fail(ENCODE_NOT_VALID, "configuration");
  } else if (c == nullptr || !Matches(*c, record.selection)) {
    ok = e.Fail(ENCODE_BAD_SELECTION, "configuration");
  }
  ok = ok && e.FixedWords() && e.Items() && e.Advanced();
  if (ok) {
    PutWord(e.image, kDimensionUnitWord, nonLinear.dimensionUnit);
    for (int d = 0; d < kDimensionCount; ++d) {
      const auto bits = std::bit_cast<std::uint32_t>(nonLinear.dimensions[At(d)]);
      for (std::size_t b = 0; b < 4; ++b) {
        e.image[kDimensionsByte + 4 * At(d) + b] = static_cast<std::uint8_t>((bits >> (8 * b)) & 0xFFu);
      }
    }
    const std::optional<double> f = HeightFactor(model, record);
    if (!f) {
      ok = e.Fail(ENCODE_NO_UNITS, "units");
    }
    ok = ok && e.Height(f, kSensorHeightWord, record.sensorHeight, "sensor height") &&
         e.Height(f, kFillHeightWord, record.fillHeight, "fill height") && e.Levels(*c, volume);
  }
  if (ok) {
    // The notes in Windows-1252; cut to the 64 bytes the page has.
    const std::string notes = Utf8ToCp1252(record.tankDescription);
    std::fill_n(e.image.begin() + kNotesByte, kNotesBytes, std::uint8_t{0});
    std::memcpy(e.image.data() + kNotesByte, notes.data(), std::min(notes.size(), kNotesBytes));
    staging = e.image;
  }
  if (fault != nullptr) {
    *fault = e.fault;
  }
  return e.fault.result;
}

int DecodeFromPage(const MODEL_DEFINITION& model, CONFIG_RECORD& record, NONLINEAR_PAGE& nonLinear,
                   const PageBytes& cached, const IVolumeLevels* volume) {
  ResetSelections(model, record);

  const auto* notes = reinterpret_cast<const char*>(cached.data() + kNotesByte);
  record.tankDescription = Cp1252ToUtf8(std::string_view(notes, strnlen(notes, kNotesBytes)));

  nonLinear.dimensionUnit = GetWord(cached, kDimensionUnitWord);
  for (int d = 0; d < kDimensionCount; ++d) {
    std::uint32_t bits = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      bits |= static_cast<std::uint32_t>(cached[kDimensionsByte + 4 * At(d) + b]) << (8 * b);
    }
    nonLinear.dimensions[At(d)] = std::bit_cast<float>(bits);
  }

  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model.items[At(i)];
    if (!item.present || !InPage(item.wordIndex)) {
      continue;
    }
    const std::uint16_t raw = GetWord(cached, item.wordIndex);
    const auto code = static_cast<std::int16_t>(raw);
    const int options = OptionSlots(item);
    for (int j = 0; j < options; ++j) {
      const std::int32_t c = item.optionCode[At(j)];
      if (c == code || c == raw) {
        record.selection[At(i)] = j;
        break;
      }
    }
    EvaluateConfiguration(model, record, true);
  }
  EvaluateConfiguration(model, record, true);

  if (const std::optional<double> f = HeightFactor(model, record)) {
    record.sensorHeight = FromCounts(*f, GetWord(cached, kSensorHeightWord));
    record.fillHeight = FromCounts(*f, GetWord(cached, kFillHeightWord));
  } else {
    record.sensorHeight = record.fillHeight = -1.0;
  }

  const CONFIGURATION_ENTRY* c = ConfigurationAt(model, record.configIndex);
  if (c == nullptr) {
    return 0;
  }
  const std::optional<double> f = LevelFactor(model, record);
  for (int k = 0; k < kLevelRows; ++k) {
    const std::int32_t word = c->levelWord[At(k)];
    if (word <= 0 || !InPage(word)) {
      continue;
    }
    const std::uint16_t counts = GetWord(cached, word);
    if (f) {
      record.level[At(k)] = FromCounts(*f, counts);
    } else if (record.volumeUnits && volume != nullptr) {
      record.level[At(k)] = volume->FromCounts(record.unitsIndex, counts).value_or(-1.0);
    }
  }

  const int count = AdvancedSlots(model);
  for (int r = 0; r < count; ++r) {
    const ADVANCED_ENTRY& a = model.advanced[At(r)];
    ADVANCED_SLOT& slot = record.advanced[At(r)];
    slot.present = InPage(a.flagWord) && (GetWord(cached, a.flagWord) & FlagMask(a.flagBit)) != 0;
    const std::uint16_t value = InPage(a.valueWord) ? GetWord(cached, a.valueWord) : std::uint16_t{0xFFFF};
    if (value == 0xFFFF) {
      slot.value = -1.0;
    } else {
      slot.present = true;
      slot.value = value;
    }
  }
  return UpdateCompleteness(model, record);
}

}  // namespace tolvane::config

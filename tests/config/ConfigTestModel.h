// Small configuration models built in memory, for the tests of the record,
// the page mapping and the form's decisions.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::test {

// A model definition on the heap (it is large) with helpers to fill it.
class TestModel {
 public:
  TestModel() : m_(std::make_unique<MODEL_DEFINITION>()) {}
  MODEL_DEFINITION& operator*() { return *m_; }
  MODEL_DEFINITION* operator->() { return m_.get(); }
  const MODEL_DEFINITION& get() const { return *m_; }

  // Item i with its word and the codes of options 1..n (texts "<label> <code>").
  TestModel& Item(int i, std::int32_t word, const std::string& label, std::initializer_list<std::int32_t> codes) {
    CONFIG_ITEM& item = m_->items[static_cast<std::size_t>(i)];
    item.present = true;
    item.wordIndex = word;
    item.label = label;
    item.optionCode[0] = -1;
    item.optionText[0] = "<Select>";
    std::size_t j = 1;
    for (const std::int32_t c : codes) {
      item.optionCode[j] = c;
      item.optionText[j] = label + " " + std::to_string(j);
      ++j;
    }
    item.optionCount = static_cast<std::int32_t>(j);
    item.optionLast = static_cast<std::int32_t>(j - 1);
    m_->itemCount = std::max(m_->itemCount, i + 1);
    m_->itemLast = std::max(m_->itemLast, i);
    return *this;
  }
  // A configuration requiring the given options of items 0.. (the rest -1),
  // with level rows (row, word, label).
  TestModel& Config(std::int32_t number, std::initializer_list<std::int32_t> required,
                    std::initializer_list<std::tuple<int, std::int32_t, const char*>> rows = {}) {
    const auto n = static_cast<std::size_t>(m_->configurationCount);
    CONFIGURATION_ENTRY& c = m_->configurations[n];
    c.present = true;
    c.number = number;
    c.requiredOption.fill(-1);
    std::size_t i = 0;
    for (const std::int32_t r : required) {
      c.requiredOption[i++] = r;
    }
    for (const auto& [row, word, label] : rows) {
      c.levelWord[static_cast<std::size_t>(row)] = word;
      c.levelLabel[static_cast<std::size_t>(row)] = label;
    }
    ++m_->configurationCount;
    m_->configurationLast = m_->configurationCount - 1;
    return *this;
  }
  TestModel& Units(std::initializer_list<std::pair<const char*, double>> units) {
    std::size_t u = 0;
    for (const auto& [name, factor] : units) {
      m_->unitNames[u] = name;
      m_->unitFactors[u] = factor;
      ++u;
    }
    m_->unitsCount = m_->unitConvCount = static_cast<std::int32_t>(u);
    m_->unitsLast = static_cast<std::int32_t>(u) - 1;
    return *this;
  }
  TestModel& Advanced(std::int32_t flagWord, std::int32_t bit, std::int32_t valueWord, const char* label = "entry") {
    ADVANCED_ENTRY& a = m_->advanced[static_cast<std::size_t>(m_->advancedInputCount)];
    a.flagWord = flagWord;
    a.flagBit = bit;
    a.valueWord = valueWord;
    a.label = label;
    ++m_->advancedInputCount;
    m_->advancedLast = m_->advancedInputCount - 1;
    return *this;
  }
  TestModel& Fixed(std::int32_t word, std::int32_t value) {
    m_->fixedWrites[static_cast<std::size_t>(m_->fixedWriteCount++)] = FIXED_WRITE{word, value};
    return *this;
  }

 private:
  std::unique_ptr<MODEL_DEFINITION> m_;
};

}  // namespace tolvane::test

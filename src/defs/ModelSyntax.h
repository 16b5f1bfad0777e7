// The line syntax shared by model, structure and settings files: apostrophe
// comments, a key before "[" or "=", the value after the first "=", bracketed
// indices and "|"-separated fields. Free functions on plain text, so every
// reader of these files (and the tests) uses the same rules.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tolvane {

// One line of a model file, taken apart.
struct MODEL_ENTRY {
  std::string key;
  std::string value;
  std::int32_t index = -1;   // first index, 0-based (the file writes it 1-based); -1 when missing
  std::int32_t written = 0;  // first index as written (0 when missing)
  std::int32_t second = 0;   // second index as written (0 when missing)
  bool hasIndex = false;     // a first index was read
  bool append = false;       // "+" in the brackets, or a 0-based index below 0
};

// Takes one line apart. Returns false for a line that holds no entry (empty
// or blank after the comment is cut).
bool ReadEntry(std::string_view line, MODEL_ENTRY& entry);

// Leading decimal integer of a field (blanks, sign, digits), saturated to the
// 32-bit range; 0 when there is none.
std::int32_t ParseInt32(std::string_view field);
// Leading decimal number of a field; 0 when there is none or it is not finite.
double ParseReal(std::string_view field);
// Booleans of model and settings files: exactly "TRUE" is true.
inline bool ParseBool(std::string_view value) { return value == "TRUE"; }

using FieldTarget = std::variant<std::int32_t*, double*, std::string*>;

// Splits `value` and `pattern` at "|" and converts field k by pattern token k
// ("%d", "%f", "%s") into the next target. A token that is none of these
// skips its field and takes no target. Missing fields give 0 or an empty text;
// extra fields are ignored.
void ParseFields(std::string_view value, std::string_view pattern, std::span<const FieldTarget> targets);
inline void ParseFields(std::string_view value, std::string_view pattern, std::initializer_list<FieldTarget> targets) {
  ParseFields(value, pattern, std::span<const FieldTarget>(targets.begin(), targets.size()));
}

// Decides the slot of an indexed line in a list with a count and a last index.
// Returns the slot, or -1 when the line is to be ignored: the list is full, or
// the slot would lie outside 0..capacity-1 (count and last are then unchanged).
std::int32_t AllocateSlot(bool append, std::int32_t capacity, std::int32_t index, std::int32_t& count,
                          std::int32_t& last);

// An option list of a CONFIG line: numbers separated by "," or ":", where
// "a:b" stands for every number from a to b. An empty list gives {0}.
// Returns false (and an empty result) for a list of more than 10 numbers or
// one that names more than 21 options.
inline constexpr int kMaxListNumbers = 10;
inline constexpr int kMaxListOptions = 21;
bool ExpandOptionList(std::string_view list, std::vector<std::int32_t>& options);

// The lines of a text held in memory, read as the text file reader reads a
// file: UTF-16 LE when it starts with a byte-order mark, 8-bit text otherwise.
// Zero bytes at the end of the text (the padding of a deciphered file) are no
// content.
std::vector<std::string> SplitTextLines(std::string_view bytes);

}  // namespace tolvane

// The service edits of the sensor memory: one word of the Customer or Factory
// page (the direct memory entry), and the calibration and hardware identity
// fields of the information memory. The dialogs and the command-line program
// check and apply their texts with these functions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/UnitMemory.h"

namespace tolvane::link {

// --- direct memory entry ---------------------------------------------------

struct DIRECT_ENTRY {
  int page = 0;     // wire number: 1 Customer, 2 Factory
  int address = 0;  // word 0..255
  int value = 0;    // 0..65535
};

// Checks the texts of the direct entry: the address and the value as plain
// unsigned decimal numbers (blanks around them allowed), `page` 1 or 2 (0:
// none chosen). Returns the language key of the message that refuses the
// entry (ERROR_MESSAGE67 address, ERROR_MESSAGE68 value, ERROR_MESSAGE69
// page), or null with `entry` filled. Text that is not a number is refused
// like a number out of range: it never stands for word 0 or the value 0.
const char* CheckDirectEntry(std::string_view addressText, std::string_view valueText, int page, DIRECT_ENTRY& entry);

// Stores the value into the word of the chosen page's cache (little-endian),
// copies that cached page into the staging buffer and writes it to the unit.
// The cache keeps the new value even when the write fails. The WritePage result.
int ApplyDirectEntry(CUnitMemory& memory, const DIRECT_ENTRY& entry);

// --- information memory ------------------------------------------------------

// The fields in the order of the dialog's edits.
enum InfoField : int {
  INFO_TCAL,
  INFO_TVAL,
  INFO_CALA,
  INFO_CALC,
  INFO_CALD,
  INFO_HWSERIAL,
  INFO_HWMODEL,
  INFO_CALDONE,
  INFO_FIELD_COUNT
};

using INFO_TEXTS = std::array<std::string, INFO_FIELD_COUNT>;

// The hardware model field holds 16 bytes with its terminating zero.
inline constexpr std::size_t kHardwareModelBytes = 16;

// The field's name as the command-line program spells it ("TCAL", ...).
const char* InfoFieldName(int field);
// The field of a name (any case); nullopt for an unknown name.
std::optional<int> InfoFieldByName(std::string_view name);

// The texts the dialog shows: the words as "0x%04X", the hardware serial in
// decimal, the hardware model converted from Windows-1252 up to its zero byte
// (at most 16 characters).
INFO_TEXTS InfoMemoryTexts(std::span<const std::uint8_t, kInfoBytes> info);

// A calibration word as typed: after conversion to upper case, text that
// begins with "0X" is hexadecimal, anything else decimal; reading stops at the
// first character that is not a digit (so "x255" and "0x" read as 0); empty
// text is 0; only the low 16 bits are kept.
std::uint16_t ParseInfoWord(std::string_view text);
// The hardware serial as typed: a signed decimal number, kept within the
// 32-bit range.
std::int32_t ParseInfoSerial(std::string_view text);

// The key of the message that refuses the field's text, or null. Only the
// hardware model can be refused: more than 15 characters do not fit its 16
// bytes with the terminating zero (SERVICE_MESSAGE1).
const char* CheckInfoText(int field, std::string_view text);

// Stores one field's text into the image (after CheckInfoText accepted it).
// The hardware model is converted to Windows-1252, characters without an
// equivalent becoming "?", and the rest of its 16 bytes is zeroed.
void StoreInfoText(int field, std::string_view text, std::span<std::uint8_t, kInfoBytes> info);

// Checks every text, then stores them all. The key of the first refusal (the
// image is then unchanged), or null.
const char* ApplyInfoMemoryTexts(const INFO_TEXTS& texts, std::span<std::uint8_t, kInfoBytes> info);

}  // namespace tolvane::link

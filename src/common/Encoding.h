// Conversions between the text encodings the program meets: UTF-8 inside,
// Windows-1252 for 8-bit files written on Windows machines, UTF-16 LE for
// Unicode files.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// True when the bytes form well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 bytes to UTF-8. The five unassigned bytes become "?".
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; characters without an equivalent, and malformed
// bytes, become "?".
std::string Utf8ToCp1252(std::string_view utf8);

// A line of an 8-bit text file: UTF-8 when it is well-formed UTF-8 (as files
// written on this desktop are), Windows-1252 otherwise. Plain ASCII is the
// same either way.
std::string Decode8Bit(std::string_view bytes);

// UTF-16 LE bytes (no byte-order mark) to UTF-8. Unpaired surrogates become
// U+FFFD; a trailing odd byte is ignored.
std::string Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16 LE bytes (no byte-order mark). Malformed input becomes "?".
std::string Utf8ToUtf16Le(std::string_view utf8);

// UTF-8 <-> code points, for code that works on character positions.
std::u32string Utf8ToU32(std::string_view utf8);
std::string U32ToUtf8(std::u32string_view text);

}  // namespace tolvane

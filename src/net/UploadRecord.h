// The upload record of one written configuration: a line in URL query form,
// each value formatted, escaped and appended behind its key.
#pragma once

#include <string>
#include <string_view>

#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::net {

// An escaped value may hold at most this many characters.
inline constexpr std::size_t kMaxEscapedValue = 99;

// Escapes `value` (UTF-8) for a URL query: letters, digits, ! ' ( ) * - . / :
// _ ~ and % stay; every other byte becomes % and two lowercase hex digits.
// With `escapeSlash` every "/" is first replaced by "%2F". False (and `out`
// untouched) when the escaped form would exceed kMaxEscapedValue characters.
bool EscapeValue(std::string_view value, bool escapeSlash, std::string& out);

// Appends `key` and the escaped `value` (already formatted) to `record`.
// False, with `record` unchanged, when the value is too long once escaped.
bool AppendField(std::string_view key, std::string_view value, std::string& record);

// printf-formats one number the way the record's fields ask for it ("%04d",
// "%d", "%#3.1f").
std::string FormatField(const char* format, long long value);
std::string FormatField(const char* format, double value);

struct UPLOAD_RECORD {
  std::string line;      // the record line without line ends
  std::string badField;  // the key whose value was too long; empty when built
};

// Builds the record line of `record` written with `model`.
UPLOAD_RECORD BuildUploadRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model);

}  // namespace tolvane::net

#include "defs/ModelSyntax.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/Encoding.h"
#include "common/StdioFileEx.h"

namespace tolvane {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(v < kInt32Min ? kInt32Min : (v > kInt32Max ? kInt32Max : v));
}

// Only the space character counts as blank around keys and values.
std::string_view TrimSpaces(std::string_view s) {
  const std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) {
    return {};
  }
  const std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

bool IsScanBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// "%d" at `pos`: blanks, an optional sign, at least one digit. Saturates.
bool ScanInt(std::string_view s, std::size_t& pos, std::int64_t& value) {
  std::size_t p = pos;
  while (p < s.size() && IsScanBlank(s[p])) {
    ++p;
  }
  bool negative = false;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
    negative = s[p] == '-';
    ++p;
  }
  if (p >= s.size() || s[p] < '0' || s[p] > '9') {
    return false;
  }
  std::int64_t v = 0;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
    if (v <= kInt32Max) {
      v = v * 10 + (s[p] - '0');
    }
    ++p;
  }
  if (v > kInt32Max) {
    v = kInt32Max + 1;  // saturated; clamped below
  }
  value = negative ? -v : v;
  pos = p;
  return true;
}

// The bracketed indices of the key part, read as "%*[^[][%d][%d]" would: at
// least one character before the first "[", then "[", a number, "]", "[", a
// number.
void ScanIndices(std::string_view keyPart, MODEL_ENTRY& e) {
  const std::size_t open = keyPart.find('[');
  if (open == std::string_view::npos || open == 0) {
    return;
  }
  std::size_t p = open + 1;
  if (p < keyPart.size() && keyPart[p] == '+') {
    e.append = true;
  }
  std::int64_t first = 0;
  if (!ScanInt(keyPart, p, first)) {
    return;
  }
  e.hasIndex = true;
  e.written = Clamp32(first);
  e.index = Clamp32(first - 1);
  if (p + 1 < keyPart.size() && keyPart[p] == ']' && keyPart[p + 1] == '[') {
    p += 2;
    std::int64_t second = 0;
    if (ScanInt(keyPart, p, second)) {
      e.second = Clamp32(second);
    }
  }
}

}  // namespace

bool ReadEntry(std::string_view line, MODEL_ENTRY& entry) {
  entry = MODEL_ENTRY{};
  const std::size_t apostrophe = line.find('\'');
  if (apostrophe != std::string_view::npos) {
    line = line.substr(0, apostrophe);
  }
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
    return false;
  }
  const std::size_t cut = line.find_first_of("[=");
  entry.key = std::string(TrimSpaces(line.substr(0, cut == std::string_view::npos ? line.size() : cut)));
  const std::size_t eq = line.find('=');
  entry.value = std::string(TrimSpaces(eq == std::string_view::npos ? line : line.substr(eq + 1)));
  // Indices are read from the part before the "=", so a "[" inside a value is never taken for one.
  ScanIndices(line.substr(0, eq == std::string_view::npos ? line.size() : eq), entry);
  if (entry.index < 0) {
    entry.append = true;
  }
  return true;
}

std::int32_t ParseInt32(std::string_view field) {
  std::size_t p = 0;
  std::int64_t v = 0;
  return ScanInt(field, p, v) ? Clamp32(v) : 0;
}

double ParseReal(std::string_view field) {
  std::size_t p = 0;
  while (p < field.size() && IsScanBlank(field[p])) {
    ++p;
  }
  if (p < field.size() && field[p] == '+') {
    ++p;
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(field.data() + p, field.data() + field.size(), v);
  (void)end;
  if (ec != std::errc() || !std::isfinite(v)) {
    return 0.0;
  }
  return v;
}

void ParseFields(std::string_view value, std::string_view pattern, std::span<const FieldTarget> targets) {
  auto target = targets.begin();
  std::size_t vpos = 0;
  bool valueDone = false;
  std::size_t ppos = 0;
  while (ppos <= pattern.size() && target != targets.end()) {
    const std::size_t pbar = pattern.find('|', ppos);
    const std::string_view token =
        pattern.substr(ppos, pbar == std::string_view::npos ? std::string_view::npos : pbar - ppos);
    std::string_view field;
    bool missing = valueDone;
    if (!valueDone) {
      const std::size_t vbar = value.find('|', vpos);
      field = value.substr(vpos, vbar == std::string_view::npos ? std::string_view::npos : vbar - vpos);
      if (vbar == std::string_view::npos) {
        valueDone = true;
      } else {
        vpos = vbar + 1;
      }
    }
    if (token == "%d" || token == "%f" || token == "%s") {
      const FieldTarget& t = *target++;
      if (token == "%d" && std::holds_alternative<std::int32_t*>(t)) {
        *std::get<std::int32_t*>(t) = missing ? 0 : ParseInt32(field);
      } else if (token == "%f" && std::holds_alternative<double*>(t)) {
        *std::get<double*>(t) = missing ? 0.0 : ParseReal(field);
      } else if (token == "%s" && std::holds_alternative<std::string*>(t)) {
        *std::get<std::string*>(t) = missing ? std::string() : std::string(field);
      }
    }
    if (pbar == std::string_view::npos) {
      break;
    }
    ppos = pbar + 1;
  }
}

std::int32_t AllocateSlot(bool append, std::int32_t capacity, std::int32_t index, std::int32_t& count,
                          std::int32_t& last) {
  if (count >= capacity) {
    return -1;
  }
  const std::int64_t slot = append ? static_cast<std::int64_t>(last) + 1 : index;
  if (slot < 0 || slot >= capacity) {
    return -1;
  }
  if (index >= last) {
    ++count;
  }
  if (last < slot) {
    last = static_cast<std::int32_t>(slot);
  }
  return static_cast<std::int32_t>(slot);
}

bool ExpandOptionList(std::string_view list, std::vector<std::int32_t>& options) {
  options.clear();
  if (list.empty()) {
    options.push_back(0);
    return true;
  }
  int numbers = 0;
  std::int64_t previous = 0;
  char separator = ',';
  std::size_t pos = 0;
  for (;;) {
    const std::size_t sep = list.find_first_of(",:", pos);
    const std::string_view token = list.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos);
    const std::int32_t number = ParseInt32(token);
    if (++numbers > kMaxListNumbers) {
      options.clear();
      return false;
    }
    if (numbers == 1 || separator == ',') {
      options.push_back(number);
    } else {
      // A range: previous + 1 up to number. Its size is checked before anything is added.
      const std::int64_t size = static_cast<std::int64_t>(number) - previous;
      if (size > 0 && static_cast<std::int64_t>(options.size()) + size > kMaxListOptions) {
        options.clear();
        return false;
      }
      for (std::int64_t v = previous + 1; v <= number; ++v) {
        options.push_back(static_cast<std::int32_t>(v));
      }
    }
    if (static_cast<int>(options.size()) > kMaxListOptions) {
      options.clear();
      return false;
    }
    previous = number;
    if (sep == std::string_view::npos) {
      break;
    }
    separator = list[sep];
    pos = sep + 1;
  }
  return true;
}

std::vector<std::string> SplitTextLines(std::string_view bytes) {
  std::vector<std::string> lines;
  const bool unicode =
      bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (unicode) {
    std::string_view body = bytes.substr(2);
    body = body.substr(0, body.size() & ~std::size_t{1});  // a trailing odd byte is no character
    while (body.size() >= 2 && body[body.size() - 1] == '\0' && body[body.size() - 2] == '\0') {
      body.remove_suffix(2);
    }
    std::size_t start = 0;
    while (start < body.size()) {
      std::size_t end = start;
      while (end < body.size() && !(body[end] == '\n' && body[end + 1] == '\0')) {
        end += 2;
      }
      std::string_view raw = body.substr(start, end - start);
      while (raw.size() >= 2 && raw[raw.size() - 2] == '\r' && raw.back() == '\0') {
        raw.remove_suffix(2);
      }
      if (raw.size() > CStdioFileEx::kMaxLineBytes) {
        raw = raw.substr(0, CStdioFileEx::kMaxLineBytes);
      }
      lines.push_back(Utf16LeToUtf8(raw));
      start = end + 2;
    }
    return lines;
  }
  std::string_view body = bytes;
  while (!body.empty() && body.back() == '\0') {
    body.remove_suffix(1);
  }
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    if (end == std::string_view::npos) {
      end = body.size();
    }
    std::string_view raw = body.substr(start, end - start);
    if (raw.size() > CStdioFileEx::kMaxLineBytes) {
      raw = raw.substr(0, CStdioFileEx::kMaxLineBytes);
    }
    while (!raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
    }
    lines.push_back(Decode8Bit(raw));
    start = end + 1;
  }
  return lines;
}

}  // namespace tolvane

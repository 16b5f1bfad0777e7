#include "common/CheckedFormat.h"

#include <fmt/printf.h>

#include <optional>

namespace tolvane {
namespace {

enum class Kind { Integer, Floating, String, Percent };

struct Conversion {
  std::string text;  // the normalised conversion, e.g. "%-8.3f"
  Kind kind = Kind::Integer;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number of at most three digits; more digits, or a value
// above the bound, fail.
bool ReadBoundedNumber(std::string_view p, std::size_t& i, int& value) {
  value = 0;
  int digits = 0;
  while (i < p.size() && IsDigit(p[i])) {
    if (++digits > 3) {
      return false;
    }
    value = value * 10 + (p[i] - '0');
    ++i;
  }
  return value <= kMaxFormatWidth;
}

// Parses the conversion that starts at p[i] == '%'. Advances i past it.
std::optional<Conversion> ParseConversion(std::string_view p, std::size_t& i) {
  Conversion parsed;
  parsed.text = "%";
  ++i;
  while (i < p.size() && (p[i] == '-' || p[i] == '+' || p[i] == ' ' || p[i] == '#' || p[i] == '0')) {
    parsed.text.push_back(p[i++]);
  }
  int n = 0;
  const std::size_t widthStart = i;
  if (!ReadBoundedNumber(p, i, n)) {
    return std::nullopt;
  }
  parsed.text.append(p.substr(widthStart, i - widthStart));
  if (i < p.size() && p[i] == '.') {
    parsed.text.push_back('.');
    ++i;
    const std::size_t precStart = i;
    if (!ReadBoundedNumber(p, i, n)) {
      return std::nullopt;
    }
    parsed.text.append(p.substr(precStart, i - precStart));
  }
  // Length modifiers, including the Windows ones, carry no meaning here: the
  // argument's own type decides.
  for (;;) {
    if (i < p.size() && (p[i] == 'h' || p[i] == 'l' || p[i] == 'L' || p[i] == 'q' || p[i] == 'j' ||
                         p[i] == 'z' || p[i] == 't' || p[i] == 'w')) {
      ++i;
    } else if (p.substr(i, 3) == "I64" || p.substr(i, 3) == "I32") {
      i += 3;
    } else if (i < p.size() && p[i] == 'I') {
      ++i;
    } else {
      break;
    }
  }
  if (i >= p.size()) {
    return std::nullopt;
  }
  const char conv = p[i++];
  switch (conv) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    case 'c':
      parsed.kind = Kind::Integer;
      parsed.text.push_back(conv == 'i' ? 'd' : conv);
      break;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      parsed.kind = Kind::Floating;
      parsed.text.push_back(conv);
      break;
    case 's':
    case 'S':
      parsed.kind = Kind::String;
      parsed.text.push_back('s');
      break;
    case '%':
      if (parsed.text != "%") {
        return std::nullopt;
      }
      parsed.kind = Kind::Percent;
      break;
    default:
      return std::nullopt;  // %n, %p and anything unknown
  }
  return parsed;
}

bool Fits(Kind kind, const FormatArg& arg) {
  switch (kind) {
    case Kind::Integer:
      return std::holds_alternative<long long>(arg) || std::holds_alternative<unsigned long long>(arg);
    case Kind::Floating:
      return std::holds_alternative<double>(arg);
    case Kind::String:
      return std::holds_alternative<std::string>(arg);
    case Kind::Percent:
      return true;
  }
  return false;
}

std::string FormatOne(const Conversion& parsed, const FormatArg& arg) {
  return std::visit([&parsed](const auto& v) { return fmt::sprintf(parsed.text, v); }, arg);
}

// Formats into `out`; returns false when the pattern does not fit.
bool TryFormat(std::string_view pattern, std::span<const FormatArg> args, std::string* out) {
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t pct = pattern.find('%', i);
    if (pct == std::string_view::npos) {
      if (out != nullptr) {
        out->append(pattern.substr(i));
      }
      break;
    }
    if (out != nullptr) {
      out->append(pattern.substr(i, pct - i));
    }
    i = pct;
    const auto parsed = ParseConversion(pattern, i);
    if (!parsed) {
      return false;
    }
    if (parsed->kind == Kind::Percent) {
      if (out != nullptr) {
        out->push_back('%');
      }
      continue;
    }
    if (next >= args.size() || !Fits(parsed->kind, args[next])) {
      return false;
    }
    if (out != nullptr) {
      try {
        out->append(FormatOne(*parsed, args[next]));
      } catch (const fmt::format_error&) {
        return false;
      }
    }
    ++next;
  }
  // Arguments beyond the last conversion are ignored, as printf does.
  return true;
}

}  // namespace

bool PatternFits(std::string_view pattern, std::span<const FormatArg> args) {
  return TryFormat(pattern, args, nullptr);
}

std::string FormatChecked(std::string_view pattern, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  if (!TryFormat(pattern, args, &out)) {
    return std::string(pattern);
  }
  return out;
}

}  // namespace tolvane

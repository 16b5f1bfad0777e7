// printf-style formatting of patterns that come from data files (the
// language file above all). The pattern is checked against the arguments
// before anything is formatted: a pattern that does not fit them, or that asks
// for something unsafe (%n, "*" widths, huge widths or precisions), is
// returned as it stands.
#pragma once

#include <concepts>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace tolvane {

using FormatArg = std::variant<long long, unsigned long long, double, std::string>;

// Widths and precisions above this are refused.
inline constexpr int kMaxFormatWidth = 100;

std::string FormatChecked(std::string_view pattern, std::span<const FormatArg> args);

// True when `pattern` formats with `args` (what FormatChecked would format
// rather than return as it stands).
bool PatternFits(std::string_view pattern, std::span<const FormatArg> args);

template <typename T>
FormatArg ToFormatArg(T&& value) {
  using D = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<D, bool>) {
    return static_cast<long long>(value ? 1 : 0);
  } else if constexpr (std::is_floating_point_v<D>) {
    return static_cast<double>(value);
  } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
    return static_cast<long long>(value);
  } else if constexpr (std::is_integral_v<D>) {
    return static_cast<unsigned long long>(value);
  } else if constexpr (std::is_enum_v<D>) {
    return static_cast<long long>(value);
  } else {
    return std::string(std::string_view(value));
  }
}

template <typename... A>
std::string Format(std::string_view pattern, A&&... args) {
  const std::vector<FormatArg> list{ToFormatArg(std::forward<A>(args))...};
  return FormatChecked(pattern, list);
}

}  // namespace tolvane

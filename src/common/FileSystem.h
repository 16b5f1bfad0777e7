// File helpers shared by every subsystem: bounded reads, writes that replace
// a file only once the new content is complete, and checks on names that come
// from outside the program.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvane {

enum class ReadResult { Ok, NotFound, TooLarge, Error };

// Reads a whole file of at most `maxBytes` bytes. The size is checked before
// anything is allocated.
ReadResult ReadFileBounded(const std::filesystem::path& path, std::size_t maxBytes,
                           std::string& out);

// Writes `bytes` into a new file beside `target` and renames it over the
// target, so the old content stays whole until the new one is complete.
// Returns false (and leaves the target as it was) on any failure.
bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes);

// A name from outside (a server, a model file) that may be used as the last
// part of a path inside one folder: not empty, no separators, not "." or
// "..", no NUL or control characters.
bool IsSafeLeafName(std::string_view name);

}  // namespace tolvane

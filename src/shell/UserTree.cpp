#include "shell/UserTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "defs/ModelFile.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Shipped configuration and firmware files are small; a bigger one is no file of ours.
constexpr std::size_t kMaxShippedFile = 16u << 20;

std::string ErrnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

bool HasEntry(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found;
}

enum class AddResult { Added, Exists, Failed };

// Adds `target` with `bytes` unless it exists: written under a temporary name
// beside it, then moved into place without replacing anything. On Failed,
// `error` holds the errno.
AddResult AddFileNoReplace(const fs::path& target, std::string_view bytes, int& error) {
  std::string name = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = errno;
    return AddResult::Failed;
  }
  // mkstemp makes the file for its owner only; a shipped file is readable like any other.
  const bool written = ::fchmod(fd, 0644) == 0 && WriteAllBytes(fd, bytes) && ::fsync(fd) == 0;
  error = errno;
  ::close(fd);
  AddResult result = AddResult::Failed;
  if (written) {
    if (::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return AddResult::Added;  // the temporary name is gone
    }
    error = errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
      // A file system without the no-replace move: a hard link fails the same
      // way when the target exists.
      error = ::link(name.c_str(), target.c_str()) == 0 ? 0 : errno;
    }
    result = error == 0 ? AddResult::Added : error == EEXIST ? AddResult::Exists : AddResult::Failed;
  }
  ::unlink(name.c_str());
  return result;
}

void MakeFolder(const fs::path& folder, USER_TREE_RESULT& result) {
  if (folder.empty()) {
    return;
  }
  std::error_code ec;
  if (fs::create_directories(folder, ec)) {
    ++result.foldersCreated;
  } else if (std::error_code dirEc; !fs::is_directory(folder, dirEc)) {
    result.problems.push_back({TREE_PROBLEM::Kind::Folder, folder, ec ? ec.message() : ErrnoText(EEXIST)});
  }
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  if (a.lexically_normal() == b.lexically_normal()) {
    return true;
  }
  std::error_code ec;
  return HasEntry(a) && HasEntry(b) && fs::equivalent(a, b, ec);
}

void PrepareSettingsKey(const FOLDERS& folders, const CORPORATE_NAMES& names, CUserRegistry& registry,
                        std::string_view version, USER_TREE_RESULT& result) {
  const std::vector<std::string> key{"Software", names.corporateId, names.programName, "01"};
  fs::path keyFolder = folders.settings;
  for (const auto& part : key) {
    keyFolder /= part;
  }
  using KeyStatus = IRegistry::Status;
  if (registry.OpenKey(key) != KeyStatus::Ok) {
    if (!registry.CreateKey(key)) {
      std::error_code ec;
      fs::create_directories(keyFolder, ec);
      result.problems.push_back({TREE_PROBLEM::Kind::SettingsKey, keyFolder, ec ? ec.message() : ErrnoText(ENOTDIR)});
      return;
    }
    result.keyCreated = true;
    if (registry.OpenKey(key) != KeyStatus::Ok) {
      result.problems.push_back({TREE_PROBLEM::Kind::SettingsKey, keyFolder, ErrnoText(EACCES)});
      return;
    }
  }
  const auto setValue = [&](const char* name, const std::string& value) {
    if (registry.SetValue(name, value) != KeyStatus::Ok) {
      result.problems.push_back(
          {TREE_PROBLEM::Kind::SettingsValue, keyFolder / CUserRegistry::kValuesFile, Format("%s = %s", name, value)});
      return false;
    }
    return true;
  };
  std::string current;
  // A value too long to read is rewritten like a missing one.
  if (registry.QueryValue("VERSION", 1000, current) != KeyStatus::Ok || current != version) {
    result.versionSet = setValue("VERSION", std::string(version));
  }
  std::vector<std::string> present;
  registry.EnumValues(present);
  std::error_code guideEc;
  if (std::find(present.begin(), present.end(), "GFILE") == present.end() &&
      fs::is_regular_file(folders.help / kShippedGuide, guideEc)) {
    setValue("GFILE", kShippedGuide);
  }
  registry.CloseKey();
}

}  // namespace

bool ReadCorporateNames(const FOLDERS& folders, CORPORATE_NAMES& names) {
  auto tables = std::make_unique<MODEL_TABLES>();
  APP_SETTINGS settings;
  CONFIG_RECORD record;
  const CLanguageFile noTexts(folders.models, nullptr);
  CModelFile corporate(folders.models, *tables, settings, noTexts, record, nullptr, nullptr, folders.installedModels);
  if (corporate.LoadCorporateModel() != 1) {
    return false;
  }
  names.corporateId = tables->program.corporateId;
  names.programName = tables->program.programName;
  names.registryFile = settings.registryFile;
  names.languageFile = settings.languageFile;
  names.languageNumber = settings.languageNumber;
  return true;
}

int AddShippedFiles(const fs::path& shipped, const fs::path& target, std::vector<TREE_PROBLEM>* problems) {
  std::error_code ec;
  if (shipped.empty() || target.empty() || !fs::is_directory(shipped, ec) || SameFolder(shipped, target)) {
    return 0;
  }
  const auto problem = [&](const fs::path& path, std::string reason) {
    if (problems != nullptr) {
      problems->push_back({TREE_PROBLEM::Kind::File, path, std::move(reason)});
    }
  };
  fs::create_directories(target, ec);
  if (!fs::is_directory(target, ec)) {
    if (problems != nullptr) {
      problems->push_back({TREE_PROBLEM::Kind::Folder, target, ec ? ec.message() : ErrnoText(ENOTDIR)});
    }
    return 0;
  }
  int added = 0;
  for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    const std::string name = it->path().filename().string();
    // Temporary names of a program adding files at the same moment are no shipped files.
    if (!it->is_regular_file(fileEc) || name.empty() || name[0] == '.') {
      continue;
    }
    const fs::path to = target / name;
    if (HasEntry(to)) {
      continue;  // the user's file (or whatever is there) stays
    }
    std::string bytes;
    switch (ReadFileBounded(it->path(), kMaxShippedFile, bytes)) {
      case ReadResult::Ok:
        break;
      case ReadResult::TooLarge:
        problem(it->path(), ErrnoText(EFBIG));
        continue;
      default:
        problem(it->path(), ErrnoText(EIO));
        continue;
    }
    int error = 0;
    switch (AddFileNoReplace(to, bytes, error)) {
      case AddResult::Added:
        ++added;
        break;
      case AddResult::Exists:
        break;
      case AddResult::Failed:
        problem(to, ErrnoText(error));
        break;
    }
  }
  return added;
}

USER_TREE_RESULT PrepareUserTree(const FOLDERS& folders, CUserRegistry& registry, std::string_view version) {
  USER_TREE_RESULT result;
  for (const fs::path* folder :
       {&folders.models, &folders.configs, &folders.programs, &folders.logs, &folders.settings}) {
    MakeFolder(*folder, result);
  }
  if (!folders.program.empty()) {
    result.filesAdded += AddShippedFiles(folders.program / "Configs", folders.configs, &result.problems);
    result.filesAdded += AddShippedFiles(folders.program / "Programs", folders.programs, &result.problems);
  }

  CORPORATE_NAMES names;
  if (!ReadCorporateNames(folders, names)) {
    return result;  // no corporate model: the start says so
  }
  if (!names.registryFile.empty()) {
    // The settings file is the user's to rewrite: the shipped one is copied.
    if (IsSafeLeafName(names.registryFile) && !folders.installedModels.empty() &&
        !HasEntry(folders.models / names.registryFile)) {
      std::string bytes;
      int error = 0;
      const fs::path shipped = folders.installedModels / names.registryFile;
      if (ReadFileBounded(shipped, kMaxShippedFile, bytes) == ReadResult::Ok) {
        if (AddFileNoReplace(folders.models / names.registryFile, bytes, error) == AddResult::Added) {
          ++result.filesAdded;
        } else if (error != 0 && error != EEXIST) {
          result.problems.push_back({TREE_PROBLEM::Kind::File, folders.models / names.registryFile, ErrnoText(error)});
        }
      }
    }
    return result;
  }
  if (IsSafeLeafName(names.corporateId) && IsSafeLeafName(names.programName)) {
    PrepareSettingsKey(folders, names, registry, version, result);
  }
  return result;
}

const char* ProblemKey(TREE_PROBLEM::Kind kind) {
  switch (kind) {
    case TREE_PROBLEM::Kind::Folder:
      return "FIRSTSTART_MESSAGE1";
    case TREE_PROBLEM::Kind::File:
      return "FIRSTSTART_MESSAGE2";
    case TREE_PROBLEM::Kind::SettingsKey:
      return "FIRSTSTART_MESSAGE3";
    case TREE_PROBLEM::Kind::SettingsValue:
      return "FIRSTSTART_MESSAGE4";
  }
  return "FIRSTSTART_MESSAGE1";
}

std::string DescribeProblem(const TREE_PROBLEM& problem, const CLanguageFile* texts, int language) {
  std::string pattern;
  if (texts == nullptr || !texts->Lookup(ProblemKey(problem.kind), language, pattern)) {
    switch (problem.kind) {
      case TREE_PROBLEM::Kind::Folder:
        pattern = "Cannot create the folder %s: %s";
        break;
      case TREE_PROBLEM::Kind::File:
        pattern = "Cannot add the file %s: %s";
        break;
      case TREE_PROBLEM::Kind::SettingsKey:
        pattern = "Cannot create the settings key %s: %s";
        break;
      case TREE_PROBLEM::Kind::SettingsValue:
        pattern = "Cannot write the setting in %s: %s";
        break;
    }
  }
  return Format(pattern, problem.path.string(), problem.reason);
}

}  // namespace tolvane

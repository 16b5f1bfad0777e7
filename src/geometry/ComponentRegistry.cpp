#include "geometry/ComponentRegistry.h"

#include <dlfcn.h>

#include <array>
#include <cctype>
#include <cstdio>

#include "common/FileSystem.h"

namespace tolvane::geometry {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace

COMPONENT_REGISTRY ParseRegistryText(std::string_view text) {
  COMPONENT_REGISTRY r;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (const std::size_t c = line.find_first_of("'#"); c != std::string_view::npos) {
      line = line.substr(0, c);
    }
    line = Trim(line);
    if (line.empty()) {
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      ++r.refused;
      continue;
    }
    std::string key{Trim(line.substr(0, eq))};
    const std::string_view library = Trim(line.substr(eq + 1));
    if (!key.empty() && key.front() != '{') {
      key = "{" + key + "}";
    }
    const auto id = ClassIdFromString(key);
    if (!id || library.empty() || !IsSafeLeafName(library)) {
      ++r.refused;
      continue;
    }
    r.libraries[ClassIdToString(*id)] = std::string(library);
  }
  return r;
}

CComponentRef& CComponentRef::operator=(CComponentRef&& o) noexcept {
  if (this != &o) {
    Reset();
    object_ = o.object_;
    library_ = std::move(o.library_);
    o.object_ = nullptr;
  }
  return *this;
}

long CComponentRef::Call(int slot) const {
  if (object_ == nullptr || slot < 0 || slot >= kTableSlots || object_->table[slot] == nullptr) {
    return -1;
  }
  return reinterpret_cast<TolvaneCall0>(object_->table[slot])(object_);
}

long CComponentRef::Call(int slot, void* argument) const {
  if (object_ == nullptr || slot < 0 || slot >= kTableSlots || object_->table[slot] == nullptr) {
    return -1;
  }
  return reinterpret_cast<TolvaneCall1>(object_->table[slot])(object_, argument);
}

void CComponentRef::Reset() {
  if (object_ != nullptr) {
    if (object_->table[SLOT_RELEASE] != nullptr) {
      reinterpret_cast<TolvaneRefCount>(object_->table[SLOT_RELEASE])(object_);
    }
    object_ = nullptr;
  }
  library_.reset();
}

std::optional<std::filesystem::path> CComponentLoader::LibraryFor(const TolvaneGuid& clsid) {
  namespace fs = std::filesystem;
  std::string text;
  if (ReadFileBounded(folder_ / kRegistryFileName, kMaxRegistryBytes, text) != ReadResult::Ok) {
    fault_ = LOADER_NO_REGISTRY;
    return std::nullopt;
  }
  const COMPONENT_REGISTRY reg = ParseRegistryText(text);
  const auto it = reg.libraries.find(ClassIdToString(clsid));
  if (it == reg.libraries.end()) {
    fault_ = LOADER_UNKNOWN_CLASS;
    return std::nullopt;
  }
  // The name is a plain file name; a link in the folder that leads elsewhere
  // is refused as well.
  std::error_code ec;
  const fs::path folder = fs::canonical(folder_, ec);
  const fs::path library = ec ? fs::path{} : fs::canonical(folder / it->second, ec);
  if (ec || library.parent_path() != folder || !fs::is_regular_file(library, ec)) {
    fault_ = LOADER_OUTSIDE_FOLDER;
    return std::nullopt;
  }
  return library;
}

CComponentRef CComponentLoader::Create(const TolvaneGuid& clsid, const TolvaneGuid& iid) {
  fault_ = LOADER_OK;
  const auto library = LibraryFor(clsid);
  if (!library) {
    return {};
  }
  std::shared_ptr<void>& keep = loaded_[library->string()];
  if (!keep) {
    void* handle = ::dlopen(library->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      loaded_.erase(library->string());
      fault_ = LOADER_CANNOT_LOAD;
      return {};
    }
    keep = std::shared_ptr<void>(handle, [](void* h) { ::dlclose(h); });
  }
  void* symbol = ::dlsym(keep.get(), kFactorySymbol);
  if (symbol == nullptr) {
    fault_ = LOADER_NO_FACTORY;
    return {};
  }
  TolvaneComponent* object = nullptr;
  const auto create = reinterpret_cast<TolvaneCreateFn>(symbol);
  if (create(&clsid, &iid, &object) != 0 || object == nullptr || object->table == nullptr) {
    fault_ = LOADER_FACTORY_REFUSED;
    return {};
  }
  return CComponentRef(object, keep);
}

}  // namespace tolvane::geometry

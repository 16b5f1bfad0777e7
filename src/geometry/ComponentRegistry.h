// Finding and creating calculation components. A class identifier is read
// from its braced text; the component registry (a text file in the component
// folder) names, for each class identifier, the library file in that folder
// that serves it. Only libraries inside the component folder are loaded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "geometry/ClassId.h"
#include "geometry/ComponentAbi.h"

namespace tolvane::geometry {

// The registry file's name in the component folder.
inline constexpr const char* kRegistryFileName = "Components.txt";
inline constexpr std::size_t kMaxRegistryBytes = 64 * 1024;

// What a registry text holds: lines "CLSID = library-file" ("'" or "#"
// starts a comment). A line whose identifier cannot be read, or whose library
// is not a plain file name (a folder part, "..", a control character) is
// dropped and counted.
struct COMPONENT_REGISTRY {
  std::map<std::string, std::string> libraries;  // identifier text (upper case) -> library file name
  int refused = 0;
};
COMPONENT_REGISTRY ParseRegistryText(std::string_view text);

// One created component: the object and, for a loaded library, the handle
// that keeps its code in memory. Releases the object (position 2) and then
// the library when it goes.
class CComponentRef {
 public:
  CComponentRef() = default;
  CComponentRef(TolvaneComponent* object, std::shared_ptr<void> library)
      : object_(object), library_(std::move(library)) {}
  ~CComponentRef() { Reset(); }
  CComponentRef(CComponentRef&& o) noexcept : object_(o.object_), library_(std::move(o.library_)) {
    o.object_ = nullptr;
  }
  CComponentRef& operator=(CComponentRef&& o) noexcept;
  CComponentRef(const CComponentRef&) = delete;
  CComponentRef& operator=(const CComponentRef&) = delete;

  explicit operator bool() const { return object_ != nullptr; }
  // Calls position `slot` without an argument, or with one.
  long Call(int slot) const;
  long Call(int slot, void* argument) const;
  // Releases the object (position 2) and forgets it.
  void Reset();

 private:
  TolvaneComponent* object_ = nullptr;
  std::shared_ptr<void> library_;
};

// Creates components: the seam between the record's calculation and the
// libraries (tests give factories of their own).
class IComponentFactory {
 public:
  virtual ~IComponentFactory() = default;
  // A component of class `clsid` with interface `iid`; empty when none can be made.
  virtual CComponentRef Create(const TolvaneGuid& clsid, const TolvaneGuid& iid) = 0;
};

// Why the last Create of the loader failed.
enum LOADER_FAULT : int {
  LOADER_OK = 0,
  LOADER_NO_REGISTRY,      // no readable registry file in the folder
  LOADER_UNKNOWN_CLASS,    // the registry does not name the class
  LOADER_OUTSIDE_FOLDER,   // the library named is not a file inside the folder
  LOADER_CANNOT_LOAD,      // the library could not be loaded
  LOADER_NO_FACTORY,       // the library does not export the factory
  LOADER_FACTORY_REFUSED,  // the factory made no object
};

// Components from the libraries of one folder, through its registry.
class CComponentLoader : public IComponentFactory {
 public:
  explicit CComponentLoader(std::filesystem::path folder) : folder_(std::move(folder)) {}
  CComponentRef Create(const TolvaneGuid& clsid, const TolvaneGuid& iid) override;
  LOADER_FAULT LastFault() const { return fault_; }
  // The library file that serves `clsid`, checked to lie inside the folder.
  std::optional<std::filesystem::path> LibraryFor(const TolvaneGuid& clsid);

 private:
  std::filesystem::path folder_;
  LOADER_FAULT fault_ = LOADER_OK;
  // Libraries stay loaded while the loader lives (as a component server's
  // code stays in memory between objects); each Create makes a new object.
  std::map<std::string, std::shared_ptr<void>> loaded_;
};

}  // namespace tolvane::geometry

// What several benchmarks share: a bridge that counts the bytes passing the
// adapter in both directions, and a temporary folder.
#pragma once

#include <stdlib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "link/Bridge.h"

namespace tolvane::bench {

class CountingBridge final : public link::CForwardingBridge {
 public:
  using CForwardingBridge::CForwardingBridge;
  std::atomic<std::size_t> sent{0}, received{0};

  int Read(link::BridgeHandle h, std::uint8_t* b, std::size_t c, std::size_t& r) override {
    const int rc = inner_.Read(h, b, c, r);
    received += r;
    return rc;
  }
  int Write(link::BridgeHandle h, const std::uint8_t* b, std::size_t c, std::size_t& w) override {
    const int rc = inner_.Write(h, b, c, w);
    sent += w;
    return rc;
  }
};

// A fresh folder under the temporary folder, removed with what it holds.
class Folder {
 public:
  Folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) != nullptr) {
      path_ = tmpl;
    }
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tolvane::bench

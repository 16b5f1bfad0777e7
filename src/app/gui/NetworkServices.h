// The network work of the start: the software update check and the pending
// configuration uploads. The start only calls them; what they do belongs to
// the network services.
#pragma once

namespace tolvane {

class INetworkServices {
 public:
  virtual ~INetworkServices() = default;
  // Asks the server for a newer program; the result does not change the start.
  virtual void CheckForUpdates() = 0;
  // Sends the configuration uploads that are still waiting.
  virtual void SendPendingUploads() = 0;
};

// No network at all: nothing is checked and nothing is sent.
class CNoNetworkServices final : public INetworkServices {
 public:
  void CheckForUpdates() override {}
  void SendPendingUploads() override {}
};

}  // namespace tolvane

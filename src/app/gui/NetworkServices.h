// The network work of the start: the software update check and the pending
// configuration uploads. The start only calls them; what they do belongs to
// the network services.
#pragma once

namespace tolvane {

class CProgramCore;

class INetworkServices {
 public:
  virtual ~INetworkServices() = default;
  // Asks the server for a newer program, on the run's objects. True when an
  // installer was handed to the desktop and the program is to end.
  virtual bool CheckForUpdates(CProgramCore& core) = 0;
  // Sends the configuration uploads that are still waiting.
  virtual void SendPendingUploads(CProgramCore& core) = 0;
};

// No network at all: nothing is checked and nothing is sent.
class CNoNetworkServices final : public INetworkServices {
 public:
  bool CheckForUpdates(CProgramCore&) override { return false; }
  void SendPendingUploads(CProgramCore&) override {}
};

}  // namespace tolvane

// The configuration form on the offscreen platform, on a unit identified from
// a simulated sensor on simulated time (or in demonstration mode), with the
// shipped models, pictures and configuration files. Dialogs are recorded and
// answered by the test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/RecordingUpload.h"
#include "config/ui/GenericForm.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane::test {

class RecordingContextHelp : public IContextHelp {
 public:
  void ShowControlHelp(int controlId) override { controls.push_back(controlId); }
  void ShowPage(const std::string& page) override { pages.push_back(page); }
  std::vector<int> controls;
  std::vector<std::string> pages;
};

class QuietBusy : public IBusyWindow {
 public:
  void SetMessage(const std::string&) override {}
  void SetProgress(int) override {}
};

class RecordingOpener : public IDocumentOpener {
 public:
  bool Open(const std::filesystem::path& file) override {
    opened.push_back(file);
    return result;
  }
  std::vector<std::filesystem::path> opened;
  bool result = true;
};

class ScriptedFiles : public IConfigFileDialogs {
 public:
  std::filesystem::path ChooseFile(const std::filesystem::path&, const std::string&) override { return choose; }
  bool ConfirmName(std::string& name) override {
    proposed.push_back(name);
    if (!rename.empty()) {
      name = rename;
    }
    return confirm;
  }
  void Print(const std::filesystem::path& file) override { printed.push_back(file); }
  std::filesystem::path choose;
  std::vector<std::string> proposed;
  std::string rename;
  bool confirm = true;
  std::vector<std::filesystem::path> printed;
};

class NoNotice : public IOptionsPrompt {
 public:
  int Show(const std::string&, bool, bool&) override { return RESULT_OK; }
};

struct FormRig {
  // A unit of the shipped identity `key` ("qr25", "qr27", "qr30"); "" for
  // the demonstration unit.
  explicit FormRig(const std::string& key);
  ~FormRig();

  // The form for the identified unit; started unless told otherwise.
  CGenericForm& Form(bool start = true);
  std::string Text(const char* key) const { return core->Text(key); }
  std::string Log() const { return ReadBytes(dir / "logfile.txt"); }
  template <typename W>
  W* Control(int id) {
    return FindControlAs<W>(form.get(), id);
  }

  TempDir dir;
  FOLDERS folders;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  std::shared_ptr<link::sim::CSimSensor> sensor;
  std::unique_ptr<CUserRegistry> registry;
  RecordingMessages messages;
  RecordingErrorDetail errors;
  QuietBusy busy;
  RecordingContextHelp help;
  RecordingOpener opener;
  RecordingUpload upload;
  ScriptedFiles files;
  NoNotice notice;
  std::unique_ptr<CProgramCore> core;
  std::unique_ptr<CGenericForm> form;
  bool demonstration = false;
};

}  // namespace tolvane::test

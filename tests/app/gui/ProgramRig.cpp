#include "ProgramRig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "shell/ui/DialogSupport.h"

namespace tolvane::test {

ProgramRig::ProgramRig() : registry(dir / "Settings") {
  folders.models = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";
  folders.logs = dir.path();
  folders.program = dir.path();
  folders.help = dir / "Help";
  folders.settings = dir / "Settings";
}

void ProgramRig::CreateSettingsKey(const std::vector<std::pair<std::string, std::string>>& values) {
  const std::vector<std::string> key{"Software", "Kestrine", "Tolvane", "01"};
  ASSERT_TRUE(registry.CreateKey(key));
  ASSERT_EQ(registry.OpenKey(key), IRegistry::Status::Ok);
  for (const auto& [name, value] : values) {
    ASSERT_EQ(registry.SetValue(name, value), IRegistry::Status::Ok);
  }
  registry.CloseKey();
}

std::shared_ptr<link::sim::CSimSensor> ProgramRig::AddSensor(link::sim::SimOptions options, std::string description) {
  auto sensor = std::make_shared<link::sim::CSimSensor>(std::move(options), clock.now());
  link::sim::SimAdapter adapter;
  adapter.description = std::move(description);
  adapter.serial = "SIM" + std::to_string(sensor.use_count());
  adapter.peer = sensor;
  bridge.AddAdapter(std::move(adapter));
  return sensor;
}

std::unique_ptr<COstrelDlg> ProgramRig::MakeDialog(link::IBridge* otherBridge, IClock* otherClock) {
  START_ENVIRONMENT env{folders,
                        otherBridge != nullptr ? *otherBridge : bridge,
                        otherClock != nullptr ? *otherClock : clock,
                        registry,
                        [] { return std::tm{}; },
                        network,
                        pages,
                        help,
                        opener,
                        firstRun};
  env.copyrightInterval = std::chrono::milliseconds(1);
  return std::make_unique<COstrelDlg>(std::move(env));
}

ModalDriver::ModalDriver(Handler handler, int limitMs) : handler_(std::move(handler)) {
  timer_.setInterval(2);
  connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
  timer_.start();
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &ModalDriver::GiveUp);
  deadline_.start(limitMs);
}

ModalDriver::~ModalDriver() { timer_.stop(); }

void ModalDriver::GiveUp() {
  timer_.stop();
  std::string windows;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      windows += std::string(" ") + w->metaObject()->className();
    }
  }
  ADD_FAILURE() << "the program did not end in time; windows open:" << windows;
  // Close every dialog, innermost first, so that the test ends.
  while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    modal->done(-1);
    modal->hide();
  }
}

void ModalDriver::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible()) {
    handled_ = nullptr;
    return;
  }
  if (qobject_cast<COstrelDlg*>(modal) != nullptr) {
    handled_ = nullptr;
    handler_(*modal);
    return;
  }
  if (modal == handled_) {
    return;
  }
  handled_ = modal;
  seen.emplace_back(modal->metaObject()->className());
  handler_(*modal);
}

bool Enabled(QWidget& window, int id) {
  QWidget* control = FindControl(&window, id);
  return control != nullptr && control->isEnabled();
}

}  // namespace tolvane::test

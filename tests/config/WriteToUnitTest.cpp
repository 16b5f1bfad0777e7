// Writing a configuration into a series of units, against simulated sensors on
// simulated time: the identity checks, the page written and verified, the log
// lines, the upload records, and every way a run ends early.
#include "config/WriteToUnit.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/CheckedFormat.h"
#include "config/RecordingUpload.h"
#include "config/Selection.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "shell/ProgramCore.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

using link::sim::CSimSensor;
using link::sim::SimOptions;

// The unit behind the adapter: the technician swaps sensors on the same cable.
class SwappablePeer : public link::sim::ISimPeer {
 public:
  explicit SwappablePeer(std::shared_ptr<CSimSensor> unit) : unit_(std::move(unit)) {}
  void Swap(std::shared_ptr<CSimSensor> unit) {
    unit_ = std::move(unit);
    unplugBeforeVerify_ = copied_ = unplugged_ = false;
  }
  // The cable is pulled as soon as the host reads a block after the page was
  // copied: between the write and its verify.
  void UnplugBeforeVerify() { unplugBeforeVerify_ = true; }

  void HostBytes(const std::uint8_t* b, std::size_t n, link::sim::Time at) override {
    if (n >= 3 && b[0] == link::kFrameStart) {
      copied_ = copied_ || b[2] == link::CMD_COPY_SCRATCH;
      if (unplugBeforeVerify_ && copied_ && b[2] == link::CMD_READ_BLOCK) {
        unplugged_ = true;
      }
    }
    if (!unplugged_) {
      unit_->HostBytes(b, n, at);
    }
  }
  void AdvanceTo(link::sim::Time now) override { unit_->AdvanceTo(now); }
  std::optional<link::sim::Time> NextEvent() const override { return unit_->NextEvent(); }
  std::size_t Available(link::sim::Time now) const override { return unplugged_ ? 0 : unit_->Available(now); }
  std::size_t Take(link::sim::Time now, std::uint8_t* dst, std::size_t max) override {
    return unplugged_ ? 0 : unit_->Take(now, dst, max);
  }
  void DiscardArrived(link::sim::Time now) override { unit_->DiscardArrived(now); }
  bool Unplugged(link::sim::Time now) const override { return unplugged_ || unit_->Unplugged(now); }

 private:
  std::shared_ptr<CSimSensor> unit_;
  bool unplugBeforeVerify_ = false;
  bool copied_ = false;
  bool unplugged_ = false;
};

class RecordingNotice : public IOptionsPrompt {
 public:
  int Show(const std::string& message, bool, bool& showAgain) override {
    shown.push_back(message);
    showAgain = false;
    return RESULT_OK;
  }
  std::vector<std::string> shown;
};

// The next units of a series, connected one after another when the run asks.
class ScriptedView : public IWriteView {
 public:
  explicit ScriptedView(SwappablePeer& peer) : peer_(peer) {}
  void ShowValues() override {}
  void ClearFileName() override {}
  void SetWritePushed(bool pushed) override { pushedStates.push_back(pushed); }
  void ShowIdentity() override { ++identityShown; }
  void ShowDecoded() override { ++decoded; }
  bool NextUnit() override {
    if (next.empty()) {
      return false;
    }
    if (next.front() != nullptr) {
      peer_.Swap(next.front());
    }
    next.erase(next.begin());
    return true;
  }
  void CloseBusy() override { ++busyClosed; }

  // A null entry keeps the same unit connected.
  std::vector<std::shared_ptr<CSimSensor>> next;
  std::vector<bool> pushedStates;
  int identityShown = 0;
  int decoded = 0;
  int busyClosed = 0;

 private:
  SwappablePeer& peer_;
};

SimOptions Unit(const char* key, std::uint32_t serial) {
  SimOptions o;
  o.identity = *link::sim::ShippedIdentity(key);
  o.identity.hardwareSerial = serial;
  return o;
}

class WriteToUnitTest : public ::testing::Test {
 protected:
  WriteToUnitTest() {
    folders_.models = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";
    folders_.logs = dir_.path();
    folders_.settings = dir_ / "Settings";
    registry_.CreateKey({"Software", "Kestrine", "Tolvane", "01"});
  }
  ~WriteToUnitTest() override {
    if (core_) {
      core_->StopWorker();
    }
  }

  std::shared_ptr<CSimSensor> NewUnit(const char* key, std::uint32_t serial) {
    return std::make_shared<CSimSensor>(Unit(key, serial), clock_.now());
  }

  // Identifies `first` and fills the record as the form does at its start.
  void Identify(std::shared_ptr<CSimSensor> first) {
    first_ = first;
    peer_ = std::make_shared<SwappablePeer>(first);
    link::sim::SimAdapter adapter;
    adapter.peer = peer_;
    bridge_.AddAdapter(std::move(adapter));
    core_ = std::make_unique<CProgramCore>(
        folders_, PROGRAM_SERVICES{box_, errors_, busy_, bridge_, clock_, registry_, [] { return std::tm{}; }});
    int code = 0;
    ASSERT_EQ(core_->Start(code), CProgramCore::StartResult::Ok);
    core_->link.SetSelectedDescription("Quenby USB Device");
    core_->StartWorker();
    IDENTIFY_RESULT result;
    ASSERT_EQ(core_->IdentifyUnit(false, nullptr, result), 1);
    StartSelections(core_->tables.model, core_->record);
    ASSERT_EQ(
        DecodeFromPage(core_->tables.model, core_->record, nonLinear_.page, core_->memory.Page(link::PAGE_CUSTOMER)),
        0);
    view_ = std::make_unique<ScriptedView>(*peer_);
  }

  WRITE_RUN Run(bool demonstration = false) {
    WRITE_CONTEXT c{core_->tables.model, core_->record, nonLinear_, core_->memory, core_->log, core_->language,
                    core_->settings,     box_,          errors_,    runBusy_,      &notice_,   upload_,
                    demonstration,       &uploadNotice_};
    return WriteToUnit(c, *view_, inProgress_);
  }

  std::string Text(const char* key) { return core_->Text(key); }
  std::string Log() { return test::ReadBytes(dir_ / "logfile.txt"); }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) {
      ++n;
    }
    return n;
  }
  std::vector<std::string> ErrorMessages() const {
    std::vector<std::string> m;
    for (const auto& e : errors_.shown) {
      m.push_back(e.first);
    }
    return m;
  }

  test::TempDir dir_;
  FOLDERS folders_;
  SimulatedClock clock_;
  link::sim::CSimBridge bridge_{clock_};
  CUserRegistry registry_{dir_ / "Settings"};
  test::RecordingMessages box_;
  test::RecordingErrorDetail errors_;
  test::RecordingBusy busy_;
  test::RecordingBusy runBusy_;
  test::RecordingUpload upload_;
  RecordingNotice notice_;
  CONFIG_NONLINEAR nonLinear_;
  bool uploadNotice_ = true;
  bool inProgress_ = false;
  std::shared_ptr<CSimSensor> first_;
  std::shared_ptr<SwappablePeer> peer_;
  std::unique_ptr<CProgramCore> core_;
  std::unique_ptr<ScriptedView> view_;
};

TEST_F(WriteToUnitTest, ASeriesOfThreeUnitsIsWrittenVerifiedLoggedAndQueued) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  CONFIG_RECORD& r = core_->record;
  ASSERT_TRUE(r.valid);
  r.sensorHeight = 200.0;
  r.fillHeight = 150.0;
  r.tankDescription = "Sump 3, east wall";
  auto second = NewUnit("qr27", 270043);
  auto third = NewUnit("qr27", 270044);
  view_->next = {second, third};
  box_.answer = RESULT_YES;

  const WRITE_RUN run = Run();

  EXPECT_EQ(run.unitsWritten, 3);
  EXPECT_TRUE(run.failure.empty()) << run.failure;
  EXPECT_TRUE(errors_.shown.empty());
  EXPECT_EQ(upload_.serials, (std::vector<std::int32_t>{270042, 270043, 270044}));
  EXPECT_EQ(upload_.uploads, 1);
  EXPECT_EQ(r.serialNumber, 270044);
  // Every unit holds the same page; the first one was decoded back.
  EXPECT_EQ(first_->Page(1), second->Page(1));
  EXPECT_EQ(first_->Page(1), third->Page(1));
  EXPECT_EQ(view_->decoded, 1);
  EXPECT_EQ(view_->identityShown, 2);
  EXPECT_EQ(r.tankDescription, "Sump 3, east wall");
  EXPECT_DOUBLE_EQ(r.sensorHeight, 200.0);
  // The log: one full record, then one line per further unit.
  const std::string log = Log();
  EXPECT_EQ(Count(log, "WRITETARGET->"), 3);
  EXPECT_EQ(Count(log, "Successful Write:"), 1);
  EXPECT_EQ(Count(log, "'Configuration File for:\r\n"), 1);
  EXPECT_EQ(Count(log, "  SERIAL = 270042\r\n"), 1);
  EXPECT_EQ(Count(log, "Successful Write to Serial #270043 (see detail above)\r\n"), 1);
  EXPECT_EQ(Count(log, "Successful Write to Serial #270044 (see detail above)\r\n"), 1);
  EXPECT_LT(log.find("Successful Write:"), log.find("Serial #270043"));
  // The upload notice was shown once and asked not to come again.
  EXPECT_EQ(notice_.shown, (std::vector<std::string>{Text("STATUS_MESSAGE25")}));
  EXPECT_FALSE(uploadNotice_);
  EXPECT_EQ(view_->pushedStates, (std::vector<bool>{true, false}));
  EXPECT_FALSE(inProgress_);
}

TEST_F(WriteToUnitTest, TheSameUnitTwiceIsReportedThenWrittenAgain) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  view_->next = {nullptr};
  const WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 2);
  ASSERT_EQ(errors_.shown.size(), 1U);
  EXPECT_EQ(errors_.shown[0], std::make_pair(Text("ERROR_MESSAGE28"), Text("ERROR_MESSAGE29")));
  EXPECT_EQ(Count(Log(), "Successful Write to Serial #270042 (see detail above)"), 1);
}

TEST_F(WriteToUnitTest, AnotherSerialOnTheFirstPassIsAskedAbout) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  peer_->Swap(NewUnit("qr27", 270077));
  box_.answer = RESULT_NO;
  WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  EXPECT_EQ(run.failure, Text("ERROR_MESSAGE30"));
  ASSERT_EQ(errors_.shown.size(), 1U);
  EXPECT_EQ(errors_.shown[0], std::make_pair(Text("ERROR_MESSAGE30"), Text("ERROR_MESSAGE30")));
  EXPECT_EQ(core_->record.serialNumber, 270042);
  EXPECT_EQ(Count(Log(), "Successful Write"), 0);

  box_.answer = RESULT_YES;
  box_.shown.clear();
  run = Run();
  EXPECT_EQ(run.unitsWritten, 1);
  EXPECT_EQ(core_->record.serialNumber, 270077);
  EXPECT_EQ(box_.shown.front().first, Text("STATUS_MESSAGE11"));
}

TEST_F(WriteToUnitTest, AUnitOfAnotherModelIsNotWritten) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  auto other = NewUnit("qr25", 250117);
  const auto before = other->Page(1);
  peer_->Swap(other);
  const WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  ASSERT_EQ(errors_.shown.size(), 1U);
  EXPECT_EQ(errors_.shown[0], std::make_pair(Text("ERROR_MESSAGE32"), Text("ERROR_MESSAGE31")));
  EXPECT_EQ(other->Page(1), before);
  EXPECT_EQ(runBusy_.messages.back(), Text("ERROR_MESSAGE44"));
  EXPECT_EQ(Count(Log(), Text("ERROR_MESSAGE32")), 1);
  EXPECT_TRUE(upload_.serials.empty());
  EXPECT_FALSE(inProgress_);
}

TEST_F(WriteToUnitTest, AUnitSwappedInTheMiddleOfASeriesForAnotherModelEndsIt) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  view_->next = {NewUnit("qr27", 270050), NewUnit("qr30", 300311)};
  const WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 2);
  EXPECT_EQ(ErrorMessages(), (std::vector<std::string>{Text("ERROR_MESSAGE32")}));
  // The units written before stay written and queued; no upload on a failed run.
  EXPECT_EQ(upload_.serials, (std::vector<std::int32_t>{270042, 270050}));
  EXPECT_EQ(upload_.uploads, 0);
}

TEST_F(WriteToUnitTest, NothingTheVerifyDidNotFindIsReportedAsWritten) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  core_->record.tankDescription = "changed";
  const auto cachedBefore = core_->memory.Page(link::PAGE_CUSTOMER);
  // Unplugged between the write and the verify.
  peer_->UnplugBeforeVerify();
  WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  EXPECT_EQ(run.failure, Text("ERROR_MESSAGE36"));
  EXPECT_EQ(Count(Log(), "Successful Write"), 0);
  EXPECT_TRUE(upload_.serials.empty());
  // The cache keeps what was last verified.
  EXPECT_EQ(core_->memory.Page(link::PAGE_CUSTOMER), cachedBefore);

  // A unit whose page reads back different.
  SimOptions o = Unit("qr27", 270042);
  o.faults.statusByte = 1;
  o.faults.statusCommand = link::CMD_READ_BLOCK;
  peer_->Swap(std::make_shared<CSimSensor>(o, clock_.now()));
  run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  EXPECT_EQ(run.failure, Text("ERROR_MESSAGE36"));
  EXPECT_EQ(Count(Log(), "Successful Write"), 0);
}

TEST_F(WriteToUnitTest, ValueChecksStopOrWarnBeforeAnythingIsSent) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  CONFIG_RECORD& r = core_->record;
  const auto before = first_->Page(1);
  // Above the model's maximum: the check's error box, then the run's error.
  r.sensorHeight = core_->tables.model.maxSensorHeight + 0.1;
  WRITE_RUN run = Run();
  EXPECT_TRUE(run.checksFailed);
  ASSERT_EQ(errors_.shown.size(), 1U);
  EXPECT_EQ(errors_.shown[0], std::make_pair(Text("ERROR_MESSAGE25"), Text("ERROR_MESSAGE26")));
  ASSERT_FALSE(box_.shown.empty());
  EXPECT_EQ(box_.shown[0].second, MB_ERROR);
  EXPECT_EQ(first_->Page(1), before);
}

// A level that passes a neighbouring level of the other kind only warns: the
// check's information box, then ERROR_MESSAGE27 as a question. No ends the
// run without a write; Yes writes without checking the rows below.
TEST_F(WriteToUnitTest, AWarningAsksAndYesSkipsTheRowsBelow) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  CONFIG_RECORD& r = core_->record;
  const MODEL_DEFINITION& model = core_->tables.model;
  // Configuration 5: Relay 1 pumps down, Relay 2 a Lo Alarm. Rows: 0 Lo Span
  // (Empty), 1 Relay 2 Lo Alarm, 2 Relay 1 Pump Off, 3 Relay 1 Pump On,
  // 5 Hi Span (Full); in inches.
  r.selection = {1, 1, 3, 1, 1, 1, 1, 0, 0, 0};
  EvaluateConfiguration(model, r, true);
  ASSERT_TRUE(r.valid);
  ASSERT_EQ(model.configurations[static_cast<std::size_t>(r.configIndex)].number, 5);
  r.unitsIndex = 0;
  r.sensorHeight = 200.0;
  r.fillHeight = 180.0;
  // Row 5, a Hi/Lo level, lies below row 3, an On/Off level: a warning. Row 0
  // lies above row 1, a Hi/Lo level like itself: an error, once row 0 is
  // checked.
  r.level = {25.0, 20.0, 30.0, 150.0, -1.0, 100.0};
  UpdateCompleteness(model, r);
  ASSERT_TRUE(r.complete);
  const auto before = first_->Page(1);
  const std::string warning = Text("ERROR_MESSAGE49");

  box_.answer = RESULT_NO;
  WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  EXPECT_EQ(first_->Page(1), before);
  ASSERT_EQ(box_.shown.size(), 2U);
  EXPECT_EQ(box_.shown[0].first.rfind(warning, 0), 0U) << box_.shown[0].first;
  EXPECT_EQ(box_.shown[0].second, static_cast<unsigned>(MB_INFO));
  EXPECT_EQ(box_.shown[1], std::make_pair(Text("ERROR_MESSAGE27"), static_cast<unsigned>(MB_YESNO)));
  EXPECT_TRUE(errors_.shown.empty()) << "a warning is no error";
  EXPECT_EQ(Count(Log(), "Successful Write"), 0);

  // Yes: written, and row 0's error is never reached.
  box_.shown.clear();
  box_.answer = RESULT_YES;
  run = Run();
  EXPECT_EQ(run.unitsWritten, 1);
  EXPECT_TRUE(run.failure.empty()) << run.failure;
  EXPECT_FALSE(run.checksFailed);
  EXPECT_NE(first_->Page(1), before);
  ASSERT_GE(box_.shown.size(), 2U);
  EXPECT_EQ(box_.shown[1], std::make_pair(Text("ERROR_MESSAGE27"), static_cast<unsigned>(MB_YESNO)));
  for (const auto& shown : box_.shown) {
    EXPECT_NE(shown.second, static_cast<unsigned>(MB_ERROR)) << shown.first;
  }
  EXPECT_TRUE(errors_.shown.empty());
  EXPECT_EQ(Count(Log(), "Successful Write:"), 1);

  // Without the warning on row 5 the rows below are checked: row 1 lies
  // below row 0, an error that stops the run.
  box_.shown.clear();
  r.level = {25.0, 20.0, 30.0, 150.0, -1.0, 160.0};
  run = Run();
  EXPECT_TRUE(run.checksFailed);
  ASSERT_FALSE(box_.shown.empty());
  EXPECT_EQ(box_.shown[0].second, static_cast<unsigned>(MB_ERROR));
}

TEST_F(WriteToUnitTest, DemonstrationModeOnlySaysSo) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  const WRITE_RUN run = Run(true);
  EXPECT_EQ(run.unitsWritten, 0);
  ASSERT_EQ(box_.shown.size(), 1U);
  EXPECT_EQ(box_.shown[0], std::make_pair(Text("STATUS_MESSAGE9"), static_cast<unsigned>(MB_PLAIN)));
  EXPECT_TRUE(runBusy_.messages.empty());
}

TEST_F(WriteToUnitTest, ASecondRunWhileOneIsUnderWayDoesNothing) {
  ASSERT_NO_FATAL_FAILURE(Identify(NewUnit("qr27", 270042)));
  inProgress_ = true;
  const WRITE_RUN run = Run();
  EXPECT_EQ(run.unitsWritten, 0);
  EXPECT_TRUE(errors_.shown.empty());
  EXPECT_TRUE(inProgress_);
}

}  // namespace
}  // namespace tolvane::config

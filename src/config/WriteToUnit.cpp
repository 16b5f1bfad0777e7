#include "config/WriteToUnit.h"

#include <algorithm>
#include <array>

#include "common/CheckedFormat.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "config/ValueChecks.h"

namespace tolvane::config {
namespace {

// A step that failed: the key of its text (the run keeps the detail).
struct WriteFailure {
  const char* key;
};

class WriteRun {
 public:
  WriteRun(WRITE_CONTEXT& c, IWriteView& view) : c_(c), view_(view) {}

  std::string Text(const char* key) const { return c_.language.Text(key, c_.settings.languageNumber); }

  // The value checks: each box snapped to what the page can hold, checked,
  // and stored. False when the run is to end.
  bool CheckValues() {
    CONFIG_RECORD& r = c_.record;
    const auto heightFactor = HeightFactor(c_.model, r);
    auto snap = [](const std::optional<double>& factor, double& value) {
      if (const auto snapped = SnapToCounts(factor, value)) {
        value = *snapped;
      }
    };
    snap(heightFactor, r.sensorHeight);
    snap(heightFactor, r.fillHeight);
    view_.ShowValues();

    int result = Report(CheckSensorHeight(c_.model, r));
    if (result == CHECK_PASS) {
      result = Report(CheckFillHeight(c_.model, r));
    }
    if (result == CHECK_PASS && r.configIndex >= 0) {
      const auto levelFactor = LevelFactor(c_.model, r);
      for (int row = kLevelRows - 1; row >= 0 && result == CHECK_PASS; --row) {
        snap(levelFactor, r.level[static_cast<std::size_t>(row)]);
        view_.ShowValues();
        result = Report(CheckLevel(c_.model, r, row, c_.volume));
      }
    }
    if (result == CHECK_ERROR) {
      c_.errors.Show(Text("ERROR_MESSAGE25"), Text("ERROR_MESSAGE26"));
      return false;
    }
    if (result == CHECK_WARNING) {
      // Yes writes as it stands; the rows not yet checked are not checked.
      return c_.messages.Show(Text("ERROR_MESSAGE27"), MB_YESNO) == RESULT_YES;
    }
    return true;
  }

  // Steps 6 to 13 for one unit. Throws WriteFailure.
  void WriteOneUnit(bool first) {
    CONFIG_RECORD& r = c_.record;
    Step("STATUS_MESSAGE10", 20);
    std::int32_t serial = 0;
    int identity = CheckUnitIdentity(c_.memory, r, serial);
    if (identity == IDENTITY_SAME_UNIT && !first) {
      // The unit was not changed since the last write.
      detail_ = Text("ERROR_MESSAGE29");
      c_.errors.Show(Text("ERROR_MESSAGE28"), detail_);
      identity = CheckUnitIdentity(c_.memory, r, serial);
      if (identity != IDENTITY_SAME_UNIT && identity != IDENTITY_OTHER_SERIAL) {
        Fail("ERROR_MESSAGE30", true);
      }
      if (identity == IDENTITY_OTHER_SERIAL) {
        TakeSerial(serial);
      }
    } else if (identity == IDENTITY_OTHER_MODEL) {
      detail_ = Text("ERROR_MESSAGE31");
      Fail("ERROR_MESSAGE32");
    } else if (identity < 0) {
      Fail("ERROR_MESSAGE33");
    } else if (identity == IDENTITY_OTHER_SERIAL) {
      if (first) {
        detail_ = Text("STATUS_MESSAGE11");
        if (c_.messages.Show(detail_, MB_YESNO) != RESULT_YES) {
          detail_.clear();
          Fail("ERROR_MESSAGE30", true);
        }
      }
      TakeSerial(serial);
    }

    Step("STATUS_MESSAGE12", 30);
    if (EncodeToPage(c_.model, r, c_.nonLinear.page, c_.memory.Page(link::PAGE_CUSTOMER), c_.memory.Staging(),
                     c_.volume) != ENCODE_OK) {
      Fail("ERROR_MESSAGE34");
    }

    Step("STATUS_MESSAGE13", 40);
    if (c_.memory.WritePage(link::PAGE_CUSTOMER + 1) != 0) {
      Fail("ERROR_MESSAGE35");
    }
    Step("STATUS_MESSAGE14", 50);
    // Only what the verify found in the unit counts as written.
    if (c_.memory.VerifyPage(link::PAGE_CUSTOMER) == 0) {
      Fail("ERROR_MESSAGE36");
    }
    Step("STATUS_MESSAGE15", 60);
    if (first) {
      const int decoded =
          DecodeFromPage(c_.model, r, c_.nonLinear.page, c_.memory.Page(link::PAGE_CUSTOMER), c_.volume);
      view_.ShowDecoded();
      if (decoded != 0) {
        Fail("ERROR_MESSAGE37");
      }
    }
    Step("STATUS_MESSAGE16", 70);
    Step("STATUS_MESSAGE17", 80);
    if (first) {
      c_.log.Write("WRITETARGET", "Successful Write:");
      c_.log.WriteText(ConfigFileText(c_.model, r, c_.nonLinear));
    } else {
      c_.log.Write("WRITETARGET", "Successful Write to Serial #%d (see detail above)", r.serialNumber);
    }
    Step("STATUS_MESSAGE22", 100);
    c_.upload.QueueRecord(r, c_.model);
  }

  // The failure of a step: shown with the detail the run set last, logged.
  void Report(const char* key) {
    const std::string text = Text(key);
    c_.busy.SetMessage(Text("ERROR_MESSAGE44"));
    if (detail_.empty()) {
      detail_ = Text("ERROR_MESSAGE45");
    }
    c_.errors.Show(text, detail_);
    c_.log.Write("WRITETARGET", "%s", text);
    failure_ = text;
  }

  void ClearDetail() { detail_.clear(); }
  const std::string& failure() const { return failure_; }

 private:
  int Report(const CHECK_RESULT& check) {
    if (check.result != CHECK_PASS) {
      c_.messages.Show(CheckMessageText(check, c_.language, c_.settings.languageNumber), check.boxType);
    }
    return check.result;
  }

  void Step(const char* key, int progress) {
    c_.busy.SetMessage(Text(key));
    c_.busy.SetProgress(progress);
  }

  void TakeSerial(std::int32_t serial) {
    c_.record.serialNumber = serial;
    view_.ShowIdentity();
  }

  // `intoDetail`: the text also becomes the detail (a refusal the user made).
  [[noreturn]] void Fail(const char* key, bool intoDetail = false) {
    if (intoDetail) {
      detail_ = Text(key);
    }
    throw WriteFailure{key};
  }

  WRITE_CONTEXT& c_;
  IWriteView& view_;
  std::string detail_;
  std::string failure_;
};

}  // namespace

int CheckUnitIdentity(link::CUnitMemory& memory, const CONFIG_RECORD& record, std::int32_t& serial) {
  link::InfoImage info{};
  if (memory.ReadInfoMemory(info) != 0) {
    return IDENTITY_NO_READ;
  }
  std::string model;
  if (link::ParseInfoIdentity(info, serial, model) != 0) {
    return IDENTITY_UNREADABLE;
  }
  if (model != record.modelName) {
    return IDENTITY_OTHER_MODEL;
  }
  return serial == record.serialNumber ? IDENTITY_SAME_UNIT : IDENTITY_OTHER_SERIAL;
}

WRITE_RUN WriteToUnit(WRITE_CONTEXT& c, IWriteView& view, bool& writeInProgress) {
  WRITE_RUN run;
  WriteRun steps(c, view);
  if (c.demonstration) {
    c.messages.Show(steps.Text("STATUS_MESSAGE9"), MB_PLAIN);
    run.failure = steps.Text("STATUS_MESSAGE9");
    return run;
  }
  c.busy.SetMessage({});
  c.busy.SetProgress(0);
  c.busy.SetMessage(steps.Text("BUSY_MESSAGE13"));
  c.busy.SetProgress(10);

  if (!steps.CheckValues()) {
    run.checksFailed = true;
    view.CloseBusy();
    return run;
  }
  view.ClearFileName();
  if (writeInProgress) {
    view.CloseBusy();
    return run;
  }
  view.SetWritePushed(true);
  writeInProgress = true;
  steps.ClearDetail();

  bool first = true;
  bool more = true;
  try {
    while (more) {
      steps.WriteOneUnit(first);
      first = false;
      ++run.unitsWritten;
      more = view.NextUnit();
    }
    if (c.uploadNotice != nullptr && *c.uploadNotice && c.notice != nullptr) {
      bool showAgain = true;
      c.notice->Show(steps.Text("STATUS_MESSAGE25"), true, showAgain);
      *c.uploadNotice = showAgain;
    }
    if (!c.settings.optOut) {
      c.busy.SetMessage(steps.Text("IDD_BUSYWINDOW"));
      c.busy.SetProgress(0);
      view.CloseBusy();
      c.upload.UploadPending();
    }
  } catch (const WriteFailure& failure) {
    steps.Report(failure.key);
    run.failure = steps.failure();
  }
  view.SetWritePushed(false);
  writeInProgress = false;
  view.CloseBusy();
  return run;
}

}  // namespace tolvane::config

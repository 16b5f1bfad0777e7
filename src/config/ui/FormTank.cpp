// The configuration form's tank shapes: the Tank Shapes button, the
// calculation at form start and after a file is read, and the units box
// that offers volume units while a shape is on. The geometry's windows and
// core do the work; this binds their outcome to the form's boxes.
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

#include "config/UnitsChange.h"
#include "config/ui/GenericForm.h"
#include "geometry/ui/TankDialogs.h"
#include "shell/ui/BusyWindow.h"

namespace tolvane {

std::unique_ptr<geometry::CFormTank> MakeFormTank(CProgramCore& core) {
  return std::make_unique<geometry::CFormTank>(core.models, core.tables, core.language, core.settings,
                                               core.folders.bitmaps, core.folders.drawings, core.folders.components,
                                               core.services.messages, core.services.clock);
}

namespace {

// The model file's base name: the name cut before its last ".".
std::string BaseName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

void CGenericForm::RefillUnits() {
  // Volume units leave the box with the shape: back to the last linear unit.
  if (!formTank_->Data().On() && record_.volumeUnits) {
    config::ChangeUnits(model_, record_, record_.lastLinearUnits, nullptr);
  }
  filling_ = true;
  units_->clear();
  for (int e = 0; e < config::UnitsEntryCount(model_); ++e) {
    units_->addItem(FromUtf8(config::UnitsEntryName(model_, e)));
  }
  const int entry = record_.volumeUnits ? record_.unitsIndex + model_.unitsCount : record_.unitsIndex;
  units_->setCurrentIndex(std::clamp(entry, 0, std::max(0, units_->count() - 1)));
  filling_ = false;
}

void CGenericForm::RecalculateNonLinear() {
  geometry::CNonLinearData& shape = formTank_->Data();
  shape.FromConfig(nonLinear_);
  if (!nonLinear_.on) {
    shape.structureType = -1;
  }
  geometry::STRUCTURE_HEIGHTS heights;
  const double factor = config::HeightFactor(model_, record_).value_or(1.0);
  const int rc = shape.structureType == -1
                     ? 0
                     : geometry::RecalculateNonLinear(core_.models, core_.tables, shape, formTank_->Ui().calculate,
                                                      factor, &heights);
  if (shape.structureType == -1 || rc != 0) {
    shape.structureType = -1;
    shape.SetOn(false);
    shape.SetOffValues();
    nonLinear_ = shape.ToConfig();
    sensorHeight_->setEnabled(true);
    fillHeight_->setEnabled(true);
    return;
  }
  nonLinear_ = shape.ToConfig();
  record_.fillHeight = heights.fillHeight;
  record_.sensorHeight = heights.sensorHeight;
  RefillUnits();
  ShowValues();
  sensorHeight_->setEnabled(false);
  fillHeight_->setEnabled(false);
}

void CGenericForm::OnNonLinear() {
  geometry::CNonLinearData& shape = formTank_->Data();
  shape.FromConfig(nonLinear_);
  if (!nonLinear_.on) {
    shape.structureType = -1;
  }
  const double factor = config::HeightFactor(model_, record_).value_or(1.0);
  const geometry::TANK_CHOICE choice = geometry::ChooseTankStructure(formTank_->Ui(), this, factor);
  if (choice.cancelled) {
    return;
  }
  CBusyWindow busy(core_.language, core_.settings, nullptr);
  busy.show();
  nonLinear_ = shape.ToConfig();
  if (!choice.structureOn) {
    nonLinear_.on = false;
    // The model file again, over empty tables: the shape's units and lists go.
    core_.models.ResetModel();
    core_.models.LoadModelByName(BaseName(record_.modelFileName), 0);
    ShowValues();
    sensorHeight_->setEnabled(true);
    fillHeight_->setEnabled(true);
  } else {
    record_.fillHeight = choice.heights.fillHeight;
    record_.sensorHeight = choice.heights.sensorHeight;
    ShowValues();
    sensorHeight_->setEnabled(false);
    fillHeight_->setEnabled(false);
  }
  busy.SetMessage(core_.Text("STATUS_MESSAGE34"));
  busy.SetProgress(30);
  RefillUnits();
  UpdateCompleteness(true);
  busy.SetMessage(core_.Text("STATUS_MESSAGE35"));
  busy.SetProgress(60);
  busy.SetMessage(core_.Text("STATUS_MESSAGE36"));
  busy.SetProgress(100);
  SetUnsaved(true);
}

}  // namespace tolvane

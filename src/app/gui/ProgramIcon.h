// The program's icon: a tank with its liquid level under an ultrasonic
// sensor, drawn here so that it is sharp at every size. The same picture is
// shipped as packaging/icons/tolvane.svg.
#pragma once

#include <QIcon>
#include <QImage>

namespace tolvane {

// The icon drawn at `size` x `size` pixels.
QImage DrawProgramIcon(int size);

// The icon at the usual sizes.
QIcon ProgramIcon();

}  // namespace tolvane

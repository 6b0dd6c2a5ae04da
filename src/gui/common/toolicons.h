// The tool bar's pictures: a normal and a greyed 32 x 32 set, drawn at start-up.
#pragma once

#include <QIcon>

namespace ombrix {

enum class ToolIcon { SendAll, Stop, Connect, Disconnect, ControlPanel, New, Save, Open, Settings };

// The icon with its normal picture and, for the disabled state, the greyed one.
QIcon toolIcon(ToolIcon which);

} // namespace ombrix

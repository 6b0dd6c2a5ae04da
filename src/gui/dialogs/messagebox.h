// Message boxes of the device windows, through a hook that tests can set to answer without a
// modal box.
#pragma once

#include "core/device/userinterface.h"

#include <QString>

#include <functional>

class QWidget;

namespace ombrix {

struct MessageRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::Information;
    bool question = false; // Yes and No buttons instead of OK
};

// Answers a message: the return value is the answer to a question (true = Yes) and is
// ignored for a plain message.
using MessageHook = std::function<bool(const MessageRequest&)>;

// Shows `request` through `hook` when it is set, otherwise in a modal QMessageBox over
// `parent` (OK, or Yes and No for a question). Returns true for Yes.
bool showMessageBox(QWidget* parent, const MessageRequest& request, const MessageHook& hook);

} // namespace ombrix

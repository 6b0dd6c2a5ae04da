#include "gui/dialogs/messagebox.h"

#include <QMessageBox>

namespace ombrix {

bool showMessageBox(QWidget* parent, const MessageRequest& request, const MessageHook& hook) {
    if (hook)
        return hook(request);
    QMessageBox::Icon icon = QMessageBox::Information;
    if (request.icon == MessageIcon::Warning)
        icon = QMessageBox::Warning;
    else if (request.icon == MessageIcon::Error)
        icon = QMessageBox::Critical;
    if (request.question && request.icon == MessageIcon::Information)
        icon = QMessageBox::Question;
    QMessageBox box(icon, request.caption, request.text,
                    request.question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    parent);
    return box.exec() == QMessageBox::Yes;
}

} // namespace ombrix

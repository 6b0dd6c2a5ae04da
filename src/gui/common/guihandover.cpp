#include "gui/common/guihandover.h"

#include <QMetaObject>

namespace ombrix {

void GuiHandOver::post(std::function<void()> call) {
    const std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
    // One wake-up per batch, posted under the lock that drain() takes first: everything the
    // worker did before posting is ordered before the call runs.
    if (queue_.size() == 1)
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void GuiHandOver::drain() {
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        call();
    }
}

} // namespace ombrix

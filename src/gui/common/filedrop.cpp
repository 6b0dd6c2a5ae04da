#include "gui/common/filedrop.h"

#include "gui/common/localfiles.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace ombrix {

QString droppedLocalFile(const QMimeData* data) {
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                return localFileName(url);
    return {};
}

FileDrop::FileDrop(QWidget* window, std::function<void(const QString&)> open)
    : QObject(window), open_(std::move(open)) {
    watchDropTargetsUnder(window);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void FileDrop::watchDropTargetsUnder(QObject* parent) {
    for (QObject* child : parent->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child); widget && widget->acceptDrops())
            widget->installEventFilter(this);
        watchDropTargetsUnder(child);
    }
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event); // DragEnter and DragMove derive from it
    const QString file = droppedLocalFile(drop->mimeData());
    if (file.isEmpty())
        return false; // text and other drops go on as usual
    drop->acceptProposedAction();
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, file] { open_(file); }, Qt::QueuedConnection);
    return true;
}

} // namespace ombrix

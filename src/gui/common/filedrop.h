// Files dropped on a window: a drag that carries a local file is taken by the window and by
// every child that would otherwise take the drop itself (an edit would insert the file's
// address as text). The first local file is handed to `open` once the drop has ended, so
// that `open` may ask questions in message boxes.
#pragma once

#include <QObject>

#include <functional>

class QMimeData;
class QWidget;

namespace ombrix {

// The first local file among the dragged addresses, empty when there is none.
QString droppedLocalFile(const QMimeData* data);

class FileDrop : public QObject {
    Q_OBJECT
  public:
    // Call once the window's children are built.
    FileDrop(QWidget* window, std::function<void(const QString&)> open);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Every widget below `parent`, at any depth, that takes drops itself.
    void watchDropTargetsUnder(QObject* parent);

    std::function<void(const QString&)> open_;
};

} // namespace ombrix

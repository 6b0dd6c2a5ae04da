// The "Line log" window: every frame written to the device and every reply read, one row
// each (time, direction, command, decoded values, status, time taken), failures in red, a
// sample or sweep block expandable to its codes. The recorder logs only while the window is
// shown; the window fetches new entries from it on the GUI thread every 100 ms.
#pragma once

#include <QWidget>

#include <cstdint>

class QTimer;
class QTreeWidget;

namespace ombrix {

class LineRecorder;

class LineLogWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LineLogWindow(LineRecorder& recorder, QWidget* parent = nullptr);
    ~LineLogWindow() override;

    // Takes what the recorder holds beyond the rows shown.
    void fetch();
    // Writes the log as text, a block's codes on the lines below it, replacing the file only
    // once all of it is on disk. Empty on success, else a message naming the file and error.
    QString saveTo(const QString& path) const;
    void clear();

    QTreeWidget* tree() const { return tree_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void save();

    LineRecorder& recorder_;
    QTreeWidget* tree_ = nullptr;
    QTimer* timer_ = nullptr;
    std::uint64_t cursor_ = 0;
};

} // namespace ombrix

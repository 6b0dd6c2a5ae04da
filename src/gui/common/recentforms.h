// The "Recent forms" submenu: the last forms settings files opened or saved, newest first,
// kept between runs in the user's settings (QSettings, organisation and program "Ombrix").
// Files that no longer exist stay in the list, greyed out.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QMenu;

namespace ombrix {

// `list` with `path` put first, an earlier entry of the same file removed, cut to `most`.
QStringList withRecentFile(QStringList list, const QString& path, int most);

class RecentForms : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMaxFiles = 8;

    // Fills `menu` (owned by the caller); choosing an entry calls `open` with its path.
    RecentForms(QMenu* menu, std::function<void(const QString&)> open, QObject* parent);

    // Puts `path` (made absolute) first in the stored list.
    void add(const QString& path);
    QStringList files() const;
    // Rebuilds the menu from the stored list, checking which files still exist.
    void refresh();

  private:
    QMenu* menu_ = nullptr;
    std::function<void(const QString&)> open_;
};

} // namespace ombrix

// The "Recent forms" submenu: the last forms settings files opened or saved, newest first,
// kept between runs in a file of the user's configuration folder ("Ombrix/recent-forms", one
// name after another as the file system's bytes, each ended by a NUL). Files that no longer
// exist stay in the list, greyed out. Below them, the unsaved forms kept from earlier
// sessions ("Unsaved forms of <date, time>").
#pragma once

#include <QList>
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

    // Forms kept from an earlier session: the file and its entry's text.
    struct Unsaved {
        QString path;
        QString label;
    };

    // Fills `menu` (owned by the caller); choosing an entry calls `open` with its path, an
    // unsaved-forms entry `openUnsaved`.
    RecentForms(QMenu* menu, std::function<void(const QString&)> open,
                std::function<void(const QString&)> openUnsaved, QObject* parent);

    // The file that holds the list.
    static QString storeFileName();

    // Puts `path` (made absolute) first in the stored list. Empty on success, else the error
    // of writing the list (the list stays as it was).
    QString add(const QString& path);
    QStringList files() const;
    void setUnsaved(QList<Unsaved> unsaved);
    const QList<Unsaved>& unsaved() const { return unsaved_; }
    // Rebuilds the menu from the stored list, checking which files still exist.
    void refresh();

  private:
    QMenu* menu_ = nullptr;
    std::function<void(const QString&)> open_;
    std::function<void(const QString&)> openUnsaved_;
    QList<Unsaved> unsaved_;
};

} // namespace ombrix

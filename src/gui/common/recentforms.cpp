#include "gui/common/recentforms.h"

#include "gui/common/localfiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>

namespace ombrix {

namespace {

constexpr qsizetype kMostStoreBytes = 1 << 20;

// Where earlier versions kept the list; read while the list file does not exist yet.
QStringList listOfEarlierVersions() {
    return QSettings(QSettings::UserScope, "Ombrix", "Ombrix").value("RecentForms").toStringList();
}

QString absoluteName(const QString& path) {
    // Plain text operations: QFileInfo would re-encode a name that is not UTF-8.
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path)
                                      : QDir::cleanPath(QDir::currentPath() + '/' + path);
}

} // namespace

QStringList withRecentFile(QStringList list, const QString& path, int most) {
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > most)
        list.removeLast();
    return list;
}

RecentForms::RecentForms(QMenu* menu, std::function<void(const QString&)> open,
                         std::function<void(const QString&)> openUnsaved, QObject* parent)
    : QObject(parent), menu_(menu), open_(std::move(open)), openUnsaved_(std::move(openUnsaved)) {
    refresh();
}

QString RecentForms::storeFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Ombrix/recent-forms";
}

QStringList RecentForms::files() const {
    const QString store = storeFileName();
    if (!QFileInfo::exists(store))
        return listOfEarlierVersions();
    QByteArray bytes;
    if (!readWholeFile(store, kMostStoreBytes, bytes).isEmpty())
        return {};
    QStringList list;
    for (const QByteArray& name : bytes.split('\0'))
        if (!name.isEmpty() && list.size() < kMaxFiles)
            list << decodeFileName(name);
    return list;
}

QString RecentForms::add(const QString& path) {
    // Read afresh: another running Ombrix may have added files meanwhile.
    const QStringList list = withRecentFile(files(), absoluteName(path), kMaxFiles);
    QByteArray bytes;
    for (const QString& name : list) {
        const std::string encoded = encodeFileName(name);
        bytes.append(encoded.data(), qsizetype(encoded.size())).append('\0');
    }
    const QString store = storeFileName();
    QDir().mkpath(QFileInfo(store).path());
    const QString error = writeWholeFile(store, bytes);
    return error.isEmpty() ? QString()
                           : QStringLiteral("Could not write the list of recent forms \"%1\": %2")
                                 .arg(store, error);
}

void RecentForms::setUnsaved(QList<Unsaved> unsaved) {
    unsaved_ = std::move(unsaved);
    refresh();
}

void RecentForms::refresh() {
    menu_->clear();
    const QStringList list = files();
    for (int k = 0; k < list.size(); ++k) {
        const QString& path = list[k];
        QString shown = QDir::toNativeSeparators(path);
        shown.replace('&', "&&"); // an "&" in a name is not an accelerator
        QAction* item = menu_->addAction(QStringLiteral("&%1 %2").arg(k + 1).arg(shown));
        item->setData(path);
        item->setEnabled(isRegularFile(path));
        connect(item, &QAction::triggered, this, [this, path] { open_(path); });
    }
    if (!list.isEmpty() && !unsaved_.isEmpty())
        menu_->addSeparator();
    for (const Unsaved& kept : unsaved_) {
        QAction* item = menu_->addAction(kept.label);
        item->setData(kept.path);
        item->setEnabled(isRegularFile(kept.path));
        connect(item, &QAction::triggered, this, [this, path = kept.path] { openUnsaved_(path); });
    }
    menu_->setEnabled(!list.isEmpty() || !unsaved_.isEmpty());
}

} // namespace ombrix

#include "gui/common/recentforms.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace ombrix {

namespace {

const char* const kKey = "RecentForms";

QSettings userSettings() {
    // Named explicitly: the list must not depend on when the application's name is set.
    return QSettings(QSettings::UserScope, "Ombrix", "Ombrix");
}

} // namespace

QStringList withRecentFile(QStringList list, const QString& path, int most) {
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > most)
        list.removeLast();
    return list;
}

RecentForms::RecentForms(QMenu* menu, std::function<void(const QString&)> open, QObject* parent)
    : QObject(parent), menu_(menu), open_(std::move(open)) {
    refresh();
}

QStringList RecentForms::files() const {
    return userSettings().value(kKey).toStringList();
}

void RecentForms::add(const QString& path) {
    // Read afresh: another running Ombrix may have added files meanwhile.
    QSettings settings = userSettings();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    settings.setValue(kKey,
                      withRecentFile(settings.value(kKey).toStringList(), absolute, kMaxFiles));
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
        item->setEnabled(QFileInfo(path).isFile());
        connect(item, &QAction::triggered, this, [this, path] { open_(path); });
    }
    menu_->setEnabled(!list.isEmpty());
}

} // namespace ombrix

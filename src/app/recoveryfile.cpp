#include "app/recoveryfile.h"

#include "core/model/recoverynames.h"
#include "gui/common/localfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <signal.h>

#include <cerrno>
#include <string>
#include <vector>

namespace ombrix {

namespace {

// A session still running keeps its own file; only files of ended sessions are offered.
bool sessionRunning(std::int64_t pid) {
    return pid == QCoreApplication::applicationPid() ||
           (pid > 0 && pid <= 0x7fffffff &&
            (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM));
}

QString labelFor(const QFileInfo& file) {
    const QDateTime changed = file.lastModified();
    const QLocale locale = QLocale::system();
    return QStringLiteral("Unsaved forms of %1, %2")
        .arg(locale.toString(changed.date(), QLocale::ShortFormat),
             changed.time().toString("HH:mm:ss"));
}

} // namespace

QString RecoveryFile::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/Ombrix/unsaved";
}

RecoveryFile::RecoveryFile(QString folder) : folder_(std::move(folder)) {
    startNewFile();

    std::vector<std::string> ended;
    for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden)) {
        const std::optional<RecoveryName> session = parseRecoveryFileName(name.toStdString());
        if (session && !sessionRunning(session->pid))
            ended.push_back(name.toStdString());
    }
    std::vector<std::string> older;
    for (const std::string& name : newestRecoveryFiles(ended, kKeep, older)) {
        const QString path = folder_ + '/' + QString::fromStdString(name);
        leftOver_.append({path, labelFor(QFileInfo(path))});
    }
    for (const std::string& name : older)
        QFile::remove(folder_ + '/' + QString::fromStdString(name));
}

QString RecoveryFile::keep(const QByteArray& image) {
    if (image == kept_)
        return {};
    QDir().mkpath(folder_);
    // Written on every change: the cache is enough against a crash or a kill.
    const QString error = writeWholeFile(path_, image, FileSync::Cached);
    if (!error.isEmpty())
        return error;
    kept_ = image;
    return {};
}

void RecoveryFile::clear() {
    if (kept_.isEmpty())
        return;
    QFile::remove(path_);
    kept_.clear();
}

void RecoveryFile::startNewFile() {
    const QString previous = path_;
    for (qint64 start = QDateTime::currentMSecsSinceEpoch(); path_ == previous; ++start)
        path_ =
            folder_ + '/' +
            QString::fromStdString(recoveryFileName({start, QCoreApplication::applicationPid()}));
}

void RecoveryFile::retire() {
    if (kept_.isEmpty())
        return;
    kept_.clear();
    startNewFile();
}

void RecoveryFile::forget(const QString& path) {
    for (qsizetype k = 0; k < leftOver_.size(); ++k)
        if (leftOver_[k].path == path) {
            QFile::remove(path);
            leftOver_.removeAt(k);
            return;
        }
}

} // namespace ombrix

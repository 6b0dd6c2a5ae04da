// The recovery file: the forms of every committed change that is not saved, kept so that an
// Exit, a crash or a kill loses nothing. Exit asks nothing; the next start offers them.
//
// Each session writes its own file in "<data folder>/Ombrix/unsaved" (on Linux
// ~/.local/share/Ombrix/unsaved; core/model/recoverynames.h names it), replaced atomically on
// every change and removed once the forms are saved, opened or new again. A session that
// starts lists the files that ended sessions left, keeping the newest five.
#pragma once

#include "gui/common/recentforms.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace ombrix {

class RecoveryFile {
  public:
    static constexpr int kKeep = 5;

    // `folder` holds the recovery files; the files older sessions left beyond the newest
    // kKeep are removed here.
    explicit RecoveryFile(QString folder = defaultFolder());

    static QString defaultFolder();
    // This session's file (present only while it holds unsaved forms).
    const QString& path() const { return path_; }

    // Keeps `image` as the unsaved forms. Empty on success, else the error's text (the
    // previous image stays whole).
    QString keep(const QByteArray& image);
    // The forms are saved or unchanged: nothing to keep.
    void clear();
    // Other forms replace the unsaved ones without their being saved (Open): the file keeps
    // them as it is, for the next start to offer, and this session goes on in a new one.
    void retire();

    // The files of ended sessions, newest first, as "Unsaved forms of <date, time>".
    const QList<RecentForms::Unsaved>& leftOver() const { return leftOver_; }
    // A left-over file whose forms this session has taken over (and now keeps itself).
    void forget(const QString& path);

  private:
    void startNewFile();

    QString folder_;
    QString path_;
    QByteArray kept_; // the image in the file now, empty when there is none
    QList<RecentForms::Unsaved> leftOver_;
};

} // namespace ombrix

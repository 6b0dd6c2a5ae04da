// Local files for the windows: names between Qt's text and the file system's bytes, without
// loss, and whole files written and read through the core's file store.
//
// Qt decodes a name that is not valid UTF-8 with replacement characters, so such a file
// could never be opened again. Names that come from the file system (the command line, a
// dropped address, the recent list) are decoded here instead, keeping every byte, and every
// file the program reads or writes is named through encodeFileName.
#pragma once

#include "core/model/filestore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

class QUrl;

namespace ombrix {

QString decodeFileName(const QByteArray& bytes);
// The bytes the file system knows the file by.
std::string encodeFileName(const QString& name);

// The program's arguments, each decoded as a file name (for `QCommandLineParser::process`).
QStringList fileSystemArguments(int argc, const char* const* argv);

// The local file a "file:" address names, its bytes taken from the address's percent
// encoding; empty for any other address.
QString localFileName(const QUrl& url);

// Writes `bytes` over `name` atomically (core/model/filestore.h): empty on success, else the
// error's text. Nothing is reported written before it is on disk.
QString writeWholeFile(const QString& name, const QByteArray& bytes,
                       FileSync sync = FileSync::ToDisk);
// Reads up to `most` bytes of the regular file `name`; refuses a folder, FIFO, socket or
// device at once. Empty on success, else the reason.
QString readWholeFile(const QString& name, qsizetype most, QByteArray& bytes);
// Whether `name` is an existing regular file (never blocks).
bool isRegularFile(const QString& name);

} // namespace ombrix

#include "gui/common/localfiles.h"

#include "core/model/filenamecodec.h"
#include "core/model/filestore.h"

#include <QUrl>

#include <span>
#include <string_view>
#include <vector>

namespace ombrix {

QString decodeFileName(const QByteArray& bytes) {
    const std::u16string text =
        decodeFileNameBytes(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

std::string encodeFileName(const QString& name) {
    return encodeFileNameBytes(
        std::u16string_view(reinterpret_cast<const char16_t*>(name.utf16()), name.size()));
}

QStringList fileSystemArguments(int argc, const char* const* argv) {
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments << decodeFileName(QByteArray(argv[k]));
    return arguments;
}

QString localFileName(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // The encoded path keeps a byte that is not UTF-8 as "%FF", which toLocalFile() loses.
    return decodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString writeWholeFile(const QString& name, const QByteArray& bytes, FileSync sync) {
    const std::optional<std::string> error =
        writeFileAtomically(encodeFileName(name),
                            std::span(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                      std::size_t(bytes.size())),
                            sync);
    return error ? QString::fromStdString(*error) : QString();
}

QString readWholeFile(const QString& name, qsizetype most, QByteArray& bytes) {
    std::vector<unsigned char> read;
    if (const std::optional<std::string> error =
            readRegularFile(encodeFileName(name), std::size_t(most), read))
        return QString::fromStdString(*error);
    bytes = QByteArray(reinterpret_cast<const char*>(read.data()), qsizetype(read.size()));
    return {};
}

bool isRegularFile(const QString& name) {
    return !notRegularFileReason(encodeFileName(name));
}

} // namespace ombrix

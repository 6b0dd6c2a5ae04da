#include "app/userprompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace ombrix {

namespace {

const char* const kFormsFilter = "Settings (*.set)";

// A save dialog whose default suffix follows the chosen filter (the first word of a filter
// names its suffix); empty when cancelled.
QString askSaveName(QWidget* parent, const QString& caption, const QStringList& filters,
                    const QStringList& suffixes, const QString& suggested) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.first());
    dialog.selectFile(suggested);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, filters, suffixes](const QString& filter) {
                         const qsizetype i = filters.indexOf(filter);
                         dialog.setDefaultSuffix(suffixes.at(i < 0 ? 0 : i));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

void UserPrompts::showMessage(const QString& text, const QString& caption) {
    if (messageHandler_)
        messageHandler_(text, caption);
    else
        QMessageBox::critical(&window_, caption, text);
}

bool UserPrompts::askYesNo(const QString& text, const QString& caption) {
    if (answers_.askYesNo)
        return answers_.askYesNo(text, caption);
    return QMessageBox::question(&window_, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString UserPrompts::openFileName() {
    if (answers_.openFileName)
        return answers_.openFileName();
    return QFileDialog::getOpenFileName(&window_, QString(), QString(), kFormsFilter);
}

QString UserPrompts::saveFileName() {
    if (answers_.saveFileName)
        return answers_.saveFileName();
    // The dialog asks before overwriting and only offers existing folders.
    return askSaveName(&window_, QString(), {kFormsFilter}, {"set"}, "untitled");
}

QString UserPrompts::exportFileName() {
    if (answers_.exportFileName)
        return answers_.exportFileName();
    return askSaveName(&window_, "Export samples", {"CSV (*.csv)", "WAV (*.wav)"}, {"csv", "wav"},
                       "samples");
}

QString UserPrompts::chartFileName(const QString& suggested) {
    if (answers_.chartFileName)
        return answers_.chartFileName();
    return askSaveName(&window_, "Save chart as",
                       {"PNG image (*.png)", "PDF document (*.pdf)", "SVG drawing (*.svg)"},
                       {"png", "pdf", "svg"}, suggested);
}

} // namespace ombrix

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

UserPrompts::Redirect::Redirect(UserPrompts& prompts, MessageHandler messages, QString fileName)
    : prompts_(prompts), previousMessages_(std::move(prompts.redirectMessages_)),
      previousFile_(std::move(prompts.redirectFile_)), previousActive_(prompts.redirected_) {
    prompts_.redirected_ = true;
    prompts_.redirectMessages_ = std::move(messages);
    prompts_.redirectFile_ = std::move(fileName);
}

UserPrompts::Redirect::~Redirect() {
    prompts_.redirected_ = previousActive_;
    prompts_.redirectMessages_ = std::move(previousMessages_);
    prompts_.redirectFile_ = std::move(previousFile_);
}

void UserPrompts::showMessage(const QString& text, const QString& caption) {
    if (redirected_) {
        if (redirectMessages_)
            redirectMessages_(text, caption);
    } else if (messageHandler_)
        messageHandler_(text, caption);
    else
        QMessageBox::critical(&window_, caption, text);
}

bool UserPrompts::askYesNo(const QString& text, const QString& caption) {
    if (redirected_)
        return false;
    if (answers_.askYesNo)
        return answers_.askYesNo(text, caption);
    return QMessageBox::question(&window_, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString UserPrompts::openFileName() {
    if (redirected_)
        return redirectFile_;
    if (answers_.openFileName)
        return answers_.openFileName();
    return QFileDialog::getOpenFileName(&window_, QString(), QString(), kFormsFilter);
}

QString UserPrompts::saveFileName() {
    if (redirected_)
        return redirectFile_;
    if (answers_.saveFileName)
        return answers_.saveFileName();
    // The dialog asks before overwriting and only offers existing folders.
    return askSaveName(&window_, QString(), {kFormsFilter}, {"set"}, "untitled");
}

QString UserPrompts::exportFileName() {
    if (redirected_)
        return redirectFile_;
    if (answers_.exportFileName)
        return answers_.exportFileName();
    return askSaveName(&window_, "Export samples", {"CSV (*.csv)", "WAV (*.wav)"}, {"csv", "wav"},
                       "samples");
}

QString UserPrompts::chartFileName(const QString& suggested) {
    if (redirected_)
        return redirectFile_;
    if (answers_.chartFileName)
        return answers_.chartFileName();
    return askSaveName(&window_, "Save chart as",
                       {"PNG image (*.png)", "PDF document (*.pdf)", "SVG drawing (*.svg)"},
                       {"png", "pdf", "svg"}, suggested);
}

} // namespace ombrix

#include "app/formsdocument.h"

#include "app/userprompts.h"
#include "core/model/numbertext.h"
#include "core/model/sampleexport.h"
#include "core/model/settingsfile.h"
#include "gui/common/localfiles.h"
#include "gui/common/recentforms.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace ombrix {

namespace {

QByteArray bytesOf(const std::vector<unsigned char>& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

} // namespace

FormsDocument::FormsDocument(Commands commands, Hooks hooks, UserPrompts& prompts, char sep,
                             const QString& recoveryFolder)
    : commands_(commands), prompts_(prompts), sep_(sep), hooks_(std::move(hooks)),
      recovery_(recoveryFolder) {
    recent_ = new RecentForms(
        commands_.recentMenu, [this](const QString& name) { openFile(name); },
        [this](const QString& path) { openUnsaved(path); }, this);
    // Rebuilt on every opening, so that files deleted meanwhile show greyed out.
    connect(commands_.fileMenu, &QMenu::aboutToShow, recent_, &RecentForms::refresh);
    connect(commands_.undo, &QAction::triggered, this, &FormsDocument::undoForms);
    connect(commands_.redo, &QAction::triggered, this, &FormsDocument::redoForms);
    refreshUndoActions();
}

FormsDocument::~FormsDocument() = default;

void FormsDocument::setFileName(const QString& name) {
    fileName_ = name;
    commands_.save->setEnabled(!fileName_.isEmpty());
}

bool FormsDocument::Save() {
    // Every text must keep its value in its field: a long number written by a rule is rounded
    // (and shown and recalculated so), anything else that does not fit refuses the save.
    FormsConfig fitted = forms_;
    if (const std::optional<std::string> error = fitFormsToFile(fitted, sep_)) {
        prompts_.showMessage(QString::fromStdString(*error), "Error");
        return false;
    }
    if (!(fitted == forms_)) {
        hooks_.applyForms(fitted);
        hooks_.calculate(0, kOutputCount - 1);
    }
    // Saved only once the whole image is on disk: the file, the recent list and the mark
    // change after that, never before.
    const QString error = writeWholeFile(fileName_, bytesOf(encodeForms(forms_)));
    if (!error.isEmpty()) {
        prompts_.showMessage(
            QStringLiteral("Could not save the forms to \"%1\": %2").arg(fileName_, error),
            "Error");
        return false;
    }
    history_.markSaved();
    markUnchanged();
    if (const QString listError = recent_->add(fileName_); !listError.isEmpty())
        prompts_.showMessage(listError, "Error");
    return true;
}

void FormsDocument::SaveAs() {
    modified_ = true;
    const QString name = prompts_.saveFileName();
    if (name.isEmpty())
        return;
    setFileName(name);
    Save();
}

void FormsDocument::SaveIfPossible() {
    if (modified_ && !fileName_.isEmpty())
        Save();
    else
        SaveAs();
}

void FormsDocument::Open() {
    modified_ = true;
    const QString name = prompts_.openFileName();
    if (!name.isEmpty())
        openFile(name);
}

bool FormsDocument::openFile(const QString& name) {
    return loadForms(name, false);
}

bool FormsDocument::openUnsaved(const QString& path) {
    return loadForms(path, true);
}

bool FormsDocument::loadForms(const QString& name, bool unsaved) {
    // From the recent list, a drop, the command line or a remote client: no action committed
    // the field being typed into, whose text must reach the recovery file before it goes.
    commitEdit();
    modified_ = true;
    QByteArray bytes;
    // One byte more than an image holds, so that a longer file is seen as such.
    if (const QString error = readWholeFile(name, qsizetype(kFormsFileSize) + 1, bytes);
        !error.isEmpty()) {
        prompts_.showMessage(QStringLiteral("Could not open \"%1\": %2").arg(name, error), "Error");
        return false;
    }
    FormsConfig loaded = forms_;
    const std::optional<std::string> error =
        decodeForms(std::span(reinterpret_cast<const unsigned char*>(bytes.constData()),
                              static_cast<size_t>(bytes.size())),
                    sep_, loaded);
    if (error) {
        prompts_.showMessage(QStringLiteral("\"%1\" is not a forms settings file: %2")
                                 .arg(name, QString::fromStdString(*error)),
                             "Error");
        return false;
    }
    // Only a file that was read becomes the current one: Save must never overwrite a file
    // whose forms were refused. Unsaved forms have no file until they are saved.
    const QString opened = unsaved ? QString() : name;
    // Open asks nothing: forms not yet saved stay in their recovery file for the next start.
    recovery_.retire();
    const FormsHistory::FileSwitch change{encodeFileName(fileName_), encodeFileName(opened)};
    setFileName(opened);
    hooks_.applyForms(loaded);
    {
        const HistoryPause pause(*this);
        hooks_.calculate(0, kOutputCount - 1);
    }
    // One undo step: the forms and the file before Open come back. An opened file is saved
    // forms, so it is marked before the recovery file is looked at.
    if (historyPaused_ == 0)
        history_.record(forms_, change);
    if (!unsaved) {
        history_.markSaved();
        unchanged_ = bytesOf(encodeForms(forms_));
    }
    refreshUndoActions();
    keepUnsavedForms();
    if (unsaved) {
        // Kept from now on as this session's: the earlier session's file is no longer needed.
        if (!recoveryFailed_) {
            recovery_.forget(name);
            recent_->setUnsaved(recovery_.leftOver());
        }
        return true;
    }
    if (const QString listError = recent_->add(name); !listError.isEmpty())
        prompts_.showMessage(listError, "Error");
    return true;
}

void FormsDocument::offerUnsavedForms() {
    const QList<RecentForms::Unsaved>& kept = recovery_.leftOver();
    recent_->setUnsaved(kept);
    if (kept.isEmpty() || !hooks_.showStatus)
        return;
    hooks_.showStatus(
        kept.size() == 1
            ? QStringLiteral("%1 are kept in File, Recent forms.").arg(kept.first().label)
            : QStringLiteral("%1 and %2 more are kept in File, Recent forms.")
                  .arg(kept.first().label)
                  .arg(kept.size() - 1));
}

void FormsDocument::markUnchanged() {
    unchanged_ = bytesOf(encodeForms(forms_));
    recovery_.clear();
}

void FormsDocument::keepUnsavedForms() {
    // Every difference counts, also those the modified mark leaves out (harmonics, pulses).
    const QByteArray image = bytesOf(encodeForms(forms_));
    if (image == unchanged_) {
        recovery_.clear();
        return;
    }
    const QString error = recovery_.keep(image);
    // Told once, not on every change while the disk stays full.
    if (!error.isEmpty() && !recoveryFailed_)
        prompts_.showMessage(QStringLiteral("Could not keep the unsaved forms in \"%1\": %2")
                                 .arg(recovery_.path(), error),
                             "Error");
    recoveryFailed_ = !error.isEmpty();
}

void FormsDocument::openDroppedFile(const QString& name) {
    commitEdit(); // before the question, whose Save writes the forms
    if (modified_)
        offerToSave();
    if (!closing())
        openFile(name);
}

void FormsDocument::commitEdit() {
    if (hooks_.commitEdit)
        hooks_.commitEdit();
}

bool FormsDocument::closing() const {
    return hooks_.closing && hooks_.closing();
}

void FormsDocument::offerToSave() {
    if (!prompts_.askYesNo("Would you like to save this forms?", "Confirm"))
        return;
    if (!fileName_.isEmpty()) {
        Save();
        return;
    }
    const QString name = prompts_.saveFileName();
    if (!name.isEmpty()) {
        fileName_ = name;
        Save();
    }
}

void FormsDocument::NewSample() {
    commitEdit();
    if (modified_) {
        offerToSave();
        // Closed while the question was open: the forms stay, kept for the next start.
        if (closing())
            return;
        modified_ = false;
    }
    hooks_.applyForms(newForms());
    hooks_.enableForNewForms();
    hooks_.calculate(0, kOutputCount - 1);
    markUnchanged(); // the new forms lose nothing
}

void FormsDocument::exportClick() {
    hooks_.finishCalculation(); // export what the charts will show, not a run half done
    const QString name = prompts_.exportFileName();
    if (!name.isEmpty())
        ExportSamples(name);
}

bool FormsDocument::ExportSamples(const QString& name) {
    // The latest computed period of every active output, as the transfer would read it.
    const Samples& samples = hooks_.samples();
    std::string error;
    std::vector<unsigned char> bytes;
    if (name.endsWith(".wav", Qt::CaseInsensitive)) {
        const double n = parseInteger(forms_.General.NumOfSam).value_or(0);
        const double f = static_cast<double>(parseNumber(forms_.General.Freq, sep_).value_or(0));
        if (auto wav = samplesWav(samples, forms_.General.Active, n * f, error))
            bytes = std::move(*wav);
    } else if (auto csv = samplesCsv(samples, forms_.General.Active, error)) {
        bytes.assign(csv->begin(), csv->end());
    }
    if (bytes.empty()) {
        prompts_.showMessage(
            QStringLiteral("Could not export the samples: %1").arg(QString::fromStdString(error)),
            "Error");
        return false;
    }
    const QString writeError = writeWholeFile(name, bytesOf(bytes));
    if (!writeError.isEmpty())
        prompts_.showMessage(QStringLiteral("Could not write \"%1\": %2").arg(name, writeError),
                             "Error");
    return writeError.isEmpty();
}

void FormsDocument::refreshUndoActions() {
    commands_.undo->setEnabled(history_.canUndo());
    commands_.redo->setEnabled(history_.canRedo());
}

void FormsDocument::formsCommitted(const std::optional<FormsHistory::FileSwitch>& file) {
    if (historyPaused_ > 0)
        return;
    if (history_.record(forms_, file) && !modified_)
        history_.markSaved(); // a change the forms do not count as a modification (New)
    refreshUndoActions();
    keepUnsavedForms();
}

void FormsDocument::resetHistory() {
    history_.reset(forms_);
    markUnchanged();
    refreshUndoActions();
}

void FormsDocument::undoForms() {
    formsCommitted(); // a change not yet recorded is undone first
    if (const FormsConfig* state = history_.undo())
        restoreForms(*state);
}

void FormsDocument::redoForms() {
    if (const FormsConfig* state = history_.redo())
        restoreForms(*state);
}

void FormsDocument::restoreForms(const FormsConfig& state) {
    const FormsConfig before = forms_;
    {
        const HistoryPause pause(*this);
        hooks_.restoreForms(state);
    }
    // Undoing Open makes the file it replaced the current one again (redoing it, the opened
    // one), so that Save writes the forms to the file they came from.
    if (const std::optional<std::string>& file = history_.movedToFile())
        setFileName(decodeFileName(QByteArray::fromStdString(*file)));
    // What the change recalculated: every output when a general value differs, else the
    // outputs whose forms differ.
    int first = kOutputCount, last = -1;
    for (int k = 0; k < kOutputCount; ++k)
        if (before.General != state.General || before.Outputs[k] != state.Outputs[k]) {
            first = std::min(first, k);
            last = k;
        }
    if (last >= 0) {
        const HistoryPause pause(*this);
        hooks_.calculate(first, last);
    }
    modified_ = !history_.atSaved();
    refreshUndoActions();
    keepUnsavedForms();
}

} // namespace ombrix

// The forms settings file in the main window: New, Open, Save, Save as, the current file
// name and the modified flag. The file image itself is core/model/settingsfile's.
#include "app/ombrix.h"
#include "core/model/numbertext.h"
#include "core/model/sampleexport.h"
#include "core/model/settingsfile.h"
#include "gui/common/recentforms.h"
#include "gui/common/updown.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QToolButton>

namespace ombrix {

namespace {

const char* const kFilter = "Settings (*.set)";

} // namespace

bool TOmbrix::askYesNo(const QString& text, const QString& caption) {
    if (prompts_.askYesNo)
        return prompts_.askYesNo(text, caption);
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString TOmbrix::askOpenFileName() {
    if (prompts_.openFileName)
        return prompts_.openFileName();
    return QFileDialog::getOpenFileName(this, QString(), QString(), kFilter);
}

QString TOmbrix::askSaveFileName() {
    if (prompts_.saveFileName)
        return prompts_.saveFileName();
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFilter);
    dialog.setDefaultSuffix("set");
    dialog.selectFile("untitled");
    // The dialog asks before overwriting and only offers existing folders.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool TOmbrix::Save() {
    // Every text must keep its value in its field: a long number written by a rule is rounded
    // (and shown and recalculated so), anything else that does not fit refuses the save.
    FormsConfig fitted = forms_;
    if (const std::optional<std::string> error = fitFormsToFile(fitted, sep_)) {
        showMessage(QString::fromStdString(*error), "Error");
        return false;
    }
    if (!(fitted == forms_)) {
        applyForms(fitted);
        CalculateForms(0, kOutputCount - 1);
    }
    const std::vector<unsigned char> image = encodeForms(forms_);
    // Written to a temporary file and renamed over the old one: a failed save leaves the
    // previous file whole.
    QSaveFile file(fileName_);
    const bool ok =
        file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(image.data()),
                   static_cast<qint64>(image.size())) == static_cast<qint64>(image.size()) &&
        file.commit();
    if (ok) {
        recent_->add(fileName_);
        history_.markSaved();
    } else
        showMessage(QStringLiteral("Could not save the forms to \"%1\": %2")
                        .arg(fileName_, file.errorString()),
                    "Error");
    return ok;
}

void TOmbrix::SaveAs() {
    modified_ = true;
    const QString name = askSaveFileName();
    if (name.isEmpty())
        return;
    fileName_ = name;
    menuAction("Save1")->setEnabled(true);
    Save();
}

void TOmbrix::SaveIfPossible() {
    if (modified_ && !fileName_.isEmpty())
        Save();
    else
        SaveAs();
}

void TOmbrix::Open() {
    modified_ = true;
    const QString name = askOpenFileName();
    if (!name.isEmpty())
        openFile(name);
}

bool TOmbrix::openFile(const QString& name) {
    modified_ = true;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(QStringLiteral("Could not open \"%1\": %2").arg(name, file.errorString()),
                    "Error");
        return false;
    }
    // One byte more than an image holds, so that a longer file is seen as such.
    const QByteArray bytes = file.read(static_cast<qint64>(kFormsFileSize) + 1);
    FormsConfig loaded = forms_;
    const std::optional<std::string> error =
        decodeForms(std::span(reinterpret_cast<const unsigned char*>(bytes.constData()),
                              static_cast<size_t>(bytes.size())),
                    sep_, loaded);
    if (error) {
        showMessage(QStringLiteral("\"%1\" is not a forms settings file: %2")
                        .arg(name, QString::fromStdString(*error)),
                    "Error");
        return false;
    }
    // Only a file that was read becomes the current one: Save must never overwrite a file
    // whose forms were refused.
    const FormsHistory::FileSwitch opened{fileName_.toStdString(), name.toStdString()};
    fileName_ = name;
    menuAction("Save1")->setEnabled(true);
    applyForms(loaded);
    {
        const HistoryPause pause(historyPaused_);
        CalculateForms(0, kOutputCount - 1);
    }
    // One undo step: the forms and the file before Open come back.
    formsCommitted(opened);
    history_.markSaved();
    recent_->add(name);
    return true;
}

void TOmbrix::openDroppedFile(const QString& name) {
    if (modified_)
        offerToSave();
    openFile(name);
}

void TOmbrix::offerToSave() {
    if (!askYesNo("Would you like to save this forms?", "Confirm"))
        return;
    if (!fileName_.isEmpty()) {
        Save();
        return;
    }
    const QString name = askSaveFileName();
    if (!name.isEmpty()) {
        fileName_ = name;
        Save();
    }
}

void TOmbrix::NewSample() {
    if (modified_) {
        offerToSave();
        modified_ = false;
    }
    applyForms(newForms());
    general_.Freq->setEnabled(true);
    general_.freqLabel->setEnabled(true);
    for (int k = 1; k < kOutputCount; ++k) {
        general_.Ph_Disp[k]->setEnabled(true);
        general_.phDispLabel[k]->setEnabled(true);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             general_.startFreqLabel, general_.StartFreq, general_.stopFreqLabel, general_.StopFreq,
             general_.stepLabel, general_.StepComboBox, general_.timeLabel, general_.Time,
             general_.SwapCyclic})
        w->setEnabled(false);
    CalculateForms(0, kOutputCount - 1);
}

void TOmbrix::applyForms(const FormsConfig& f) {
    const HistoryPause pause(historyPaused_); // one step, taken by New or Open when done
    // Each value goes in through its control in the stated order, so that the rules a change
    // of that value runs (counts, limits, enabling, visibility, modified mark) run as well.
    auto setText = [](QLineEdit* edit, const std::string& text) {
        edit->setText(QString::fromStdString(text));
    };
    const GeneralSettings& g = f.General;
    setText(general_.Freq, g.Freq);
    setText(general_.NumOfSam, g.NumOfSam);
    for (int k = 1; k < kOutputCount; ++k)
        setText(general_.Ph_Disp[k], g.Ph_Disp[k]);
    for (int k = 1; k < kOutputCount; ++k)
        general_.activeBox[k]->setChecked(g.Active[k]);
    // Again, now that the outputs are: the count was clamped to what the former active
    // outputs allowed, and a switched output may have clamped it further.
    setText(general_.NumOfSam, g.NumOfSam);
    general_.UpDown1001->setRange(1, MaxSamples());
    setText(general_.StartFreq, g.StartFreq);
    setText(general_.StopFreq, g.StopFreq);
    if (g.Step != forms_.General.Step) // New resets the step; a file leaves it
        general_.StepComboBox->setCurrentText(QString::fromStdString(g.Step));
    setText(general_.Time, g.Time);
    general_.SwapEnabled->setChecked(g.SwapEnabled);
    general_.SwapCyclic->setChecked(g.SwapCyclic);
    for (auto& o : outputs_)
        o.formItems[static_cast<int>(f.Outputs[o.index].Form)]->setChecked(true);
    for (auto& o : outputs_)
        setText(o.offset, f.Outputs[o.index].Offset);
    for (auto& o : outputs_) {
        const OutputForm& src = f.Outputs[o.index];
        for (int r = 0; r < kHarmonicCount; ++r) {
            setText(o.amplitude[r], src.Harmonics[r].Amplitude);
            setText(o.phase[r], src.Harmonics[r].Phase);
            // The whole set is recalculated at the end: no request per enable box.
            const QSignalBlocker block(o.en[r]);
            o.en[r]->setChecked(src.Harmonics[r].En);
            forms_.Outputs[o.index].Harmonics[r].En = src.Harmonics[r].En;
        }
        for (int k = 0; k < kPulseParamCount; ++k)
            setText(o.pulse[k], src.Pulse[k]);
        o.equation->setPlainText(QString::fromStdString(src.Equation));
    }
}

QString TOmbrix::askExportFileName() {
    if (prompts_.exportFileName)
        return prompts_.exportFileName();
    QFileDialog dialog(this, "Export samples");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({"CSV (*.csv)", "WAV (*.wav)"});
    dialog.setDefaultSuffix("csv");
    dialog.selectFile("samples");
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.startsWith("WAV") ? "wav" : "csv");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool TOmbrix::ExportSamples(const QString& name) {
    // The latest computed period of every active output, as the transfer would read it.
    std::string error;
    std::vector<unsigned char> bytes;
    if (name.endsWith(".wav", Qt::CaseInsensitive)) {
        const double n = parseInteger(forms_.General.NumOfSam).value_or(0);
        const double f = static_cast<double>(parseNumber(forms_.General.Freq, sep_).value_or(0));
        if (auto wav = samplesWav(samples_, forms_.General.Active, n * f, error))
            bytes = std::move(*wav);
    } else if (auto csv = samplesCsv(samples_, forms_.General.Active, error)) {
        bytes.assign(csv->begin(), csv->end());
    }
    if (bytes.empty()) {
        showMessage(
            QStringLiteral("Could not export the samples: %1").arg(QString::fromStdString(error)),
            "Error");
        return false;
    }
    QSaveFile file(name);
    const bool ok =
        file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()) &&
        file.commit();
    if (!ok)
        showMessage(QStringLiteral("Could not write \"%1\": %2").arg(name, file.errorString()),
                    "Error");
    return ok;
}

void TOmbrix::bindFileCommands() {
    connect(menuAction("Export1"), &QAction::triggered, this, [this] {
        finishCalculation(); // export what the charts will show, not a run half done
        const QString name = askExportFileName();
        if (!name.isEmpty())
            ExportSamples(name);
    });
    connect(menuAction("New1"), &QAction::triggered, this, [this] {
        menuAction("Save1")->setEnabled(false);
        NewSample();
    });
    connect(toolButtons_[7], &QToolButton::clicked, this, [this] { NewSample(); });
    connect(menuAction("Open1"), &QAction::triggered, this, [this] { Open(); });
    connect(toolButtons_[9], &QToolButton::clicked, this, [this] { Open(); });
    connect(menuAction("Save1"), &QAction::triggered, this, [this] { Save(); });
    connect(menuAction("Saveas1"), &QAction::triggered, this, [this] { SaveAs(); });
    connect(toolButtons_[8], &QToolButton::clicked, this, [this] { SaveIfPossible(); });
}

} // namespace ombrix

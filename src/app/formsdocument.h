// The forms document: the forms model (the one source of every control's text), the current
// file, the modified mark and the undo history, with the commands that act on them: New,
// Open, Save, Save as, Export samples, Recent forms, a dropped file, Undo and Redo; and the
// recovery file that keeps forms not yet saved.
//
// The document puts forms into the window and has outputs recalculated through the hooks it
// is given; the file image itself is core/model/settingsfile's.
#pragma once

#include "app/recoveryfile.h"
#include "core/model/formsconfig.h"
#include "core/model/formshistory.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace ombrix {

class RecentForms;
class UserPrompts;

class FormsDocument : public QObject {
    Q_OBJECT
  public:
    using Samples = std::array<std::vector<double>, kOutputCount>;
    // What the document asks of the rest of the window.
    struct Hooks {
        // Puts forms into the controls in the file's order, running each value's rules.
        std::function<void(const FormsConfig&)> applyForms;
        // Puts exactly these forms back into the controls (undo and redo).
        std::function<void(const FormsConfig&)> restoreForms;
        // The enabling New gives the frequency, phase and sweep fields.
        std::function<void()> enableForNewForms;
        // CalculateForms(first, last); the wait for a running calculation; its samples.
        std::function<void(int first, int last)> calculate;
        std::function<void()> finishCalculation;
        std::function<const Samples&()> samples;
        // A passing message in the status bar.
        std::function<void(const QString&)> showStatus;
        // Commits the field the user has typed into and not yet left (its exit rule and
        // recalculation), so that the forms New and Open replace are the ones shown.
        std::function<void()> commitEdit;
        // The window is being closed (title bar, Exit, a shutdown's signal): a question left
        // open by it was not answered, and nothing of the forms may change.
        std::function<bool()> closing;
    };
    // The commands the document enables: "&Save forms", "&Undo", "&Redo"; the file menu whose
    // opening refreshes "&Recent forms".
    struct Commands {
        QAction* save = nullptr;
        QAction* undo = nullptr;
        QAction* redo = nullptr;
        QMenu* fileMenu = nullptr;
        QMenu* recentMenu = nullptr;
    };

    // The hooks are called only once the window is built. `recoveryFolder` holds the
    // sessions' recovery files.
    FormsDocument(Commands commands, Hooks hooks, UserPrompts& prompts, char sep,
                  const QString& recoveryFolder = RecoveryFile::defaultFolder());
    ~FormsDocument() override;

    const FormsConfig& forms() const { return forms_; }
    // The model, for the field binding that writes every control change into it.
    FormsConfig& forms() { return forms_; }
    int ActiveCount() const { return activeCount(forms_.General); }
    int MaxSamples() const { return maxSamples(ActiveCount()); }

    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }

    // "&New forms" (and "&New" on the tool bar, which leaves "&Save forms" enabled).
    void NewSample();
    void Open();
    // Open once a name is chosen (the dialog, the command line, a recent file): the forms stay
    // as they were, with a message, when the file cannot be read or is not a forms file. Only
    // a regular file is read: a folder, FIFO, socket or device is refused at once.
    bool openFile(const QString& name);
    // Opens unsaved forms an earlier session kept: they load as Open loads a file, but stay
    // unsaved, with no current file, until saved anywhere.
    bool openUnsaved(const QString& path);
    // Offers the unsaved forms earlier sessions left, in the status bar and in "Recent forms"
    // (once the window is built).
    void offerUnsavedForms();
    const RecoveryFile& recovery() const { return recovery_; }
    // A file dropped on the window: the save question if the forms are modified, then Open.
    void openDroppedFile(const QString& name);
    bool Save();
    void SaveAs();
    // "Sa&ve" on the tool bar: Save to the current file when modified, else Save as.
    void SaveIfPossible();
    // "Export samples...": asks for a name once the running calculation has ended.
    void exportClick();
    // Writes the latest period of every active output as CSV, or WAV for a ".wav" name.
    bool ExportSamples(const QString& name);
    const QString& currentFileName() const { return fileName_; }
    RecentForms* recentForms() const { return recent_; }

    // A committed change of the forms becomes an undo step, unless the forms are being put
    // into the controls as a whole or nothing changed. Open passes the file names it switched
    // between.
    void formsCommitted(const std::optional<FormsHistory::FileSwitch>& file = std::nullopt);
    // The forms as they stand are the start: nothing to undo, not modified.
    void resetHistory();
    // Undo and redo of committed changes: the forms go back to the state before (after) the
    // change, and the outputs that differ are recalculated.
    void undoForms();
    void redoForms();
    const FormsHistory& formsHistory() const { return history_; }

    // While one lives, changes are not recorded: a change made of several steps of its own
    // (Copy settings, New, Open, Undo) records one step when it is done.
    class HistoryPause {
      public:
        explicit HistoryPause(FormsDocument& document) : depth_(document.historyPaused_) {
            ++depth_;
        }
        ~HistoryPause() { --depth_; }
        HistoryPause(const HistoryPause&) = delete;
        HistoryPause& operator=(const HistoryPause&) = delete;

      private:
        int& depth_;
    };

  private:
    // Reads and applies a forms file; `unsaved` for a recovery file.
    bool loadForms(const QString& name, bool unsaved);
    // The forms as they stand are saved, opened or new: nothing to recover.
    void markUnchanged();
    // Keeps the forms in the recovery file while they differ from those.
    void keepUnsavedForms();
    void commitEdit();
    bool closing() const;
    void offerToSave(); // New's question "Would you like to save this forms?"
    void setFileName(const QString& name);
    void restoreForms(const FormsConfig& state);
    void refreshUndoActions();

    Commands commands_;
    UserPrompts& prompts_;
    char sep_;
    Hooks hooks_;
    FormsConfig forms_;
    FormsHistory history_;
    int historyPaused_ = 0;
    bool modified_ = false;
    QString fileName_;
    RecentForms* recent_ = nullptr;
    RecoveryFile recovery_;
    QByteArray unchanged_;        // the image of the forms last saved, opened or new
    bool recoveryFailed_ = false; // told once until a write succeeds again
};

} // namespace ombrix

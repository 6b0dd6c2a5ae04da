// Undo and redo of the forms: the Edit menu over the history of committed changes. A field's
// own typing keeps Qt's per-field undo (Ctrl+Z in a field goes to the field).
#include "app/ombrix.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QMenu>

namespace ombrix {

void TOmbrix::buildEditMenu(QMenu* edit) {
    undoAction_ = edit->addAction("&Undo");
    undoAction_->setObjectName("Undo1");
    undoAction_->setShortcut(QKeySequence::Undo);
    redoAction_ = edit->addAction("&Redo");
    redoAction_->setObjectName("Redo1");
    redoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(undoAction_, &QAction::triggered, this, &TOmbrix::undoForms);
    connect(redoAction_, &QAction::triggered, this, &TOmbrix::redoForms);
    refreshUndoActions();
}

void TOmbrix::refreshUndoActions() {
    if (!undoAction_)
        return;
    undoAction_->setEnabled(history_.canUndo());
    redoAction_->setEnabled(history_.canRedo());
}

void TOmbrix::formsCommitted(const std::optional<FormsHistory::FileSwitch>& file) {
    if (historyPaused_ > 0)
        return;
    if (history_.record(forms_, file) && !modified_)
        history_.markSaved(); // a change the forms do not count as a modification (New)
    refreshUndoActions();
}

void TOmbrix::undoForms() {
    formsCommitted(); // a change not yet recorded is undone first
    if (const FormsConfig* state = history_.undo())
        restoreForms(*state);
}

void TOmbrix::redoForms() {
    if (const FormsConfig* state = history_.redo())
        restoreForms(*state);
}

void TOmbrix::restoreForms(const FormsConfig& state) {
    const FormsConfig before = forms_;
    {
        const HistoryPause pause(historyPaused_);
        applyForms(state);
        general_.CheckBox6->setChecked(state.General.SetMaxNumber);
        // The controls' rules may not rewrite what was committed: the forms are the state.
        forms_ = state;
        pushTexts();
    }
    // Undoing Open makes the file it replaced the current one again (redoing it, the opened
    // one), so that Save writes the forms to the file they came from.
    if (const std::optional<std::string>& file = history_.movedToFile()) {
        fileName_ = QString::fromStdString(*file);
        menuAction("Save1")->setEnabled(!fileName_.isEmpty());
    }
    // What the change recalculated: every output when a general value differs, else the
    // outputs whose forms differ.
    int first = kOutputCount, last = -1;
    for (int k = 0; k < kOutputCount; ++k)
        if (before.General != state.General || before.Outputs[k] != state.Outputs[k]) {
            first = std::min(first, k);
            last = k;
        }
    if (last >= 0) {
        const HistoryPause pause(historyPaused_);
        CalculateForms(first, last);
    }
    modified_ = !history_.atSaved();
    refreshUndoActions();
}

} // namespace ombrix

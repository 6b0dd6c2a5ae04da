// The undo history of the forms: the states the forms passed through at each committed change
// (a field left, a kind switched, a box ticked, Copy settings, New, Open), with a cursor on the
// current one and a mark on the state last saved or opened. An Open step also remembers the
// file it replaced, so that undoing it makes that file the current one again.
#pragma once

#include "core/model/formsconfig.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace ombrix {

class FormsHistory {
  public:
    // Keeps at most `limit` steps back (the oldest states are dropped first).
    explicit FormsHistory(std::size_t limit = 200);

    // A step that also changed the current file (Open): the names before and after it.
    struct FileSwitch {
        std::string before;
        std::string after;
    };

    // Starts over from `current`, which counts as saved.
    void reset(const FormsConfig& current);
    // The forms are now `now`. A new step unless that is the current state (and no file was
    // switched); steps that were undone are dropped. Returns whether a step was added.
    bool record(const FormsConfig& now, const std::optional<FileSwitch>& file = std::nullopt);

    bool canUndo() const { return at_ > 0; }
    bool canRedo() const { return at_ + 1 < states_.size(); }
    // Moves the cursor one step back or forward and returns the state there, or nothing.
    const FormsConfig* undo();
    const FormsConfig* redo();
    const FormsConfig& current() const { return states_.at(at_).forms; }
    // The file the last undo or redo went back or forward to, when it crossed a file switch.
    const std::optional<std::string>& movedToFile() const { return movedToFile_; }

    // The current state is the one in the file (after Save or Open).
    void markSaved() { saved_ = at_; }
    bool atSaved() const { return saved_ == at_; }

  private:
    struct Step {
        FormsConfig forms;
        std::optional<FileSwitch> file; // how this step changed the current file
    };

    std::size_t limit_;
    // A deque: once the limit is reached every new step drops the oldest, which must not
    // move the other states.
    std::deque<Step> states_;
    std::optional<std::string> movedToFile_;
    std::size_t at_ = 0;
    std::optional<std::size_t> saved_;
};

} // namespace ombrix

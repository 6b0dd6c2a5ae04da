#include "core/model/formshistory.h"

namespace ombrix {

FormsHistory::FormsHistory(std::size_t limit) : limit_(limit < 1 ? 1 : limit) {
    states_.emplace_back();
    saved_ = 0;
}

void FormsHistory::reset(const FormsConfig& current) {
    states_.assign(1, Step{current, std::nullopt});
    at_ = 0;
    saved_ = 0;
}

bool FormsHistory::record(const FormsConfig& now, const std::optional<FileSwitch>& file) {
    const bool switched = file && file->before != file->after;
    if (now == states_[at_].forms && !switched)
        return false;
    states_.erase(states_.begin() + static_cast<std::ptrdiff_t>(at_) + 1, states_.end());
    if (saved_ && *saved_ > at_)
        saved_.reset(); // the saved state was undone and is now dropped
    states_.push_back(Step{now, switched ? file : std::nullopt});
    ++at_;
    if (states_.size() > limit_ + 1) {
        states_.pop_front();
        --at_;
        if (saved_)
            saved_ = *saved_ == 0 ? std::nullopt : std::optional(*saved_ - 1);
    }
    return true;
}

const FormsConfig* FormsHistory::undo() {
    movedToFile_.reset();
    if (!canUndo())
        return nullptr;
    if (const auto& file = states_[at_].file)
        movedToFile_ = file->before;
    return &states_[--at_].forms;
}

const FormsConfig* FormsHistory::redo() {
    movedToFile_.reset();
    if (!canRedo())
        return nullptr;
    if (const auto& file = states_[++at_].file)
        movedToFile_ = file->after;
    return &states_[at_].forms;
}

} // namespace ombrix

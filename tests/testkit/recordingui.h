// A UserInterface for tests: records every message, question and status text, and answers
// questions with a preset reply.
#pragma once

#include "core/device/userinterface.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ombrix {

class RecordingUserInterface final : public UserInterface {
  public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };

    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({text, caption, icon});
    }

    bool AskYesNo(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(mutex_);
        questions_.push_back({text, caption, MessageIcon::Warning});
        return answer_;
    }

    void SetStatusText(int panel, const std::string& text) override {
        std::lock_guard lock(mutex_);
        status_[panel] = text;
    }

    void setAnswer(bool yes) {
        std::lock_guard lock(mutex_);
        answer_ = yes;
    }
    std::vector<Message> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    // The texts of the messages shown so far, in order.
    std::vector<std::string> messageTexts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const auto& m : messages_)
            texts.push_back(m.text);
        return texts;
    }
    std::vector<Message> questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }
    std::string status(int panel) const {
        std::lock_guard lock(mutex_);
        auto it = status_.find(panel);
        return it == status_.end() ? std::string() : it->second;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
        questions_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::vector<Message> questions_;
    std::map<int, std::string> status_;
    bool answer_ = true;
};

} // namespace ombrix

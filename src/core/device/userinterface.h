// What the device link asks of the user interface: message boxes, a Yes/No question and the
// status bar panels. The device code reports only through this interface, so it runs with
// the main window, with a recording stand-in in tests, or on a worker thread whose
// implementation hands the calls to the GUI thread.
#pragma once

#include <string>

namespace ombrix {

enum class MessageIcon { Information, Warning, Error };

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // A modal message box with one OK button; returns once the user has closed it.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;

    // A modal question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;

    // Sets the text of status bar panel `panel` of the main window (0 = connection state,
    // 1 = port and line speed, 3 = calculation state, 4 and 5 = reference voltages).
    virtual void SetStatusText(int panel, const std::string& text) = 0;
};

} // namespace ombrix

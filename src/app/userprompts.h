// What the main window asks of the user and tells them: error boxes, the save question and
// the file dialogs. A test answers in place of any of them instead of a modal window.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ombrix {

class UserPrompts {
  public:
    using MessageHandler = std::function<void(const QString& text, const QString& caption)>;
    // Answers given in place of the dialogs; an empty name is a cancelled dialog.
    struct Answers {
        std::function<bool(const QString& text, const QString& caption)> askYesNo;
        std::function<QString()> openFileName;
        std::function<QString()> saveFileName;
        std::function<QString()> exportFileName;
        std::function<QString()> chartFileName;
    };

    // Boxes and dialogs open over `window`.
    explicit UserPrompts(QWidget& window) : window_(window) {}

    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
    void setAnswers(Answers answers) { answers_ = std::move(answers); }

    // An error box (or the handler).
    void showMessage(const QString& text, const QString& caption);
    // A Yes/No question; true for Yes.
    bool askYesNo(const QString& text, const QString& caption);
    // A forms settings file to open, or to save under (the dialog asks before overwriting).
    QString openFileName();
    QString saveFileName();
    // Where to export the samples: a ".csv" or ".wav" name.
    QString exportFileName();
    // Where to save a chart as PNG, PDF or SVG; `suggested` is the name offered.
    QString chartFileName(const QString& suggested);

    // While one lives, messages go to its handler instead of a box, questions are answered No
    // and the file dialogs answer `fileName`: a remote command never opens a modal window.
    class Redirect {
      public:
        Redirect(UserPrompts& prompts, MessageHandler messages, QString fileName = {});
        ~Redirect();
        Redirect(const Redirect&) = delete;
        Redirect& operator=(const Redirect&) = delete;

      private:
        UserPrompts& prompts_;
        MessageHandler previousMessages_;
        QString previousFile_;
        bool previousActive_;
    };

  private:
    QWidget& window_;
    bool redirected_ = false;
    MessageHandler redirectMessages_;
    QString redirectFile_;
    MessageHandler messageHandler_;
    Answers answers_;
};

} // namespace ombrix

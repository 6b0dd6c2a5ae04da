// The end of the program asked from outside: SIGTERM (a shutdown, `kill`), SIGINT (Ctrl+C in
// the terminal it was started from) and SIGHUP (that terminal closed). Left to their default
// these end the process at once: a field typed into and not yet left is lost, and the device
// never gets its shut-down frames. Here each closes the main window on the GUI thread, as
// File, Exit does, and ends the event loops (a message box that is open included).
//
// The handler only writes the signal's number to a pipe, whose other end the event loop
// watches. A signal ignored when the program started (SIGHUP under nohup) stays ignored.
// There is one set of signal handlers per process: one QuitSignals at a time.
#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;
class QWidget;

namespace ombrix {

class QuitSignals : public QObject {
    Q_OBJECT
  public:
    explicit QuitSignals(QWidget& mainWindow);
    // The signals' previous actions come back.
    ~QuitSignals() override;

    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

  private:
    void received();

    QWidget& mainWindow_;
    int pipe_[2] = {-1, -1};
    std::array<struct sigaction, 3> previous_{}; // of SIGTERM, SIGINT, SIGHUP
    QSocketNotifier* notifier_ = nullptr;        // child
};

} // namespace ombrix

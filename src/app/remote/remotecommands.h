// The remote commands carried out on the open window. Every change goes the way a user's
// does: a text is typed into its field through the field's key filter (a character the filter
// drops fails the command with -224 and changes nothing), then the field is left, so its exit
// rule repairs or clamps the text and the recalculation, modified mark and undo step follow as
// for a user's edit; boxes and ticks are clicked; disabled or read-only controls refuse. A
// query answers what the control shows. Messages the window would show in a box go to the
// client's error queue and the status bar instead.
#pragma once

#include "app/remote/remotesession.h"
#include "core/remote/scpiparser.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLineEdit;

namespace ombrix {

class RemoteDevice;
class TCalcExpress;
class TOmbrix;

class RemoteCommands {
  public:
    // `reportError` shows an error in the window (the status bar); `version` is *IDN?'s.
    RemoteCommands(TOmbrix& window, RemoteDevice& device, std::string version,
                   std::function<void(const std::string&)> reportError);
    ~RemoteCommands();

    // Runs `command` for `session`: the answer of a query, nothing for a set command. Errors
    // go to the session's queue. A device command counts as pending in the session until its
    // end is reported.
    std::optional<std::string> run(const scpi::Command& command,
                                   const std::shared_ptr<RemoteSession>& session);
    // Puts an error into the session's queue and shows it.
    void fail(RemoteSession& session, scpi::Error error);

  private:
    struct Field;
    std::optional<Field> textField(const scpi::Command& c);
    std::optional<std::string> runField(const scpi::Command& c, RemoteSession& session);
    bool typeInto(const Field& field, const std::string& text, RemoteSession& session);
    // Runs `change` as a user's action and waits for the calculation it starts; the first
    // message the window would show in a box (or the calculation's) fails the command, and
    // the file dialogs answer `fileName`. The change becomes an undo step. False on a message.
    bool asUser(RemoteSession& session, const std::function<void()>& change,
                const QString& fileName = {});
    std::optional<std::string> runBox(const scpi::Command& c, RemoteSession& session);
    std::optional<std::string> runDevice(const scpi::Command& c,
                                         const std::shared_ptr<RemoteSession>& session);
    std::optional<std::string> traceData(int output, RemoteSession& session);
    void setEquation(int output, const std::string& text, RemoteSession& session);
    void fileCommand(bool load, const std::string& name, RemoteSession& session);

    TOmbrix& window_;
    RemoteDevice& device_;
    std::string version_;
    std::function<void(const std::string&)> reportError_;
    std::unique_ptr<TCalcExpress> calc_; // the equation check's own evaluator
};

} // namespace ombrix

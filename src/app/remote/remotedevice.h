// What remote control asks of the device link: the port, the connection, Send all and the
// control panel's run mask. Each command that talks to the device reports its end through
// `Done` (nothing, or the message the window would have shown), so a client's *OPC? can wait
// for it while the window stays live.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ombrix {

class RemoteDevice {
  public:
    enum class State { Disconnected, Connected, Busy };
    // Called once, on the GUI thread, when the command has ended: nothing when it succeeded,
    // otherwise what went wrong.
    using Done = std::function<void(std::optional<std::string> error)>;

    virtual ~RemoteDevice() = default;

    virtual State state() const = 0;
    // The settings dialog's port ("Simulator" or a device path).
    virtual std::string port() const = 0;
    // Sets the port as the settings dialog's OK would; the reason when it may not change now.
    virtual std::optional<std::string> setPort(const std::string& name) = 0;
    // "&Connect", "&Disconnect", "Send &all".
    virtual void connectDevice(Done done) = 0;
    virtual void disconnectDevice(Done done) = 0;
    virtual void sendAll(Done done) = 0;
    // Output `output` (0..5) in the run mask last sent; Start or Stop of its control panel row.
    virtual bool outputPlaying(int output) const = 0;
    virtual void setOutput(int output, bool on, Done done) = 0;
};

} // namespace ombrix

// The pseudo terminal ombrix-devsim serves: the master side it reads and writes, and the
// slave path the program under test opens as its serial port.
#pragma once

#include <cstddef>
#include <string>

namespace ombrix::devsim {

class PtyServer {
  public:
    PtyServer() = default;
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal in raw mode at 9600 baud. False with `error` set on failure.
    bool open(std::string& error);

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // The line speed [baud] the other side has set on the terminal (0 when unknown).
    int peerBaud() const;

    // The number of bytes the other side has written and this side not yet read.
    std::size_t waiting() const;

  private:
    int master_ = -1;
    int slaveHold_ = -1; // kept open so the master never sees a hang-up between users
    std::string slavePath_;
};

} // namespace ombrix::devsim

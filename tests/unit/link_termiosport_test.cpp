#include "core/device/portopen.h"
#include "core/device/termiosport.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A pseudo terminal: the test holds the master side, the port opens the slave path.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = ptsname(master_);
    }
    ~PseudoTerminal() {
        if (master_ >= 0)
            close(master_);
    }
    const std::string& path() const { return path_; }
    int master() const { return master_; }

    void send(const Bytes& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads exactly `count` bytes from the master side (blocking).
    Bytes receive(std::size_t count) const {
        Bytes out(count);
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = read(master_, out.data() + got, count - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
        return out;
    }

  private:
    int master_ = -1;
    std::string path_;
};

// Waits (bounded) until the port's receive queue holds `count` bytes.
// Bytes already waiting make WaitReadable return at once, so the wait polls the count.
bool waitForQueued(TermiosPort& port, std::size_t count) {
    for (int i = 0; i < 2000 && port.waitingCount() < count; ++i)
        usleep(2000);
    return port.waitingCount() >= count;
}

TEST(TermiosPort, MapsPortNamesToDevicePaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},       {"COM4", "/dev/ttyS3"},
        {"COM10", "/dev/ttyS9"},      {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/7", "/dev/pts/7"}, {"/tmp/ombrix-link", "/tmp/ombrix-link"},
        {"COMX", "/dev/COMX"},        {"COM0", "/dev/COM0"},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(TermiosPort::devicePath(name), path) << name;
}

TEST(TermiosPort, FailsOnMissingPortsAndNonTerminalsAndStaysClosed) {
    char file[] = "/tmp/ombrix-not-a-tty-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::vector<std::string> names = {"/dev/ombrix-no-such-port", "ombrix-no-such-port", "",
                                            file};
    for (const std::string& name : names) {
        TermiosPort port;
        RecordingUserInterface ui;
        EXPECT_FALSE(openPortOrReport(port, name, 4, ui)) << name;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(ui.messageTexts(),
                  std::vector<std::string>{"Niewłaściwa nazwa portu lub port jest aktywny."});
        EXPECT_FALSE(port.ClosePort());
        EXPECT_EQ(port.ReadAvailable(64), 0U);
        const Bytes b{1, 2};
        EXPECT_FALSE(port.WritePort(b));
    }
    unlink(file);
}

TEST(TermiosPort, OpensRawEightNOneAtTheTableSpeed) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.path().empty());
    const std::pair<int, speed_t> cases[] = {{0, B600},   {3, B4800}, {4, B9600},
                                             {7, B57600}, {8, B9600}, {-1, B9600}};
    for (const auto& [index, speed] : cases) {
        TermiosPort port;
        ASSERT_TRUE(port.OpenPort(pty.path(), index)) << port.lastError();
        termios tio{};
        // On Linux the master side reports the slave's settings.
        ASSERT_EQ(tcgetattr(pty.master(), &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), speed) << index;
        EXPECT_EQ(cfgetispeed(&tio), speed) << index;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0U);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | INPCK | ISTRIP | ICRNL), 0U);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0U);
        EXPECT_EQ(tio.c_oflag & OPOST, 0U);
        EXPECT_TRUE(port.ClosePort());
    }
}

TEST(TermiosPort, IsExclusiveAndClosesOnlyOnce) {
    PseudoTerminal pty;
    TermiosPort first;
    TermiosPort second;
    ASSERT_TRUE(first.OpenPort(pty.path(), 4));
    EXPECT_FALSE(first.OpenPort(pty.path(), 4));
    EXPECT_FALSE(second.OpenPort(pty.path(), 4));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(first.ClosePort());
    EXPECT_FALSE(first.ClosePort());
    EXPECT_FALSE(first.IsOpen());
    // Once closed, the port opens afresh, also for the other user.
    EXPECT_TRUE(second.OpenPort(pty.path(), 4));
    EXPECT_TRUE(second.ClosePort());
    EXPECT_TRUE(first.OpenPort(pty.path(), 4));
    EXPECT_EQ(first.PortName(), pty.path());
}

TEST(TermiosPort, ReadsAtMostTheLimitAndLeavesTheRestQueued) {
    PseudoTerminal pty;
    TermiosPort port;
    ASSERT_TRUE(port.OpenPort(pty.path(), 4));
    EXPECT_EQ(port.ReadAvailable(64), 0U); // nothing waits: no block
    Bytes data(100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    pty.send(data);
    ASSERT_TRUE(waitForQueued(port, 100));
    EXPECT_EQ(port.ReadAvailable(64), 64U);
    EXPECT_EQ(port.receiveBuffer()[0], 0);
    EXPECT_EQ(port.receiveBuffer()[63], 63);
    EXPECT_EQ(port.waitingCount(), 36U);
    // A limit above the buffer size still reads no more than 64.
    pty.send(data);
    ASSERT_TRUE(waitForQueued(port, 136));
    EXPECT_EQ(port.ReadAvailable(100), 64U);
    EXPECT_EQ(port.receiveBuffer()[0], 64); // reads fill the buffer from its start
    EXPECT_EQ(port.waitingCount(), 72U);
}

TEST(TermiosPort, WritesReachTheLineAndWaitsSeeArrivals) {
    PseudoTerminal pty;
    TermiosPort port;
    ASSERT_TRUE(port.OpenPort(pty.path(), 7));
    port.SetPortEvents();
    const Bytes frame{0xAA, 0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55};
    EXPECT_TRUE(port.WritePort(frame));
    port.FlushPort();
    EXPECT_EQ(pty.receive(12), frame);

    EXPECT_FALSE(port.WaitReadable(0));
    pty.send({0x13});
    EXPECT_TRUE(port.WaitReadable(5000));
    EXPECT_EQ(port.ReadAvailable(64), 1U);
    EXPECT_EQ(port.receiveBuffer()[0], 0x13);
    port.PurgeTransmit();
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.WaitReadable(0));
}

} // namespace
} // namespace ombrix

#include "core/device/portopen.h"
#include "core/device/protocol.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes replyBytes(std::uint8_t status, Bytes data = {}) {
    const auto r = makeReply(status, data);
    return Bytes(r.begin(), r.end());
}

// Puts a correct CRC on bytes 2..11 of a 14-byte reply.
Bytes withCrc(Bytes r) {
    CommandFrame f;
    std::copy_n(r.begin(), 12, f.bytes.begin());
    const auto t = f.trailer();
    r[12] = t[0];
    r[13] = t[1];
    return r;
}

class WaitReplyTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(port.OpenPort("COM1", 4)); }

    FakeClock clock;
    FakePort port{clock};
    RecordingUserInterface ui;
};

TEST_F(WaitReplyTest, JudgesRepliesAndShowsTheirMessage) {
    Bytes badByte2 = replyBytes(0);
    badByte2[2] = 0x01;
    Bytes badByte11 = replyBytes(0);
    badByte11[11] = 0x54;
    Bytes wrongCrc = replyBytes(0);
    wrongCrc[13] ^= 0x01;
    Bytes badFormatWrongCrc = withCrc(badByte2);
    badFormatWrongCrc[12] ^= 0x80;
    Bytes otherSync = replyBytes(0);
    otherSync[0] = 0x00;
    otherSync[1] = 0x13;
    struct Case {
        const char* name;
        Bytes reply;
        ReplyResult result;
        const char* message;
    };
    const Case cases[] = {
        {"accepted", replyBytes(0), ReplyOk, nullptr},
        {"CRC 0xDDDF", {0xAA, 0xAA, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0x55, 0xDD, 0xDF}, ReplyOk, nullptr},
        {"sync bytes not examined", otherSync, ReplyOk, nullptr},
        {"status 1", replyBytes(1), ReplyCrcInvalid, "CRC invalid!"},
        {"status 0x80", replyBytes(0x80), ReplyCrcInvalid, "CRC invalid!"},
        {"byte 2 not 0", withCrc(badByte2), ReplyBadFormat, "Invalid respond frame format!"},
        {"byte 11 not 55", withCrc(badByte11), ReplyBadFormat, "Invalid respond frame format!"},
        {"wrong CRC", wrongCrc, ReplyCrcInvalid, "CRC invalid!"},
        {"bad format, wrong CRC", badFormatWrongCrc, ReplyCrcInvalid, "CRC invalid!"},
    };
    for (const Case& c : cases) {
        ui.clear();
        port.deliver(c.reply);
        EXPECT_EQ(WaitReply(port, clock, ui, 500), c.result) << c.name;
        const auto messages = ui.messages();
        if (c.message == nullptr) {
            EXPECT_TRUE(messages.empty()) << c.name;
        } else {
            ASSERT_EQ(messages.size(), 1U) << c.name;
            EXPECT_EQ(messages[0].text, c.message);
            EXPECT_EQ(messages[0].caption, "Error");
            EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        }
        EXPECT_EQ(port.pendingCount(), 0U) << c.name;
    }
}

TEST_F(WaitReplyTest, TimesOutOnlyOnceMoreThanTheTimeOutHasPassed) {
    const std::uint64_t t0 = clock.Ticks();
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyTimeout);
    EXPECT_EQ(clock.Ticks() - t0, 501U);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Respond error: time out!"});

    // Arrivals at 500 and 501 ms are still read; at 502 ms the wait has ended.
    for (std::uint64_t delay : {500U, 501U}) {
        ui.clear();
        const std::uint64_t start = clock.Ticks();
        port.deliverAfter(delay, replyBytes(0));
        EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk) << delay;
        EXPECT_EQ(clock.Ticks() - start, delay);
    }
    ui.clear();
    port.deliverAfter(502, replyBytes(0));
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyTimeout);
    EXPECT_EQ(port.pendingCount(), 14U);
}

TEST_F(WaitReplyTest, LateReplyIsWhatTheNextWaitReads) {
    port.deliverAfter(700, replyBytes(0, {'L', 'A', 'T', 'E'}));
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyTimeout);
    EXPECT_EQ(port.pendingCount(), 14U);
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "LATE");
    port.deliverAfter(20, replyBytes(0, {'N', 'E', 'X', 'T'}));
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "NEXT");
}

TEST_F(WaitReplyTest, CollectsAReplySplitOverReads) {
    const Bytes r = replyBytes(0, {'S', 'P', 'L', 'I', 'T'});
    port.deliver(Bytes(r.begin(), r.begin() + 5));
    port.deliverAfter(40, Bytes(r.begin() + 5, r.begin() + 9));
    port.deliverAfter(90, Bytes(r.begin() + 9, r.end()));
    EXPECT_EQ(WaitReply(port, clock, ui, 300), ReplyOk);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(Bytes(port.receiveBuffer().begin(), port.receiveBuffer().begin() + 14), r);
    EXPECT_EQ(versionText(port.receiveBuffer()), "SPLIT");

    // A piece whose rest never comes is judged as it is, at the time-out.
    const std::uint64_t t0 = clock.Ticks();
    port.deliver(Bytes(r.begin(), r.begin() + 5));
    EXPECT_EQ(WaitReply(port, clock, ui, 300), ReplyCrcInvalid);
    EXPECT_EQ(clock.Ticks() - t0, 301U);
}

TEST_F(WaitReplyTest, ReadsOneReplyAndLeavesTheRestQueued) {
    Bytes two = replyBytes(0, {'O', 'N', 'E'});
    const Bytes second = replyBytes(0, {'T', 'W', 'O'});
    two.insert(two.end(), second.begin(), second.end());
    port.deliver(two);
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "ONE");
    EXPECT_EQ(port.pendingCount(), 14U);
    // The buffer beyond the reply is zero: it is cleared before every wait.
    for (std::size_t i = 14; i < kReceiveBufferSize; ++i)
        EXPECT_EQ(port.receiveBuffer()[i], 0);
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "TWO");
}

TEST_F(WaitReplyTest, TransactWaitsOnlyForCommandsWithAReply) {
    port.setResponder([](FakePort& p, std::span<const std::uint8_t> bytes) {
        if (bytes.size() == 2) // the trailer ends a frame
            p.deliverAfter(5, replyBytes(0, {'V', '1'}));
    });
    EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "V1");

    // A line-speed frame reads nothing: its reply-less exchange leaves the answer queued.
    EXPECT_EQ(Transact(port, clock, ui, lineSpeedFrame(7, false), Exchange::LineSpeed), ReplyOk);
    EXPECT_EQ(port.pendingCount(), 14U);
}

TEST_F(WaitReplyTest, ReadAvailableTakesAtMostTheLimitAndTheBuffer) {
    port.deliver(Bytes(100, 0x5A));
    EXPECT_EQ(port.ReadAvailable(64), 64U);
    EXPECT_EQ(port.pendingCount(), 36U);
    EXPECT_EQ(port.ReadAvailable(100), 36U);
    port.deliver(Bytes(100, 0x5A));
    EXPECT_EQ(port.ReadAvailable(100), 64U);
    EXPECT_EQ(port.ReadAvailable(0), 0U);
    EXPECT_EQ(port.pendingCount(), 36U);
}

TEST(OpenPortOrReport, ShowsThePortMessageOnlyWhenTheOpenFails) {
    FakeClock clock;
    FakePort port(clock);
    RecordingUserInterface ui;
    port.setOpenFails(true);
    EXPECT_FALSE(openPortOrReport(port, "COM7", 4, ui));
    EXPECT_FALSE(port.IsOpen());
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].text, "Niewłaściwa nazwa portu lub port jest aktywny.");
    EXPECT_EQ(messages[0].caption, "Błąd");
    EXPECT_EQ(port.PortName(), "COM7");

    ui.clear();
    port.setOpenFails(false);
    EXPECT_TRUE(openPortOrReport(port, "COM7", 4, ui));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.ClosePort());
}

} // namespace
} // namespace ombrix

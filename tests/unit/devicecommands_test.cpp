// The device commands as frame sequences on a scripted port and a fake clock: exact bytes,
// pauses, time-outs, messages, status texts and enabled controls.
#include "commands_testkit.h"

#include "core/device/portopen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ombrix {
namespace {

using namespace testkit;
using Opens = std::vector<std::pair<std::string, int>>;
using Texts = std::vector<std::string>;

const char* const kTimeOut = "Respond error: time out!";

DeviceSettings settingsAt(int baudIndex, std::string port = "COM1") {
    DeviceSettings s;
    s.BaudIndex = baudIndex;
    s.PortName = std::move(port);
    return s;
}

Writes connectWrites(std::uint8_t speed) {
    Writes w = frameWrites(systemFrame(SysCheck));
    append(w, frameWrites(lineSpeedFrame(speed, false)));
    append(w, frameWrites(systemFrame(SysCheck)));
    return w;
}

Writes shutdownWrites() {
    Writes w = frameWrites(runMaskFrame(0, true));
    append(w, frameWrites(sweepOffFrame()));
    append(w, frameWrites(lineSpeedFrame(kStartBaudIndex, true)));
    return w;
}

TEST(ConnectCommand, TestsSwitchesSpeedReopensAndTestsAgain) {
    struct Case {
        int baudIndex;
        std::uint8_t sentSpeed;
    };
    for (const Case c : {Case{6, 6}, Case{0, 0}, Case{-1, 0xFF}}) {
        Rig rig;
        rig.queueGoodReplies(2);
        rig.commands.Connect(settingsAt(c.baudIndex, "ttyS3"));
        EXPECT_EQ(rig.port.writes(), connectWrites(c.sentSpeed)) << c.baudIndex;
        // The reopen passes the selected index on; the port opens an unknown one at 9600.
        EXPECT_EQ(rig.port.opens(), (Opens{{"ttyS3", 4}, {"ttyS3", c.baudIndex}}));
        EXPECT_EQ(rig.port.eventSetups(), 2);
        EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{300, 100, 300}));
        EXPECT_TRUE(rig.port.IsOpen());
        EXPECT_EQ(rig.ui.status(0), kConnectedText);
        EXPECT_EQ(rig.buttons.calls(), std::vector<LinkControls>{connectedControls()});
        EXPECT_TRUE(rig.ui.messages().empty());
    }
}

TEST(ConnectCommand, FailedTestsLeaveThePortClosed) {
    // The second test times out: "Disconnected", Connect enabled again.
    Rig second;
    second.queueGoodReplies(1);
    second.commands.Connect(settingsAt(5));
    EXPECT_FALSE(second.port.IsOpen());
    EXPECT_EQ(second.ui.messageTexts(), Texts{kTimeOut});
    EXPECT_EQ(second.ui.status(0), kDisconnectedText);
    EXPECT_EQ(second.buttons.calls(), std::vector<LinkControls>{connectFailedControls()});
    EXPECT_FALSE(connectFailedControls().panelButtons.has_value());

    // The first test fails: no line-speed frame, the status bar left as it was.
    Rig first;
    first.commands.Connect(settingsAt(5));
    EXPECT_EQ(first.port.writes(), frameWrites(systemFrame(SysCheck)));
    EXPECT_FALSE(first.port.IsOpen());
    EXPECT_EQ(first.ui.status(0), "");
    EXPECT_TRUE(first.buttons.calls().empty());

    // A device whose status byte is not 0 answers the test: the port stays open but the
    // test fails.
    Rig refused;
    refused.scriptReplies({replyWithStatus(1)});
    refused.commands.Connect(settingsAt(5));
    EXPECT_FALSE(refused.port.IsOpen());
    EXPECT_EQ(refused.ui.messageTexts(), Texts{"CRC invalid!"});

    // An open that fails is reported and ends the command.
    Rig noPort;
    noPort.port.setOpenFails(true);
    noPort.commands.Connect(settingsAt(5));
    EXPECT_TRUE(noPort.port.writes().empty());
    EXPECT_EQ(noPort.ui.messageTexts(), Texts{kOpenFailedText});
}

TEST(DisconnectCommand, ReturnsTheDeviceTo9600AndCloses) {
    Rig rig;
    rig.connectDirectly(6);
    rig.commands.RunMask = 0x21;
    rig.queueGoodReplies(2);
    rig.commands.Disconnect();
    EXPECT_EQ(rig.port.writes(), shutdownWrites());
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{100, 100, 100}));
    EXPECT_EQ(rig.commands.RunMask, 0U);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.ui.status(0), "Disonnected");
    EXPECT_EQ(rig.buttons.calls(), std::vector<LinkControls>{disconnectedControls()});
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST(ShutdownFrames, ThreeFramesWhileConnectedNothingOtherwise) {
    Rig rig;
    rig.connectDirectly(6);
    const std::uint64_t t0 = rig.clock.Ticks();
    rig.commands.FormDestroy(); // a silent device
    EXPECT_EQ(rig.port.writes(), shutdownWrites());
    EXPECT_EQ(rig.ui.messageTexts(), (Texts{kTimeOut, kTimeOut}));
    // No pause after the line-speed frame; each time-out ends once 500 ms are exceeded, and
    // the frame after it waits 500 ms more for the late reply it must not take for its own.
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<int>{100, 100, 0}));
    EXPECT_EQ(rig.clock.Ticks() - t0, 100U + 501U + 500U + 100U + 501U + 500U);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.ui.status(0), "");
    EXPECT_TRUE(rig.buttons.calls().empty());

    Rig closed;
    closed.commands.FormDestroy();
    EXPECT_TRUE(closed.port.writes().empty());
    EXPECT_TRUE(closed.ui.messages().empty());
    EXPECT_TRUE(closed.port.opens().empty());
}

TEST(TestConnectionCommand, WhileNotConnectedOpensTestsAndClosesWhateverTheOutcome) {
    struct Case {
        int replies;
        const char* message;
    };
    for (const Case c : {Case{1, kConnectionOkText}, Case{0, kNotConnectedText}}) {
        Rig rig;
        rig.queueGoodReplies(c.replies);
        rig.commands.TestConnection(settingsAt(7, "ttyUSB0"));
        EXPECT_EQ(rig.port.opens(), (Opens{{"ttyUSB0", 4}}));
        EXPECT_EQ(rig.port.writes(), frameWrites(systemFrame(SysCheck)));
        EXPECT_FALSE(rig.port.IsOpen()) << c.message;
        EXPECT_EQ(rig.ui.messageTexts().back(), c.message);
    }
}

TEST(TestConnectionCommand, WhileConnectedStopsOutputsOrDisconnects) {
    Rig good;
    good.connectDirectly();
    good.commands.RunMask = 3;
    good.queueGoodReplies(2);
    good.commands.TestConnection(settingsAt(7));
    Writes expected = frameWrites(systemFrame(SysCheck));
    append(expected, frameWrites(runMaskFrame(0, false)));
    EXPECT_EQ(good.port.writes(), expected);
    EXPECT_EQ(good.ui.messageTexts(), Texts{kConnectionOkText});
    EXPECT_EQ(good.ui.messages()[0].icon, MessageIcon::Information);
    EXPECT_TRUE(good.port.IsOpen());
    EXPECT_EQ(good.commands.RunMask, 0U);

    // A failed test closes the port; Disconnect then talks to a closed port.
    Rig bad;
    bad.connectDirectly();
    bad.commands.TestConnection(settingsAt(7));
    EXPECT_EQ(bad.port.writes(), frameWrites(systemFrame(SysCheck)));
    EXPECT_EQ(bad.ui.messageTexts(), (Texts{kTimeOut, kNotConnectedText, kTimeOut, kTimeOut}));
    EXPECT_EQ(bad.ui.status(0), "Disonnected");
    EXPECT_EQ(bad.buttons.calls(), std::vector<LinkControls>{disconnectedControls()});
}

TEST(VersionCommand, ShowsTheNonZeroCharactersOfBytes4To10) {
    const Bytes data = {'V', 0, '2', '.', 0, '1', 'a'};
    // Not connected: test, ask, close.
    Rig rig;
    rig.scriptReplies({goodReply(), goodReply(data)});
    rig.commands.ShowDSPVersion(settingsAt(4));
    Writes expected = frameWrites(systemFrame(SysCheck));
    append(expected, frameWrites(systemFrame(SysVersion)));
    EXPECT_EQ(rig.port.writes(), expected);
    EXPECT_EQ(rig.ui.messageTexts(), Texts{"DSP program version: V2.1a"});
    EXPECT_FALSE(rig.port.IsOpen());

    Rig absent;
    absent.commands.ShowDSPVersion(settingsAt(4));
    EXPECT_EQ(absent.ui.messageTexts(), (Texts{kTimeOut, kNotConnectedText}));
    EXPECT_FALSE(absent.port.IsOpen());

    // Connected: stop the outputs and ask, without a test; no version after a bad reply.
    Rig connected;
    connected.connectDirectly();
    connected.scriptReplies({goodReply(), replyWithStatus(2)});
    connected.commands.ShowDSPVersion(settingsAt(4));
    expected = frameWrites(runMaskFrame(0, false));
    append(expected, frameWrites(systemFrame(SysVersion)));
    EXPECT_EQ(connected.port.writes(), expected);
    EXPECT_EQ(connected.ui.messageTexts(), Texts{"CRC invalid!"});
    EXPECT_TRUE(connected.port.IsOpen());
}

TEST(ResetCommand, ClosesWhenNotConnectedAndReconnectsAfterAGoodReset) {
    for (int replies : {0, 1, 2}) {
        Rig rig;
        rig.queueGoodReplies(replies);
        rig.commands.ResetDSP(settingsAt(6));
        EXPECT_FALSE(rig.port.IsOpen()) << replies;
        Writes expected = frameWrites(systemFrame(SysCheck));
        if (replies > 0)
            append(expected, frameWrites(systemFrame(SysReset)));
        EXPECT_EQ(rig.port.writes(), expected) << replies;
    }

    // Connected and reset well: close, then Connect from 9600 baud.
    Rig good;
    good.connectDirectly(6);
    good.queueGoodReplies(5);
    good.commands.ResetDSP(settingsAt(6));
    Writes expected = frameWrites(systemFrame(SysCheck));
    append(expected, frameWrites(runMaskFrame(0, false)));
    append(expected, frameWrites(systemFrame(SysReset)));
    append(expected, connectWrites(6));
    EXPECT_EQ(good.port.writes(), expected);
    EXPECT_EQ(good.port.opens(), (Opens{{"COM1", 6}, {"COM1", 4}, {"COM1", 6}}));
    EXPECT_TRUE(good.port.IsOpen());
    EXPECT_EQ(good.ui.status(0), kConnectedText);

    // A reset that is not acknowledged leaves the link connected.
    Rig noAck;
    noAck.connectDirectly(6);
    noAck.queueGoodReplies(2);
    noAck.commands.ResetDSP(settingsAt(6));
    EXPECT_TRUE(noAck.port.IsOpen());
    EXPECT_EQ(noAck.ui.messageTexts(), Texts{kTimeOut});
    EXPECT_EQ(noAck.port.opens().size(), 1U);

    // A failed test while connected: "Device not connected!", then Disconnect.
    Rig gone;
    gone.connectDirectly(6);
    gone.commands.ResetDSP(settingsAt(6));
    EXPECT_EQ(gone.ui.messageTexts()[1], kNotConnectedText);
    EXPECT_EQ(gone.ui.status(0), "Disonnected");
}

TEST(ClosingDown, ACommandEndsAfterTheExchangeUnderWay) {
    // The window starts closing while the first frame of each command is on the line.
    struct Case {
        const char* name;
        bool connected;
        std::function<void(DeviceCommands&)> run;
    };
    const Case cases[] = {
        {"connect", false, [](DeviceCommands& c) { c.Connect(settingsAt(6)); }},
        {"test", true, [](DeviceCommands& c) { c.TestConnection(settingsAt(6)); }},
        {"version", true, [](DeviceCommands& c) { c.ShowDSPVersion(settingsAt(6)); }},
        {"reset", true, [](DeviceCommands& c) { c.ResetDSP(settingsAt(6)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.connected)
            rig.connectDirectly(6);
        rig.answerLikeTheDevice();
        rig.port.setResponder([&rig](FakePort& p, std::span<const std::uint8_t> bytes) {
            rig.commands.ClosingDown = true;
            rig.device.receive(bytes);
            rig.answer(p);
        });
        c.run(rig.commands);
        // One frame and its reply; the port as that exchange left it, for the shut-down frames.
        EXPECT_EQ(rig.port.writes().size(), 2U); // the frame and its trailer
        EXPECT_TRUE(rig.port.IsOpen());
        EXPECT_TRUE(rig.ui.messages().empty());
    }
}

TEST(ChangeFrequencyCommand, SendsTheTimingWordsOfAPositiveFrequency) {
    Rig rig;
    rig.connectDirectly();
    rig.queueGoodReplies(1);
    rig.commands.ChangeFrequency("50", "8192", DeviceSettings{}, '.');
    EXPECT_EQ(rig.port.writes(), frameWrites(frequencyFrame({1, 1, 68})));
    EXPECT_EQ(rig.clock.sleeps(), std::vector<int>{100});

    // A comma separator, and a slow frequency that needs the outer loop.
    rig.port.clearWrites();
    rig.queueGoodReplies(1);
    rig.commands.ChangeFrequency("1,0", "700", DeviceSettings{}, ',');
    EXPECT_EQ(rig.port.writes(), frameWrites(frequencyFrame({3, 16383, 7964})));

    // 0, a negative frequency and an empty text send nothing.
    rig.port.clearWrites();
    for (const char* text : {"0", "-5", ""})
        rig.commands.ChangeFrequency(text, "1000", DeviceSettings{}, '.');
    EXPECT_TRUE(rig.port.writes().empty());
    EXPECT_TRUE(rig.ui.messages().empty());

    // Faster than the device can play: refused with a message, nothing wrapped and sent.
    rig.commands.ChangeFrequency("100000", "8192", DeviceSettings{}, '.');
    EXPECT_TRUE(rig.port.writes().empty());
    ASSERT_EQ(rig.ui.messages().size(), 1U);
    EXPECT_NE(rig.ui.messages()[0].text.find("too high"), std::string::npos);

    // The quartz of the settings counts: 40 MHz halves the cycle time.
    DeviceSettings fast;
    fast.Quartz = "40";
    rig.queueGoodReplies(1);
    rig.commands.ChangeFrequency("50", "8192", fast, '.');
    const auto t = timingWords(50, 8192, 40, 29);
    EXPECT_EQ(rig.port.writes(), frameWrites(frequencyFrame(t.words)));
}

TEST(ChangeReferenceCommand, SendsBothReferenceCodesOrRefusesUnreadableSettings) {
    Rig rig;
    rig.connectDirectly();
    rig.queueGoodReplies(1);
    DeviceSettings s;
    s.VRef2 = "2048";
    rig.commands.ChangeReference(s);
    EXPECT_EQ(rig.port.writes(), frameWrites(referenceFrame(0x1FFF, 0x0FFF)));
    EXPECT_EQ(rig.clock.sleeps(), std::vector<int>{100});

    rig.port.clearWrites();
    s.VRef1 = "40,5";
    rig.commands.ChangeReference(s);
    EXPECT_TRUE(rig.port.writes().empty());
    EXPECT_EQ(rig.ui.messageTexts(), Texts{"Vref_1 in the settings is not a whole number."});
}

TEST(PanelCommands, RunMaskAndFrequencyUseTheShortWait) {
    Rig rig;
    rig.connectDirectly();
    const std::uint64_t t0 = rig.clock.Ticks();
    EXPECT_EQ(rig.commands.SendPanelRunMask(0x13), ReplyTimeout);
    EXPECT_EQ(rig.port.writes(), frameWrites(runMaskFrame(0x13, false)));
    EXPECT_EQ(rig.clock.Ticks() - t0, 100U + 301U);
    rig.port.clearWrites();
    rig.queueGoodReplies(1);
    EXPECT_TRUE(rig.commands.SendPanelFrequency(50, 8192, DeviceSettings{}));
    EXPECT_EQ(rig.port.writes(), frameWrites(frequencyFrame({1, 1, 68})));
    EXPECT_FALSE(rig.commands.SendPanelFrequency(1e6, 8192, DeviceSettings{}));
}

TEST(DeviceNumbers, ReadsWholeNumbersAndNamesTheFirstBadField) {
    struct Case {
        const char* vref1;
        const char* quartz;
        const char* instructions;
        const char* error; // nullptr: accepted
    };
    const Case cases[] = {
        {"4096", "20", "29", nullptr},
        {"1", "1", "0", nullptr},
        {"", "20", "29", "Vref_1 in the settings is not a whole number."},
        {"0", "20", "29", "Vref_1 in the settings is too small."},
        {"4096", "2.5", "29", "ADSP2181 quartz in the settings is not a whole number."},
        {"4096", "0", "29", "ADSP2181 quartz in the settings is too small."},
        {"4096", "20", "-1", "Number of instructions in the settings is too small."},
    };
    for (const Case& c : cases) {
        DeviceSettings s;
        s.VRef1 = c.vref1;
        s.Quartz = c.quartz;
        s.Instructions = c.instructions;
        std::string error;
        const auto n = readDeviceNumbers(s, error);
        EXPECT_EQ(n.has_value(), c.error == nullptr) << c.vref1 << c.quartz << c.instructions;
        if (c.error) {
            EXPECT_EQ(error, c.error);
        }
    }
}

} // namespace
} // namespace ombrix

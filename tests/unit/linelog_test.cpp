// The line recorder at the port's seam: frames written in pieces become one entry each, replies
// carry their judgement and time, failures are marked, the log keeps its newest entries, and
// the image of a real device takes only what the device acknowledged.
#include "core/device/linelog.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Answer { Ok, Silent, BadCrc };

struct Line {
    FakeClock clock;
    FakePort port{clock};
    RecordingUserInterface ui;
    LineRecorder recorder{clock};
    Answer answer = Answer::Ok;
    bool writingWords = false; // a block's data words are 2-byte writes too

    Line() {
        port.setLineObserver(&recorder);
        port.OpenPort("COM1", kStartBaudIndex);
        // Answers every trailer (the last write of a frame or block) after 20 ms.
        port.setResponder([this](FakePort& p, std::span<const std::uint8_t> bytes) {
            if (bytes.size() != kTrailerSize || writingWords || answer == Answer::Silent)
                return;
            auto reply = makeReply(0);
            if (answer == Answer::BadCrc)
                reply[13] ^= 1;
            p.deliverAfter(20, Bytes(reply.begin(), reply.end()));
        });
    }
    ReplyResult block(std::uint8_t output, const std::vector<std::uint16_t>& codes) {
        BlockWriter writer(port, clock);
        writer.writeHeader(samplesHeader(output, 0, static_cast<std::uint16_t>(codes.size()), 1));
        writingWords = true;
        for (std::uint16_t c : codes)
            writer.writeWord(c);
        writingWords = false;
        return writer.finish(ui);
    }
};

TEST(LineRecorder, FramesRepliesAndFailuresBecomeOneEntryEach) {
    Line line;
    line.recorder.setLogging(true);
    line.recorder.setContext(20, 29);
    struct Case {
        Answer answer;
        const char* status;
        bool failure;
    };
    for (const Case& c : {Case{Answer::Ok, "OK", false}, Case{Answer::Silent, "Time-out", true},
                          Case{Answer::BadCrc, "CRC invalid", true}}) {
        SCOPED_TRACE(c.status);
        line.recorder.clear();
        const std::uint64_t cursor = line.recorder.recorded();
        line.answer = c.answer;
        Transact(line.port, line.clock, line.ui, referenceFrame(8191, 4095), Exchange::Command);
        const auto e = line.recorder.entriesSince(cursor);
        ASSERT_EQ(e.size(), 2u);
        EXPECT_EQ(e[0].command, "CmdReference");
        EXPECT_EQ(e[0].meaning, "Reference 8191 / 4095");
        EXPECT_EQ(e[0].direction, LineDirection::Sent);
        EXPECT_EQ(e[1].direction, LineDirection::Received);
        EXPECT_EQ(e[1].status, c.status);
        EXPECT_EQ(e[1].failure, c.failure);
        // The reply came during the 100 ms pause; none came in the 500 ms after it.
        EXPECT_EQ(e[1].tookMs, c.answer == Answer::Silent ? 601 : 100);
    }

    // A block written word by word is one entry holding its codes; the frequency after it is
    // decoded with its sample count.
    line.answer = Answer::Ok;
    line.recorder.clear();
    ASSERT_EQ(line.block(1, {0x1000, 0x1FFF, 0x0000}), ReplyOk);
    const TimingWords words = timingWords(2500, 3, 20, 29).words;
    Transact(line.port, line.clock, line.ui, frequencyFrame(words), Exchange::Command);
    // A stray byte waiting before the next frame is thrown away and shown.
    line.port.deliver({0x3C});
    Transact(line.port, line.clock, line.ui, runMaskFrame(0x03, false), Exchange::Command);
    const auto e = line.recorder.entries();
    ASSERT_EQ(e.size(), 7u);
    EXPECT_EQ(e[0].meaning.substr(0, 45), "Samples output 2, N 3, mask 0x01; 3 words, CR");
    EXPECT_EQ(e[0].words, (std::vector<std::uint16_t>{0x1000, 0x1FFF, 0x0000}));
    // Played with the block's three samples: within a few hundred ppm of what was asked.
    EXPECT_NEAR(std::stod(e[2].meaning.substr(10)), 2500, 1) << e[2].meaning;
    EXPECT_EQ(e[4].command, "Stray bytes");
    EXPECT_EQ(e[4].meaning, "1 discarded: 3C");
    EXPECT_TRUE(e[4].failure);
    EXPECT_EQ(e[5].meaning, "Run mask 0x03");
}

TEST(LineRecorder, SwitchedOnMidBlockLetsItsTailPassAndTakesTheNextFrameWhole) {
    Line line;
    BlockWriter writer(line.port, line.clock);
    writer.writeHeader(samplesHeader(0, 0, 2, 1));
    line.recorder.setLogging(true);
    line.writingWords = true;
    writer.writeWord(0x1000);
    writer.writeWord(0x1001);
    line.writingWords = false;
    ASSERT_EQ(writer.finish(line.ui), ReplyOk);
    Transact(line.port, line.clock, line.ui, runMaskFrame(0x01, false), Exchange::Command);
    std::vector<std::string> commands;
    for (const LineEntry& e : line.recorder.entries())
        commands.push_back(e.command);
    EXPECT_EQ(commands, (std::vector<std::string>{"Reply", "CmdRunMask", "Reply"}));
}

TEST(LineRecorder, KeepsTheNewestEntriesAndNothingWhileOff) {
    Line line;
    const Bytes stray{0x01};
    line.recorder.BytesDiscarded(stray);
    EXPECT_EQ(line.recorder.recorded(), 0u);
    line.recorder.setLogging(true);
    for (std::size_t k = 0; k < kLineLogCapacity + 5; ++k) {
        line.clock.advance(1);
        line.recorder.BytesDiscarded(stray);
    }
    const auto all = line.recorder.entries();
    ASSERT_EQ(all.size(), kLineLogCapacity);
    EXPECT_EQ(all.front().timeMs, line.clock.Ticks() - kLineLogCapacity + 1);
    EXPECT_EQ(line.recorder.entriesSince(line.recorder.recorded() - 2).size(), 2u);
}

TEST(LineRecorder, ImageHoldsWhatTheDeviceAcknowledged) {
    Line line;
    line.recorder.setImaging(true);
    ASSERT_EQ(line.block(2, {0x1100, 0x0F00}), ReplyOk);
    line.answer = Answer::BadCrc;
    Transact(line.port, line.clock, line.ui, referenceFrame(100, 200), Exchange::Command);
    line.answer = Answer::Silent;
    line.block(0, {0x1234});
    const SimState image = line.recorder.sentImage();
    EXPECT_EQ(image.samples[2], (std::vector<std::uint16_t>{0x1100, 0x0F00}));
    EXPECT_TRUE(image.samples[0].empty());
    EXPECT_EQ(image.referenceCode1, SimState{}.referenceCode1);
    EXPECT_TRUE(line.recorder.entries().empty()); // the log itself was off
}

} // namespace
} // namespace ombrix

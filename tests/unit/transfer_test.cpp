// The sample transfer on a scripted port and a fake clock: the blocks with their ordinals and
// mask, the frames around them, Stop, failed replies, the sweep table and the refusals that
// come before anything is sent.
#include "commands_testkit.h"

#include "core/device/crc16.h"
#include "core/device/protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ombrix {
namespace {

using namespace testkit;
using Words = std::vector<std::uint16_t>;

// A short period per output: sample j of output k is (k + 1) x 0.1 V x (j - 2).
TransferInput inputFor(std::initializer_list<int> activeOutputs, int samples = 5) {
    TransferInput in;
    in.general.NumOfSam = std::to_string(samples);
    in.general.Freq = "50";
    in.general.Active = {true, false, false, false, false, false};
    for (int k : activeOutputs)
        in.general.Active[static_cast<std::size_t>(k - 1)] = true;
    for (int k = 0; k < kOutputCount; ++k)
        for (int j = 0; j < samples; ++j)
            in.samples[static_cast<std::size_t>(k)].push_back((k + 1) * 0.1 * (j - 2));
    return in;
}

TransferPlan planOf(const TransferInput& in) {
    std::string error;
    const auto plan = planTransfer(in, error);
    EXPECT_TRUE(plan.has_value()) << error;
    return plan.value_or(TransferPlan{});
}

// The frames of a write list: a plain frame is 12 bytes then a 2-byte trailer; a block
// header is followed by 2-byte words (or 6-byte sweep steps) up to its trailer, which the
// caller tells apart by the declared count (a stopped block is shorter).
std::vector<CommandFrame> headersIn(const Writes& writes) {
    std::vector<CommandFrame> frames;
    for (const Bytes& w : writes)
        if (w.size() == kFrameSize && w[0] == 0xAA && w[1] == 0xAA && w[11] == 0x55)
            frames.push_back(
                frameFromBytes(std::span<const std::uint8_t, kFrameSize>(w.data(), kFrameSize)));
    return frames;
}

std::vector<std::uint8_t> codesOf(const std::vector<CommandFrame>& frames) {
    std::vector<std::uint8_t> codes;
    for (const auto& f : frames)
        codes.push_back(f.code());
    return codes;
}

class TransferTest : public ::testing::Test {
  protected:
    void run(const TransferInput& in) {
        rig.connectDirectly();
        SendThread(rig.commands, progress, in, planOf(in));
    }
    Rig rig;
    RecordingProgress progress;
};

TEST_F(TransferTest, OneBlockPerActiveOutputWithOrdinalAndMask) {
    rig.answerLikeTheDevice();
    const TransferInput in = inputFor({1, 3, 6});
    run(in);
    const auto frames = headersIn(rig.port.writes());
    ASSERT_EQ(codesOf(frames),
              (std::vector<std::uint8_t>{CmdRunMask, CmdSweep, CmdSamples, CmdSamples, CmdSamples,
                                         CmdFrequency, CmdReference, CmdSweep}));
    const int outputs[] = {0, 2, 5};
    for (int b = 0; b < 3; ++b) {
        const CommandFrame& h = frames[static_cast<std::size_t>(2 + b)];
        EXPECT_EQ(h.payloadByte(0), outputs[b]);
        EXPECT_EQ(h.payloadByte(1), b);
        EXPECT_EQ(h.payloadWord(2), 5);
        EXPECT_EQ(h.payloadByte(4), 0x25);
    }
    // Every block arrived intact: the device holds the codes of the store.
    const TransferPlan plan = planOf(in);
    const SimState& s = rig.device.state();
    EXPECT_EQ(s.framesRejected, 0U);
    EXPECT_EQ(s.activeMask, 0x25);
    for (int k : outputs)
        EXPECT_EQ(s.samples[static_cast<std::size_t>(k)], sampleWords(in, plan, k)) << k;
    EXPECT_TRUE(s.samples[1].empty());
    EXPECT_EQ(s.timing, timingWords(50, 5, 20, 29).words);
    EXPECT_EQ(s.referenceCode1, 0x1FFF);
    EXPECT_EQ(s.sweepMode, 0);
    EXPECT_TRUE(rig.ui.messages().empty());
    // Progress: N + K + 1 + N per further output, one step per word.
    EXPECT_EQ(progress.max, 5 + 0 + 1 + 10);
    EXPECT_EQ(progress.steps, 15);
    // The outputs stay stopped; the end enables the link for the control panel.
    EXPECT_EQ(rig.commands.RunMask, 0U);
    EXPECT_EQ(rig.buttons.calls(),
              (std::vector<LinkControls>{transferRunningControls(), afterTransferControls(true)}));
    EXPECT_EQ(rig.port.purgeCount(), 1);
    EXPECT_FALSE(rig.commands.StopRequested);
}

TEST_F(TransferTest, WordsGoOutOneWriteEachAndCodesFollowTheirReference) {
    rig.answerLikeTheDevice();
    TransferInput in = inputFor({3}, 4);
    in.settings.VRef2 = "2048";
    in.samples[2] = {0.0, -0.0005, 1.0, 5.0}; // output 3: half the step of output 1
    in.samples[0] = {0.0, 1.0};               // output 1 holds fewer points than N
    run(in);
    const Writes w = rig.port.writes();
    // Stop outputs (2 writes), sweep off (2), then header, 4 words, trailer.
    ASSERT_GE(w.size(), 4U + 6U);
    EXPECT_EQ(w[4].size(), 12U);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(w[5 + static_cast<std::size_t>(j)].size(), 2U);
    const double step1 = 4096.0 / 1000 / 4096;
    const Words out1 = {0x1000, static_cast<std::uint16_t>(0x1000 + std::trunc(1.0 / step1)),
                        0x1000, 0x1000};
    EXPECT_EQ(rig.device.state().samples[0], out1);
    // Output 3 uses VRef2 = 2048 mV: 0.5 mV per code, -0.5 mV is one code below zero, and
    // 5 V is beyond the converter's range.
    EXPECT_EQ(rig.device.state().samples[2], (Words{0x1000, 0x0FFF, 0x1000 + 2000, 0x1FFF}));
    EXPECT_EQ(rig.device.state().referenceCode2, 4095);
}

TEST_F(TransferTest, SendSamplesSendsNoFrequencyOrReferenceButAlwaysASweepFrame) {
    rig.answerLikeTheDevice();
    TransferInput in = inputFor({});
    in.sendAll = false;
    run(in);
    const auto frames = headersIn(rig.port.writes());
    EXPECT_EQ(codesOf(frames),
              (std::vector<std::uint8_t>{CmdRunMask, CmdSweep, CmdSamples, CmdSweep}));
    EXPECT_EQ(frames.back(), sweepOffFrame());
    EXPECT_EQ(frames[2].payloadByte(4), 0x01);
    EXPECT_EQ(rig.device.state().repliesSent, 4U);
}

TEST_F(TransferTest, AZeroFrequencySkipsOnlyTheFrequencyFrame) {
    rig.answerLikeTheDevice();
    TransferInput in = inputFor({});
    in.general.Freq = "0";
    run(in);
    EXPECT_EQ(
        codesOf(headersIn(rig.port.writes())),
        (std::vector<std::uint8_t>{CmdRunMask, CmdSweep, CmdSamples, CmdReference, CmdSweep}));
}

TEST_F(TransferTest, AFailedBlockReplySkipsTheRemainingOutputs) {
    rig.answerLikeTheDevice();
    rig.device.faults().stopAfter = 2; // stop outputs, sweep off, then silence
    run(inputFor({2, 4}));
    const auto frames = headersIn(rig.port.writes());
    EXPECT_EQ(codesOf(frames), (std::vector<std::uint8_t>{CmdRunMask, CmdSweep, CmdSamples,
                                                          CmdFrequency, CmdReference, CmdSweep}));
    // The block, frequency, reference and sweep replies all time out.
    EXPECT_EQ(rig.ui.messageTexts(), std::vector<std::string>(4, "Respond error: time out!"));
    EXPECT_FALSE(rig.commands.StopRequested);
    EXPECT_EQ(rig.buttons.calls().back(), afterTransferControls(true));
}

TEST_F(TransferTest, ARefusedBlockStopsTheTransferThereAfterANoisyReply) {
    rig.answerLikeTheDevice();
    // Line noise before the sweep-off reply costs nothing; then the second block arrives with a
    // bad CRC.
    rig.device.faults().noiseEvery = 2;
    progress.onStep = [this](int step) {
        if (step == 6) { // the first word of the second block
            rig.device.faults().noiseEvery = 0;
            rig.device.faults().garble = 1;
        }
    };
    run(inputFor({2, 3, 4}));
    std::vector<int> blocks;
    for (const CommandFrame& f : headersIn(rig.port.writes()))
        if (f.code() == CmdSamples)
            blocks.push_back(f.payloadByte(0));
    EXPECT_EQ(blocks, (std::vector<int>{0, 1}));
    EXPECT_EQ(rig.device.state().samples[0].size(), 5U);
    EXPECT_TRUE(rig.device.state().samples[1].empty());
    const auto texts = rig.ui.messageTexts();
    ASSERT_EQ(texts.size(), 4U); // the block, the three end frames
    EXPECT_EQ(texts[0], "CRC invalid!");
}

TEST_F(TransferTest, StopDuringTheFirstBlockStillSendsTrailerFrequencyReferenceAndSweep) {
    rig.queueGoodReplies(8);
    TransferInput in = inputFor({2, 5}, 10);
    progress.onStep = [this](int step) {
        if (step == 3)
            rig.commands.StopRequested = true;
    };
    run(in);
    const Writes w = rig.port.writes();
    // Stop outputs, sweep off, header, three words, trailer, frequency, reference, sweep.
    ASSERT_EQ(w.size(), 2U + 2U + 1U + 3U + 1U + 2U + 2U + 2U);
    const TransferPlan plan = planOf(in);
    const Words words = sampleWords(in, plan, 0);
    const CommandFrame header = samplesHeader(0, 0, 10, 0x13);
    EXPECT_EQ(w[4], Bytes(header.bytes.begin(), header.bytes.end()));
    std::uint16_t crc = header.crc();
    for (int j = 0; j < 3; ++j) {
        const auto b = wordBytes(words[static_cast<std::size_t>(j)]);
        EXPECT_EQ(w[5 + static_cast<std::size_t>(j)], Bytes(b.begin(), b.end()));
        crc = crc16Step(crc, words[static_cast<std::size_t>(j)]);
    }
    // The trailer carries the CRC of the header and the three words sent.
    const auto trailer = wordBytes(crc);
    EXPECT_EQ(w[8], Bytes(trailer.begin(), trailer.end()));
    EXPECT_EQ(codesOf(headersIn(w)),
              (std::vector<std::uint8_t>{CmdRunMask, CmdSweep, CmdSamples, CmdFrequency,
                                         CmdReference, CmdSweep}));
    EXPECT_EQ(progress.steps, 3);
    EXPECT_FALSE(rig.commands.StopRequested);
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST_F(TransferTest, SweepTableWordsForASmallSweep) {
    rig.answerLikeTheDevice();
    TransferInput in = inputFor({}, 1000);
    in.general.SwapEnabled = true;
    in.general.SwapCyclic = true;
    in.general.StartFreq = "100";
    in.general.StopFreq = "300";
    in.general.Step = "100";
    in.general.Time = "250";
    run(in);
    const auto frames = headersIn(rig.port.writes());
    ASSERT_FALSE(frames.empty());
    const CommandFrame& h = frames.back();
    EXPECT_EQ(h, sweepHeader(SweepCyclic, 40000, 250, 9));
    // 100, 200 and 300 Hz with 1000 samples on 20 MHz and 29 instructions.
    const Words table = {1, 1, 371, 1, 1, 171, 1, 1, 104};
    EXPECT_EQ(rig.device.state().sweepTable, table);
    EXPECT_EQ(rig.device.state().sweepMode, SweepCyclic);
    EXPECT_EQ(rig.device.state().framesRejected, 0U);
    // The three steps go out as three 6-byte writes.
    int stepWrites = 0;
    for (const Bytes& w : rig.port.writes())
        stepWrites += w.size() == 6 ? 1 : 0;
    EXPECT_EQ(stepWrites, 3);
    EXPECT_EQ(progress.max, 1000 + 2 + 1);
    EXPECT_EQ(progress.steps, 1000 + 3);
    // The frequency controls of the panel stay as they are while Freq is disabled.
    EXPECT_EQ(rig.buttons.calls().back(), afterTransferControls(false));
    EXPECT_FALSE(afterTransferControls(false).panelFrequency.has_value());
}

TEST(TransferPlanning, RefusesBadInputBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        void (*edit)(TransferInput&);
        const char* errorPart;
    };
    const Case cases[] = {
        {"end below start",
         [](TransferInput& in) {
             in.general.StartFreq = "300";
             in.general.StopFreq = "100";
         },
         "below its start"},
        {"table too long",
         [](TransferInput& in) {
             in.general.StartFreq = "1";
             in.general.StopFreq = "30000";
             in.general.Step = "1";
         },
         "too many steps"},
        {"step below 1 used as 1",
         [](TransferInput& in) {
             in.general.StartFreq = "1";
             in.general.StopFreq = "30000";
             in.general.Step = "0";
         },
         "too many steps"},
        {"sweep too fast",
         [](TransferInput& in) {
             in.general.StopFreq = "60000";
             in.general.Step = "1000";
         },
         "too high"},
        {"frequency too fast", [](TransferInput& in) { in.general.Freq = "5000"; }, "too high"},
        {"fractional quartz", [](TransferInput& in) { in.settings.Quartz = "20.5"; },
         "not a whole number"},
        {"no samples", [](TransferInput& in) { in.general.NumOfSam = ""; }, "number of samples"},
        {"bad step time", [](TransferInput& in) { in.general.Time = "70000"; }, "step time"},
        {"cycles per millisecond past 16 bits",
         [](TransferInput& in) { in.settings.Quartz = "33"; }, "66000 cycles per millisecond"},
    };
    for (const Case& c : cases) {
        TransferInput in = inputFor({}, 1000);
        in.general.SwapEnabled = true;
        in.general.StartFreq = "1";
        in.general.StopFreq = "10";
        in.general.Step = "1";
        c.edit(in);
        std::string error;
        EXPECT_FALSE(planTransfer(in, error).has_value()) << c.name;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.name << ": " << error;
    }
    // The cycles per millisecond travel only in a sweep header.
    TransferInput noSweep = inputFor({}, 1000);
    noSweep.settings.Quartz = "33";
    std::string noSweepError;
    EXPECT_TRUE(planTransfer(noSweep, noSweepError).has_value()) << noSweepError;

    // A step below 1 Hz is used as 1 Hz: 1..10 gives ten steps, K = 9.
    TransferInput in = inputFor({2}, 100);
    in.general.SwapEnabled = true;
    in.general.StartFreq = "1";
    in.general.StopFreq = "10";
    in.general.Step = "0,5";
    in.sep = ',';
    in.general.Time = "2,75";
    std::string error;
    const auto plan = planTransfer(in, error);
    ASSERT_TRUE(plan.has_value()) << error;
    EXPECT_EQ(plan->sweepWordCount, 30);
    EXPECT_EQ(plan->stepTimeMs, 2);
    EXPECT_EQ(plan->progressMax, 100 + 9 + 1 + 100);
    // "Send samples" does not look at the frequency.
    in.sendAll = false;
    in.general.Freq = "5000";
    EXPECT_TRUE(planTransfer(in, error).has_value());
}

} // namespace
} // namespace ombrix

// The link on a line as real ones are: noise before a reply's frame start costs nothing, stray,
// partial and late bytes spoil at most the exchange they land in, and a reply's time-out counts
// from the moment its frame has left the line, on the scripted port and on the in-process
// simulator.
#include "core/device/linelog.h"
#include "core/device/protocol.h"
#include "core/device/simport.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

class CountingObserver final : public LineObserver {
  public:
    void BytesWritten(std::span<const std::uint8_t> bytes) override { written += bytes.size(); }
    void ReplyRead(std::span<const std::uint8_t>, ReplyResult) override { ++replies; }
    void BytesDiscarded(std::span<const std::uint8_t> bytes) override { discarded += bytes.size(); }
    std::size_t written = 0;
    std::size_t discarded = 0;
    int replies = 0;
};

// A reply that names the frame it answers ("A" for the first), so a reply taken for the
// wrong question shows.
Bytes numberedReply(int n) {
    const auto r = makeReply(0, Bytes{static_cast<std::uint8_t>('A' + n - 1)});
    return Bytes(r.begin(), r.end());
}

std::string numberText(int n) {
    return std::string(1, static_cast<char>('A' + n - 1));
}

TEST(LineDiscipline, StrayPartialAndLateBytesSpoilOnlyTheirOwnExchange) {
    enum class Trouble { None, StrayBefore, NoiseBefore, TailAfter, Late, SplitLate };
    struct Case {
        Trouble trouble;
        bool ok;               // the troubled exchange itself
        std::size_t discarded; // stray bytes thrown away for it
    };
    const Case cases[] = {
        {Trouble::None, true, 0},        {Trouble::StrayBefore, true, 3},
        {Trouble::NoiseBefore, true, 1}, {Trouble::TailAfter, true, 5},
        {Trouble::Late, false, 14},      {Trouble::SplitLate, false, 7},
    };
    FakeClock clock;
    FakePort port(clock);
    RecordingUserInterface ui;
    CountingObserver observer;
    port.setLineObserver(&observer);
    ASSERT_TRUE(port.OpenPort("COM1", kStartBaudIndex));

    int frame = 0;
    Trouble trouble = Trouble::None;
    port.setResponder([&](FakePort& p, std::span<const std::uint8_t> bytes) {
        if (bytes.size() != kTrailerSize)
            return;
        Bytes reply = numberedReply(++frame);
        switch (trouble) {
        case Trouble::NoiseBefore:
            reply.insert(reply.begin(), 0x3C);
            break;
        case Trouble::TailAfter:
            reply.insert(reply.end(), {0xAA, 0xAA, 0x00, 0x00, 0x55});
            break;
        case Trouble::Late: // the 500 ms wait after the 100 ms pause has long ended
            p.deliverAfter(800, reply);
            return;
        case Trouble::SplitLate:
            p.deliverAfter(5, Bytes(reply.begin(), reply.begin() + 7));
            p.deliverAfter(700, Bytes(reply.begin() + 7, reply.end()));
            return;
        default:
            break;
        }
        p.deliverAfter(5, reply);
    });
    for (const Case& c : cases) {
        const auto name = static_cast<int>(c.trouble);
        trouble = c.trouble;
        if (c.trouble == Trouble::StrayBefore)
            port.deliver({0x55, 0x00, 0xAA});
        const std::size_t before = observer.discarded;
        const ReplyResult r = Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command);
        EXPECT_EQ(r == ReplyOk, c.ok) << name;
        if (r == ReplyOk) {
            EXPECT_EQ(versionText(port.receiveBuffer()), numberText(frame)) << name;
        }
        // The next, untroubled exchange gets its own reply.
        trouble = Trouble::None;
        EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command), ReplyOk)
            << name;
        EXPECT_EQ(versionText(port.receiveBuffer()), numberText(frame)) << name;
        EXPECT_EQ(observer.discarded - before, c.discarded) << name;
    }
    EXPECT_EQ(observer.replies, 2 * static_cast<int>(std::size(cases)));
    EXPECT_EQ(observer.written, 2 * std::size(cases) * kReplySize);
    EXPECT_EQ(port.pendingCount(), 0U);
}

// Noise between frame and reply, at the place and of the size of each case: the exchange and
// the log (Stray bytes entries, then the reply) as the line had them.
TEST(LineDiscipline, NoiseBeforeAReplyIsLoggedAsItWasAndCostsNothing) {
    const Bytes reply = numberedReply(1);
    // The reply's last `n` bytes, as the log shows them once the reply was cut short.
    auto tail = [&](std::size_t n) {
        return Bytes(reply.end() - static_cast<long>(n), reply.end());
    };
    struct Case {
        const char* name;
        std::size_t at; // where the noise goes in the reply's bytes
        Bytes noise;
        bool ok;
        std::vector<Bytes> discarded; // Stray bytes entries, in order
    };
    const Case cases[] = {
        {"one byte before", 0, {0x3C}, true, {{0x3C}}},
        {"a sync byte before", 0, {0xAA}, true, {{0xAA}}},
        {"two sync bytes before", 0, {0xAA, 0xAA}, true, {{0xAA, 0xAA}}},
        {"sync and end bytes before",
         0,
         {0xAA, 0x00, 0x55, 0xAA},
         true,
         {{0xAA, 0x00, 0x55, 0xAA}}},
        {"twelve bytes before", 0, Bytes(12, 0x5A), true, {Bytes(12, 0x5A)}},
        {"after the sync bytes", 2, {0x3C}, false, {tail(1)}},
        {"in the data", 6, {0x01, 0xAA}, false, {tail(2)}},
        {"before the CRC", 12, {0x00}, false, {tail(1)}},
        {"after the reply", 14, {0x3C, 0xAA}, true, {{0x3C, 0xAA}}},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        FakePort port(clock);
        RecordingUserInterface ui;
        LineRecorder recorder(clock);
        recorder.setLogging(true);
        port.setLineObserver(&recorder);
        ASSERT_TRUE(port.OpenPort("COM1", kStartBaudIndex));
        bool troubled = true;
        port.setResponder([&](FakePort& p, std::span<const std::uint8_t> bytes) {
            if (bytes.size() != kTrailerSize)
                return;
            Bytes wire = reply;
            if (troubled)
                wire.insert(wire.begin() + static_cast<long>(c.at), c.noise.begin(), c.noise.end());
            p.deliverAfter(5, wire);
        });
        EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command) == ReplyOk,
                  c.ok)
            << c.name;
        if (c.ok) {
            EXPECT_EQ(versionText(port.receiveBuffer()), "A") << c.name;
        }
        const auto entries = recorder.entries();
        std::vector<std::string> strays;
        for (const LineEntry& e : entries)
            if (e.direction == LineDirection::Discarded)
                strays.push_back(e.meaning);
        std::vector<std::string> expected;
        for (const Bytes& d : c.discarded) {
            std::string hex;
            for (std::uint8_t b : d) {
                if (!hex.empty())
                    hex += ' ';
                hex += "0123456789ABCDEF"[b >> 4];
                hex += "0123456789ABCDEF"[b & 15];
            }
            expected.push_back(std::to_string(d.size()) + " discarded: " + hex);
        }
        EXPECT_EQ(strays, expected) << c.name;
        // Noise before the frame start is logged before the reply, anything else after it.
        ASSERT_EQ(entries.size(), 2 + c.discarded.size()) << c.name;
        EXPECT_EQ(entries[c.at == 0 ? 2 : 1].status, c.ok ? "OK" : "CRC invalid") << c.name;

        troubled = false;
        EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command), ReplyOk)
            << c.name;
        EXPECT_EQ(port.pendingCount(), 0U) << c.name;
    }
}

TEST(LineDiscipline, NoiseCostsNothingAndGarbleOnlyItsExchangeOnTheSimulator) {
    SimFaults noise;
    noise.noiseEvery = 1;
    SimFaults garble;
    garble.garble = 0.3;
    garble.seed = 7;
    for (const SimFaults& faults : {noise, garble}) {
        FakeClock clock;
        SimPort port(clock);
        RecordingUserInterface ui;
        ASSERT_TRUE(port.OpenPort(kSimulatorPortName, kStartBaudIndex));
        port.withGenerator([&](SimGenerator& g) { g.faults() = faults; });
        auto garbled = [&] {
            return port.withGenerator([](SimGenerator& g) { return g.state().framesGarbled; });
        };
        int failures = 0;
        for (int i = 0; i < 40; ++i) {
            const auto before = garbled();
            const ReplyResult r =
                Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command);
            EXPECT_EQ(r != ReplyOk, garbled() != before) << i;
            failures += r != ReplyOk ? 1 : 0;
        }
        EXPECT_EQ(static_cast<std::uint64_t>(failures), garbled());
        EXPECT_EQ(port.withGenerator([](SimGenerator& g) { return g.state().noiseSent; }),
                  faults.noiseEvery > 0 ? 40U : 0U);
        EXPECT_EQ(failures >= 5, faults.garble > 0);
    }
}

TEST(LineTime, TimeOutsCountFromTheMomentTheFrameHasLeftTheLine) {
    FakeClock clock;
    FakePort port(clock);
    RecordingUserInterface ui;
    ASSERT_TRUE(port.OpenPort("ttyUSB0", kStartBaudIndex));
    port.setLineBaud(9600);

    // 14 bytes take 14.6 ms at 9600 baud: the pause and the time-out follow them.
    std::uint64_t t0 = clock.Ticks();
    EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysCheck), Exchange::Command), ReplyTimeout);
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{15, 100}));
    EXPECT_EQ(clock.Ticks() - t0, 15U + 100U + 501U);

    // A 1000-word block takes 2098 ms; the writer keeps about kBlockLeadMs ahead of the line, and a
    // device that answers 450 ms after the block has crossed the line is in time.
    clock.advance(5000);
    t0 = clock.Ticks();
    std::size_t sent = 0;
    std::int64_t maxLead = 0;
    port.setResponder([&](FakePort& p, std::span<const std::uint8_t> bytes) {
        sent += bytes.size();
        const auto lineEnd = static_cast<std::int64_t>(t0 + sent * 10 * 1000 / 9600);
        maxLead = std::max(maxLead, lineEnd - static_cast<std::int64_t>(clock.Ticks()));
        if (sent == 12 + 2000 + 2)
            p.deliverAt(t0 + 2098 + 450, numberedReply(1));
    });
    BlockWriter block(port, clock);
    block.writeHeader(samplesHeader(0, 0, 1000, 0x01));
    for (int j = 0; j < 1000; ++j)
        block.writeWord(0x1000);
    ui.clear();
    EXPECT_EQ(block.finish(ui), ReplyOk);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_LE(maxLead, BlockWriter::kBlockLeadMs + 3);
    EXPECT_EQ(clock.Ticks() - t0, 2098U + 450U);
}

} // namespace
} // namespace ombrix

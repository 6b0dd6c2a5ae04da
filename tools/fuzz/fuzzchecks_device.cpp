// Checks of the device side: reply judge, reply wait and the simulated generator's decoder.
#include "fuzzchecks.h"

#include "core/device/protocol.h"
#include "core/device/reply.h"
#include "core/device/simgenerator.h"
#include "testkit/fakeclock.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ombrix::fuzz {

// ---- reply judge and reply wait -----------------------------------------------------------

namespace {

// What a reply wait told the line observer: every byte in order, the stray bytes before the
// reply, and the reply.
struct Heard final : LineObserver {
    void BytesWritten(std::span<const std::uint8_t>) override {}
    void ReplyRead(std::span<const std::uint8_t> bytes, ReplyResult) override {
        reply.assign(bytes.begin(), bytes.end());
        all.insert(all.end(), bytes.begin(), bytes.end());
        ++replies;
    }
    void BytesDiscarded(std::span<const std::uint8_t> bytes) override {
        if (replies == 0)
            stray.insert(stray.end(), bytes.begin(), bytes.end());
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::uint8_t> all, stray, reply;
    int replies = 0;
};

} // namespace

std::string checkReply(Bytes data) {
    // The judge alone: the first bytes as a reply, and a reply built from them.
    {
        const std::size_t n = std::min(data.size(), kReplySize);
        std::vector<std::uint8_t> reply(kReplySize, 0);
        std::copy_n(data.begin(), n, reply.begin());
        const ReplyResult r = judgeReply(reply, n);
        if (n == 0 && r != ReplyTimeout)
            return "no byte is not a time-out";
        if (n > 0 && r == ReplyTimeout)
            return "received bytes judged a time-out";
        if (n > 0) {
            const std::uint8_t status = reply[0];
            const auto built = makeReply(status, std::span(reply).subspan(1, 7));
            const ReplyResult b = judgeReply(built, kReplySize);
            if (b != (status == 0 ? ReplyOk : ReplyCrcInvalid))
                return "a built reply with status " + std::to_string(status) + " judged " +
                       std::to_string(b);
            // Any one damaged byte after the sync bytes is caught.
            auto damaged = built;
            const std::size_t at = 2 + reply[1] % (kReplySize - 2);
            damaged[at] = static_cast<std::uint8_t>(damaged[at] ^ (reply[2] | 1));
            if (judgeReply(damaged, kReplySize) == ReplyOk)
                return "a reply damaged at byte " + std::to_string(at) + " was judged good";
        }
    }

    // Noise of up to 13 bytes before a good reply costs nothing, unless it holds a frame start
    // of its own (AA AA and a byte that is not AA); the wait tells of the noise as it was.
    if (!data.empty()) {
        const Bytes noise = data.first(std::min<std::size_t>(data[0] % 14, data.size()));
        bool ownStart = false;
        for (std::size_t i = 0; i + 2 < noise.size(); ++i)
            ownStart = ownStart || (noise[i] == kSyncByte && noise[i + 1] == kSyncByte &&
                                    noise[i + 2] != kSyncByte);
        if (!ownStart) {
            FakeClock clock;
            FakePort port(clock);
            RecordingUserInterface ui;
            Heard heard;
            port.setLineObserver(&heard);
            port.OpenPort("fuzz", kStartBaudIndex);
            const auto good = makeReply(0, std::vector<std::uint8_t>{'O', 'K'});
            std::vector<std::uint8_t> line(noise.begin(), noise.end());
            line.insert(line.end(), good.begin(), good.end());
            port.deliver(line);
            if (WaitReply(port, clock, ui, 100) != ReplyOk)
                return "noise of " + std::to_string(noise.size()) + " bytes spoilt a good reply";
            if (heard.stray != std::vector<std::uint8_t>(noise.begin(), noise.end()) ||
                port.pendingCount() != 0)
                return "the noise before a good reply was not told of as it was";
        }
    }

    if (data.size() < 2)
        return {};
    const int timeoutMs = data[0] * 4;
    const int waits = 1 + data[1] % 8;

    FakeClock clock;
    FakePort port(clock);
    RecordingUserInterface ui;
    Heard heard;
    port.setLineObserver(&heard);
    port.OpenPort("fuzz", kStartBaudIndex);
    // Every byte with the tick it arrives at, in delivery order.
    std::vector<std::pair<std::uint64_t, std::uint8_t>> stream;
    std::uint64_t tick = clock.Ticks();
    for (std::size_t i = 2; i + 1 < data.size();) {
        tick += data[i];
        const std::size_t len = std::min<std::size_t>(data[i + 1], data.size() - i - 2);
        std::vector<std::uint8_t> chunk(data.begin() + static_cast<std::ptrdiff_t>(i + 2),
                                        data.begin() + static_cast<std::ptrdiff_t>(i + 2 + len));
        port.deliverAt(tick, chunk);
        for (std::uint8_t b : chunk)
            stream.push_back({tick, b});
        i += 2 + len;
    }

    std::size_t taken = 0;
    std::size_t shown = 0;
    for (int w = 0; w < waits; ++w) {
        const std::uint64_t t0 = clock.Ticks();
        const std::size_t pending = port.pendingCount();
        heard = Heard();
        const ReplyResult r = WaitReply(port, clock, ui, timeoutMs);
        const std::size_t took = pending - port.pendingCount();
        const std::uint64_t elapsed = clock.Ticks() - t0;
        if (heard.replies != 1)
            return "one wait told of " + std::to_string(heard.replies) + " replies";
        const std::vector<std::uint8_t>& reply = heard.reply;
        const std::size_t got = reply.size();
        if (got > kReplySize)
            return "a reply of " + std::to_string(got) + " bytes";
        if (heard.all.size() != took)
            return "the wait took " + std::to_string(took) + " bytes and told of " +
                   std::to_string(heard.all.size());
        for (std::size_t k = 0; k < took; ++k)
            if (heard.all[k] != stream[taken + k].second)
                return "the wait told of bytes out of order";
        // Noise is only ever thrown away before a reply's frame start.
        if (!heard.stray.empty() &&
            (got == 0 || reply[0] != kSyncByte || (got > 1 && reply[1] != kSyncByte)))
            return "bytes before a reply that does not begin at its sync bytes were thrown away";
        const auto& buffer = port.receiveBuffer();
        if (!std::equal(reply.begin(), reply.end(), buffer.begin()))
            return "the receive buffer does not hold the reply";
        for (std::size_t k = got; k < buffer.size(); ++k)
            if (buffer[k] != 0)
                return "the receive buffer holds a stale byte after the reply";
        if (r != judgeReply(buffer, got))
            return "the wait's result is not the judge's";
        if ((got == 0) != (r == ReplyTimeout))
            return "time-out reported with bytes, or bytes without a time-out";
        if (elapsed > static_cast<std::uint64_t>(timeoutMs) + 1)
            return "the wait ran " + std::to_string(elapsed) + " ms past a " +
                   std::to_string(timeoutMs) + " ms time-out";
        if (got < kReplySize) {
            if (elapsed <= static_cast<std::uint64_t>(timeoutMs))
                return "a short reply ended the wait before the time-out";
            if (taken + took < stream.size() &&
                stream[taken + took].first <= t0 + static_cast<std::uint64_t>(timeoutMs))
                return "the wait left a byte that arrived in time";
        }
        taken += took;
        const auto messages = ui.messages();
        if (r != ReplyOk) {
            if (messages.size() != shown + 1)
                return "a failed wait did not show exactly one message";
            const auto& m = messages.back();
            if (m.text != replyMessage(r) || m.caption != kReplyCaption ||
                m.icon != MessageIcon::Error)
                return "the failure message is not the result's";
            ++shown;
        } else if (messages.size() != shown) {
            return "a good reply showed a message";
        }
    }
    if (port.pendingCount() != stream.size() - taken)
        return "bytes got lost between waits";
    return {};
}

// ---- simulated generator ------------------------------------------------------------------

namespace {

struct SimRun {
    std::vector<std::uint8_t> output;
    std::uint64_t framesDecoded = 0;
    std::uint64_t framesRejected = 0;
    std::uint64_t repliesSent = 0;
    std::uint64_t noiseBytes = 0;
    std::string fault;
};

void setFault(SimFaults& faults, int kind) {
    switch (kind) {
    case 1:
        faults.status = 5;
        break;
    case 2:
        faults.badCrc = true;
        break;
    case 3:
        faults.badFormat = true;
        break;
    default:
        break;
    }
}

SimRun runSim(Bytes stream, std::size_t chunk, bool idle, int fault) {
    SimRun run;
    SimGenerator sim;
    setFault(sim.faults(), fault);
    sim.setFrameListener([&run](const SimFrameEvent& ev) {
        if (ev.words.size() > ev.header.blockWordCount() && run.fault.empty())
            run.fault = "a block kept more words than its header declares";
        if (ev.text.empty() && run.fault.empty())
            run.fault = "a decoded frame has no description";
    });
    std::size_t i = 0;
    do {
        const std::size_t n = chunk == 0 ? stream.size() : std::min(chunk, stream.size() - i);
        sim.receive(stream.subspan(i, n));
        i += n;
        if (idle)
            sim.lineIdle();
        const auto out = sim.takeOutput();
        run.output.insert(run.output.end(), out.begin(), out.end());
    } while (i < stream.size());

    const SimState& s = sim.state();
    run.framesDecoded = s.framesDecoded;
    run.framesRejected = s.framesRejected;
    run.repliesSent = s.repliesSent;
    run.noiseBytes = s.noiseBytes;
    if (run.fault.empty()) {
        if (s.framesRejected > s.framesDecoded)
            run.fault = "more frames rejected than decoded";
        else if (s.sweepTable.size() > 0xFFFF)
            run.fault = "the sweep table outgrew its word count";
        for (int o = 0; o < kOutputCount && run.fault.empty(); ++o) {
            if (s.samples[static_cast<std::size_t>(o)].size() > 0xFFFF)
                run.fault = "an output holds more samples than a header can declare";
            else if (sim.outputVolts(o).size() != s.samples[static_cast<std::size_t>(o)].size())
                run.fault = "an output's volts do not match its samples";
        }
        // Derived figures must be computable from any state the decoder leaves.
        (void)sim.playedFrequency();
        (void)sim.referenceMillivolts1();
        (void)sim.referenceMillivolts2();
        (void)sim.baud();
    }
    return run;
}

} // namespace

std::string checkSimGenerator(Bytes data) {
    if (data.empty())
        return {};
    const std::size_t chunk = data[0] & 0x1F;
    const bool idle = (data[0] & 0x20) != 0;
    const int fault = data[0] >> 6;
    const Bytes stream = data.subspan(1);

    const SimRun run = runSim(stream, chunk, idle, fault);
    if (!run.fault.empty())
        return run.fault;
    if (run.output.size() % kReplySize != 0)
        return "the output is not whole replies";
    const std::size_t replies = run.output.size() / kReplySize;
    if (replies != run.repliesSent)
        return "the reply count differs from the replies sent";
    if (replies > run.framesDecoded)
        return "more replies than frames";
    for (std::size_t k = 0; k < replies; ++k) {
        const Bytes reply(run.output.data() + k * kReplySize, kReplySize);
        if (reply[0] != kSyncByte || reply[1] != kSyncByte)
            return "a reply does not start with the sync bytes";
        const ReplyResult r = judgeReply(reply, kReplySize);
        switch (fault) {
        case 0:
            if (reply[3] > kStatusRefused)
                return "a reply carries an unknown status";
            if (r != (reply[3] == 0 ? ReplyOk : ReplyCrcInvalid))
                return "a reply of the simulator is malformed";
            break;
        case 1:
            if (r != ReplyCrcInvalid)
                return "a reply with a forced status was not judged a failure";
            break;
        case 2:
            if (r != ReplyCrcInvalid)
                return "a reply with a bad CRC was judged good";
            break;
        default:
            if (r != ReplyBadFormat)
                return "a reply of bad format was not judged so";
            break;
        }
    }
    // How the bytes are cut must not matter while the line never goes idle.
    if (!idle && chunk != 0) {
        const SimRun whole = runSim(stream, 0, false, fault);
        if (whole.output != run.output || whole.framesDecoded != run.framesDecoded ||
            whole.framesRejected != run.framesRejected || whole.noiseBytes != run.noiseBytes)
            return "the decoder's result depends on how the stream is cut";
    }
    return {};
}

} // namespace ombrix::fuzz

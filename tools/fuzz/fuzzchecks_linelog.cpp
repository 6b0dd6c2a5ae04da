// Checks of the line recorder: arbitrary bytes written and read, cut into any pieces.
#include "fuzzchecks.h"

#include "core/device/crc16.h"
#include "core/device/linelog.h"
#include "core/device/protocol.h"
#include "testkit/fakeclock.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace ombrix::fuzz {

namespace {

using ByteVector = std::vector<std::uint8_t>;

// Reads the fuzz input front to back; past its end every byte is 0.
class Input {
  public:
    explicit Input(Bytes data) : data_(data) {}
    bool done() const { return at_ >= data_.size(); }
    std::uint8_t byte() { return at_ < data_.size() ? data_[at_++] : 0; }
    ByteVector bytes(std::size_t n) {
        n = std::min(n, data_.size() - std::min(at_, data_.size()));
        ByteVector out(data_.begin() + static_cast<std::ptrdiff_t>(at_),
                       data_.begin() + static_cast<std::ptrdiff_t>(at_ + n));
        at_ += n;
        return out;
    }

  private:
    Bytes data_;
    std::size_t at_ = 0;
};

// What the recorder was told while it logged, in order (frames written aside).
struct Told {
    bool reply = false; // else stray bytes
    ByteVector bytes;
    ReplyResult result = ReplyOk;
};

// Passes every call on to the recorder and keeps, while it logs, the replies and stray bytes
// it was told of; besides, every byte told of and the number of replies, logging or not.
class Tee final : public LineObserver {
  public:
    explicit Tee(LineRecorder& recorder) : recorder_(recorder) {}
    void BytesWritten(std::span<const std::uint8_t> bytes) override {
        recorder_.BytesWritten(bytes);
    }
    void ReplyRead(std::span<const std::uint8_t> bytes, ReplyResult result) override {
        if (recorder_.logging())
            told.push_back({true, {bytes.begin(), bytes.end()}, result});
        heard.insert(heard.end(), bytes.begin(), bytes.end());
        ++replies;
        overlong = overlong || bytes.size() > kReplySize;
        recorder_.ReplyRead(bytes, result);
    }
    void BytesDiscarded(std::span<const std::uint8_t> bytes) override {
        if (recorder_.logging())
            told.push_back({false, {bytes.begin(), bytes.end()}, ReplyOk});
        heard.insert(heard.end(), bytes.begin(), bytes.end());
        recorder_.BytesDiscarded(bytes);
    }
    std::vector<Told> told;
    // Every byte told of, logging or not, and the replies among the calls.
    ByteVector heard;
    std::size_t replies = 0;
    bool overlong = false; // a reply of more than 14 bytes

  private:
    LineRecorder& recorder_;
};

// "3C AA 00" back to bytes; nullopt when the text is not that.
std::optional<ByteVector> parseHex(const std::string& text) {
    ByteVector out;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 3) {
        if (i + 2 > text.size() || digit(text[i]) < 0 || digit(text[i + 1]) < 0 ||
            (i + 2 < text.size() && text[i + 2] != ' '))
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
    }
    return out;
}

// One run of the recorder over the operations of the input. `canonical` writes every frame
// as the link does (header, one write per data word, trailer); otherwise its words and trailer
// go out in the pieces the input chooses.
struct Run {
    std::vector<LineEntry> entries;
    std::uint64_t recorded = 0;
    SimState image;
    std::vector<Told> told;
    std::size_t headerWrites = 0; // 12-byte writes that begin with the sync bytes
    std::string fault;
};

// Writes and counts one write.
void write(Tee& tee, Run& run, std::span<const std::uint8_t> bytes) {
    if (bytes.size() == kFrameSize && bytes[0] == kSyncByte && bytes[1] == kSyncByte)
        ++run.headerWrites;
    tee.BytesWritten(bytes);
}

// A frame of the input's code and payload with `available` data words (zeros past the end of
// the input), declared in its header.
void writeFrame(Input& in, Tee& tee, Run& run, std::size_t available, bool canonical) {
    CommandFrame header(static_cast<CommandCode>(in.byte() % 8));
    for (std::size_t k = 0; k < kPayloadSize; ++k)
        header.setPayloadByte(k, in.byte());
    const std::uint8_t cut = in.byte();
    const auto words16 = static_cast<std::uint16_t>(std::min<std::size_t>(available, 0xFFFF));
    if (header.code() == CmdSamples)
        header.setPayloadWord(2, words16);
    else if (header.isBlockHeader())
        header.setPayloadWord(6, words16);
    const ByteVector body = in.bytes(2 * std::size_t{header.blockWordCount()});
    ByteVector rest = body;
    rest.resize(2 * std::size_t{header.blockWordCount()}, 0);
    std::uint16_t crc = header.crc();
    for (std::size_t k = 0; k + 1 < rest.size(); k += 2)
        crc = crc16Step(crc, static_cast<std::uint16_t>(rest[k] << 8 | rest[k + 1]));
    if (cut & 0x80) // a trailer the device refuses
        crc ^= 0x0101;
    const auto trailer = wordBytes(crc);
    rest.insert(rest.end(), trailer.begin(), trailer.end());

    write(tee, run, header.bytes);
    std::uint32_t state = cut | 0x100u;
    for (std::size_t at = 0; at < rest.size();) {
        std::size_t size = 2;
        if (!canonical) {
            state = state * 1103515245u + 12345u;
            size = 1 + (state >> 16) % 23; // any size but that of a header
            if (size == kFrameSize)
                size = kFrameSize + 1;
        }
        size = std::min(size, rest.size() - at);
        // The last piece too: a 12-byte write of words that begins with the sync bytes would
        // be a header, which the link never writes inside a frame.
        if (!canonical && size == kFrameSize)
            size = kFrameSize - 1;
        write(tee, run, std::span(rest).subspan(at, size));
        at += size;
    }
}

// The bytes on the port in the order it hands them out: by tick of arrival, then delivery.
struct Arrivals {
    std::vector<std::pair<std::uint64_t, std::uint8_t>> queue;
    void add(std::uint64_t tick, const ByteVector& bytes) {
        for (std::uint8_t b : bytes)
            queue.push_back({tick, b});
        std::stable_sort(queue.begin(), queue.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
};

// Bytes arrive on the port in pieces at growing ticks, then one reply is read as the link
// reads it: every byte the wait takes off the line is told of, in order, and one reply.
void readReply(Input& in, std::size_t count, FakePort& port, FakeClock& clock, Tee& tee,
               Arrivals& arrivals, RecordingUserInterface& ui, Run& run) {
    const int timeoutMs = in.byte() * 2;
    const ByteVector bytes = in.bytes(count);
    std::uint64_t tick = clock.Ticks();
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = std::min<std::size_t>(1 + in.byte() % 16, bytes.size() - at);
        tick += in.byte() % 64;
        const ByteVector piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        port.deliverAt(tick, piece);
        arrivals.add(tick, piece);
        at += size;
    }
    const std::size_t pending = port.pendingCount();
    tee.heard.clear();
    tee.replies = 0;
    tee.overlong = false;
    ReadReply(port, clock, ui, timeoutMs);
    const auto taken = static_cast<std::ptrdiff_t>(pending - port.pendingCount());
    ByteVector expected;
    for (std::ptrdiff_t k = 0; k < taken; ++k)
        expected.push_back(arrivals.queue[static_cast<std::size_t>(k)].second);
    arrivals.queue.erase(arrivals.queue.begin(), arrivals.queue.begin() + taken);
    if (tee.overlong)
        run.fault = "a reply of more than 14 bytes";
    else if (tee.replies != 1)
        run.fault = "one wait told of " + std::to_string(tee.replies) + " replies";
    else if (tee.heard != expected)
        run.fault = "the bytes told of are not those the wait took off the line";
}

Run runOps(Bytes data, bool canonical) {
    Run run;
    Input in(data);
    FakeClock clock;
    FakePort port(clock);
    RecordingUserInterface ui;
    LineRecorder recorder(clock);
    Tee tee(recorder);
    Arrivals arrivals;
    port.setLineObserver(&tee);
    port.OpenPort("fuzz", kStartBaudIndex);
    const std::uint8_t flags = in.byte();
    recorder.setLogging((flags & 1) != 0);
    recorder.setImaging((flags & 2) != 0);

    while (!in.done() && run.fault.empty()) {
        const std::uint8_t op = in.byte();
        const std::size_t n = op >> 2;
        switch (op & 3) {
        case 0: { // any bytes written in one write
            const ByteVector bytes = in.bytes(n);
            write(tee, run, bytes);
            break;
        }
        case 1:
            writeFrame(in, tee, run, n, canonical);
            break;
        case 2:
            if (n < 48) {
                readReply(in, n, port, clock, tee, arrivals, ui, run);
            } else { // a reply or stray bytes told directly, judged anyhow
                const std::uint8_t how = in.byte();
                const ByteVector bytes = in.bytes(how % 32);
                if (how & 0x80)
                    tee.BytesDiscarded(bytes);
                else
                    tee.ReplyRead(bytes, static_cast<ReplyResult>((how >> 5) & 3));
            }
            break;
        default:
            switch (n % 8) {
            case 0:
                recorder.setLogging(!recorder.logging());
                break;
            case 1:
                recorder.setImaging((n & 8) != 0);
                break;
            case 2:
                recorder.clear();
                tee.told.clear();
                break;
            case 3:
                recorder.resetImage();
                break;
            case 4:
                recorder.setContext(in.byte() * 0.5, in.byte(), in.byte() * 64.0 + in.byte());
                break;
            default:
                clock.advance(in.byte());
                break;
            }
            break;
        }
    }
    run.entries = recorder.entries();
    run.recorded = recorder.recorded();
    run.image = recorder.sentImage();
    run.told = std::move(tee.told);
    return run;
}

// The log shows what it was told: each stray byte and each reply byte as it came.
std::string checkTold(const Run& run) {
    std::vector<const LineEntry*> shown;
    for (const LineEntry& e : run.entries)
        if (e.direction != LineDirection::Sent)
            shown.push_back(&e);
    if (shown.size() != run.told.size())
        return "the log holds " + std::to_string(shown.size()) + " replies and stray bytes, " +
               std::to_string(run.told.size()) + " were told";
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const LineEntry& e = *shown[k];
        const Told& t = run.told[k];
        if (!t.reply) {
            const std::string head = std::to_string(t.bytes.size()) + " discarded: ";
            if (e.direction != LineDirection::Discarded || !e.failure ||
                e.meaning.compare(0, head.size(), head) != 0 ||
                parseHex(e.meaning.substr(head.size())) != t.bytes)
                return "stray bytes logged as \"" + e.meaning + "\"";
            continue;
        }
        if (e.direction != LineDirection::Received || e.status != replyStatusText(t.result) ||
            e.failure != (t.result != ReplyOk))
            return "a reply logged with status \"" + e.status + "\"";
        if (t.result == ReplyOk && t.bytes.size() >= kReplySize) {
            if (e.meaning.rfind("status " + std::to_string(t.bytes[3]), 0) != 0)
                return "a good reply logged as \"" + e.meaning + "\"";
        } else if (t.bytes.empty() ? e.meaning != "nothing received"
                                   : parseHex(e.meaning) != t.bytes) {
            return "reply bytes logged as \"" + e.meaning + "\"";
        }
    }
    return {};
}

} // namespace

std::string checkLineLog(Bytes data) {
    const Run cut = runOps(data, false);
    if (!cut.fault.empty())
        return cut.fault;
    if (cut.recorded <= kLineLogCapacity) {
        if (const std::string fault = checkTold(cut); !fault.empty())
            return fault;
    }
    std::size_t sent = 0;
    for (const LineEntry& e : cut.entries)
        sent += e.direction == LineDirection::Sent ? 1 : 0;
    if (sent > cut.headerWrites)
        return "more frames logged than headers written";

    // How a frame's words and trailer are cut into writes changes neither log nor image.
    const Run whole = runOps(data, true);
    if (whole.entries.size() != cut.entries.size())
        return "the cut frames gave " + std::to_string(cut.entries.size()) + " entries, whole " +
               std::to_string(whole.entries.size());
    for (std::size_t k = 0; k < cut.entries.size(); ++k) {
        const LineEntry& a = cut.entries[k];
        const LineEntry& b = whole.entries[k];
        if (a.timeMs != b.timeMs || a.direction != b.direction || a.command != b.command ||
            a.meaning != b.meaning || a.status != b.status || a.tookMs != b.tookMs ||
            a.failure != b.failure || a.words != b.words)
            return "entry " + std::to_string(k) + " depends on how its frame was cut: \"" +
                   a.meaning + "\" / \"" + b.meaning + "\"";
    }
    if (cut.image != whole.image)
        return "the device image depends on how the frames were cut";
    return {};
}

} // namespace ombrix::fuzz

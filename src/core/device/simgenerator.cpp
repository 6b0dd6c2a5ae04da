#include "core/device/simgenerator.h"

#include "core/device/crc16.h"
#include "core/device/reply.h"
#include "core/device/serialport.h"

#include <algorithm>
#include <cstdio>

namespace ombrix {

namespace {

std::string format(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

const char* systemName(std::uint8_t sub) {
    switch (sub) {
    case SysCheck:
        return "SysCheck";
    case SysVersion:
        return "SysVersion";
    case SysReset:
        return "SysReset";
    default:
        return "Sys?";
    }
}

} // namespace

SimGenerator::SimGenerator(SimSettings settings) : settings_(std::move(settings)) {}

void SimGenerator::receive(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes)
        feed(b);
}

std::vector<std::uint8_t> SimGenerator::takeOutput() {
    std::vector<std::uint8_t> out;
    for (const auto& reply : output_)
        out.insert(out.end(), reply.begin(), reply.end());
    output_.clear();
    return out;
}

std::vector<std::vector<std::uint8_t>> SimGenerator::takeReplies() {
    std::vector<std::vector<std::uint8_t>> out;
    out.swap(output_);
    return out;
}

std::uint32_t SimGenerator::draw() {
    // The draws repeat for a seed: std::mt19937's sequence is fixed by the standard.
    if (!seeded_ || randomSeed_ != faults_.seed) {
        random_.seed(faults_.seed);
        randomSeed_ = faults_.seed;
        seeded_ = true;
    }
    return static_cast<std::uint32_t>(random_());
}

int SimGenerator::baud() const {
    return baudForIndex(state_.baudIndex);
}

void SimGenerator::feed(std::uint8_t byte) {
    switch (phase_) {
    case Phase::Header:
        header_.push_back(byte);
        resyncHeader();
        if (header_.size() == kFrameSize)
            startFrame();
        break;
    case Phase::Data:
        partial_.push_back(byte);
        if (partial_.size() == 2) {
            const auto word = static_cast<std::uint16_t>((partial_[0] << 8) | partial_[1]);
            partial_.clear();
            crcBeforeLastWord_ = crc_;
            crc_ = crc16Step(crc_, word);
            words_.push_back(word);
            if (words_.size() == wordsExpected_)
                phase_ = Phase::Trailer;
        }
        break;
    case Phase::Trailer:
        partial_.push_back(byte);
        if (partial_.size() == 2) {
            auto trailer = static_cast<std::uint16_t>((partial_[0] << 8) | partial_[1]);
            // 24 random bits against the fraction: the same draws for the same seed.
            garbled_ = faults_.garble > 0 && (draw() >> 8) < faults_.garble * 16777216.0;
            if (garbled_) {
                trailer ^= static_cast<std::uint16_t>(1u << (draw() % 16));
                ++state_.framesGarbled;
            }
            completeFrame(trailer == crc_, false);
        }
        break;
    }
}

void SimGenerator::resyncHeader() {
    // A frame starts with AA AA and has 55 in byte 11; anything else is line noise.
    auto valid = [this] {
        return (header_.size() < 1 || header_[0] == kSyncByte) &&
               (header_.size() < 2 || header_[1] == kSyncByte) &&
               (header_.size() < kFrameSize || header_[11] == kEndMarker);
    };
    while (!header_.empty() && !valid()) {
        header_.erase(header_.begin());
        ++state_.noiseBytes;
    }
}

void SimGenerator::startFrame() {
    frame_ = frameFromBytes(std::span<const std::uint8_t, kFrameSize>(header_.data(), kFrameSize));
    header_.clear();
    partial_.clear();
    words_.clear();
    crc_ = frame_.crc();
    wordsExpected_ = frame_.blockWordCount();
    phase_ = wordsExpected_ > 0 ? Phase::Data : Phase::Trailer;
}

void SimGenerator::lineIdle() {
    if (phase_ == Phase::Data && partial_.empty() && !words_.empty()) {
        // The PC stopped the block early and sent its trailer in place of the next word.
        const std::uint16_t trailer = words_.back();
        words_.pop_back();
        crc_ = crcBeforeLastWord_;
        completeFrame(trailer == crc_, true);
        return;
    }
    if (phase_ != Phase::Header || !header_.empty()) {
        state_.noiseBytes += header_.size() + partial_.size() + 2 * words_.size();
        header_.clear();
        partial_.clear();
        words_.clear();
        phase_ = Phase::Header;
    }
}

void SimGenerator::completeFrame(bool crcOk, bool truncated) {
    SimFrameEvent event;
    event.header = frame_;
    event.words = std::move(words_);
    event.crcOk = crcOk;
    event.truncated = truncated;
    event.garbled = garbled_;
    garbled_ = false;
    words_.clear();
    partial_.clear();
    phase_ = Phase::Header;
    ++state_.framesDecoded;

    bool replies = frame_.code() != CmdLineSpeed;
    std::uint8_t status = kStatusCrcMismatch;
    std::array<std::uint8_t, 7> data{};
    bool resetAfterReply = false;
    if (!crcOk) {
        ++state_.framesRejected;
    } else {
        status = apply(event, replies);
        if (frame_.code() == CmdSystem && frame_.payloadByte(0) == SysVersion) {
            const std::size_t n = std::min<std::size_t>(settings_.version.size(), data.size());
            std::copy_n(settings_.version.begin(), n, data.begin());
        }
        resetAfterReply = frame_.code() == CmdSystem && frame_.payloadByte(0) == SysReset;
    }

    const bool stopped = faults_.stopAfter >= 0 &&
                         state_.repliesSent >= static_cast<std::uint64_t>(faults_.stopAfter);
    if (replies && !faults_.silent && !stopped) {
        event.reply = buildReply(faults_.status != 0 ? faults_.status : status, data);
        event.replied = true;
        std::vector<std::uint8_t> out;
        if (faults_.noiseEvery > 0 && (state_.repliesSent + 1) % faults_.noiseEvery == 0) {
            out.push_back(static_cast<std::uint8_t>(draw() & 0xFF));
            ++state_.noiseSent;
        }
        out.insert(out.end(), event.reply.begin(), event.reply.end());
        output_.push_back(std::move(out));
        ++state_.repliesSent;
    }
    // A reset DSP restarts at 9600 baud with nothing loaded; the reply still goes out first.
    if (resetAfterReply)
        reset();
    event.text = describe(event);
    if (listener_)
        listener_(event);
}

std::uint8_t SimGenerator::apply(SimFrameEvent& event, bool& replies) {
    const CommandFrame& f = event.header;
    switch (f.code()) {
    case CmdSystem: {
        const std::uint8_t sub = f.payloadByte(0);
        return sub == SysCheck || sub == SysVersion || sub == SysReset ? kStatusAccepted
                                                                       : kStatusRefused;
    }
    case CmdSamples: {
        const std::uint8_t output = f.payloadByte(0);
        if (output >= kOutputCount)
            return kStatusRefused;
        state_.samples[output] = event.words;
        state_.activeMask = f.payloadByte(4) & kOutputMaskBits;
        return kStatusAccepted;
    }
    case CmdFrequency:
        state_.timing = {f.payloadWord(0), f.payloadWord(2), f.payloadWord(4)};
        state_.timingSet = true;
        return kStatusAccepted;
    case CmdReference:
        state_.referenceCode1 = f.payloadWord(0);
        state_.referenceCode2 = f.payloadWord(2);
        return kStatusAccepted;
    case CmdRunMask:
        state_.runMask = f.payloadByte(0) & kOutputMaskBits;
        state_.runMaskClosing = f.payloadByte(1) == 1;
        return kStatusAccepted;
    case CmdSweep:
        if (!f.isBlockHeader()) {
            state_.sweepMode = 0;
            state_.sweepCyclesPerMs = 0;
            state_.sweepStepTimeMs = 0;
            state_.sweepTable.clear();
        } else {
            state_.sweepMode = f.payloadByte(0);
            state_.sweepCyclesPerMs = f.payloadWord(1);
            state_.sweepStepTimeMs = f.payloadWord(4);
            state_.sweepTable = event.words;
        }
        return kStatusAccepted;
    case CmdLineSpeed:
        replies = false;
        state_.baudIndex = f.payloadByte(0);
        return kStatusAccepted;
    default:
        return kStatusRefused;
    }
}

void SimGenerator::reset() {
    SimState fresh;
    fresh.framesDecoded = state_.framesDecoded;
    fresh.framesRejected = state_.framesRejected;
    fresh.repliesSent = state_.repliesSent;
    fresh.noiseBytes = state_.noiseBytes;
    fresh.noiseSent = state_.noiseSent;
    fresh.framesGarbled = state_.framesGarbled;
    state_ = std::move(fresh);
}

std::array<std::uint8_t, kReplySize>
SimGenerator::buildReply(std::uint8_t status, std::span<const std::uint8_t> data) const {
    auto reply = makeReply(status, data);
    if (faults_.badFormat) {
        reply[2] = 0x01;
        const std::uint16_t crc =
            frameBytesCrc(std::span<const std::uint8_t, 10>(reply.data() + 2, 10));
        reply[12] = static_cast<std::uint8_t>(crc >> 8);
        reply[13] = static_cast<std::uint8_t>(crc & 0xFF);
    }
    if (faults_.badCrc)
        reply[13] ^= 0xFF;
    return reply;
}

double SimGenerator::referenceMillivolts1() const {
    return ombrix::referenceMillivolts(state_.referenceCode1);
}

double SimGenerator::referenceMillivolts2() const {
    return ombrix::referenceMillivolts(state_.referenceCode2);
}

std::vector<double> SimGenerator::outputVolts(int output) const {
    std::vector<double> volts;
    if (output < 0 || output >= kOutputCount)
        return volts;
    // Outputs 1 and 2 run on the first reference, outputs 3 to 6 on the second.
    const double step = sampleStep(output < 2 ? referenceMillivolts1() : referenceMillivolts2());
    for (std::uint16_t code : state_.samples[static_cast<std::size_t>(output)])
        volts.push_back(sampleVolts(code, step));
    return volts;
}

double SimGenerator::playedFrequency() const {
    if (!state_.timingSet)
        return 0;
    std::size_t n = 0;
    for (const auto& s : state_.samples) {
        if (!s.empty()) {
            n = s.size();
            break;
        }
    }
    if (n == 0)
        return 0;
    const TimingWords& t = state_.timing;
    // Short waits use the remainder alone; long ones the outer and inner loops plus the rest.
    const double waits = t.OuterCount == 1 && t.InnerCount == 1
                             ? static_cast<double>(t.Remainder)
                             : static_cast<double>(t.OuterCount) * t.InnerCount + t.Remainder;
    const double tc = static_cast<double>(instructionCycle(settings_.quartzMHz));
    const double samplePeriod = (settings_.instructions + waits) * tc;
    return 1.0 / (static_cast<double>(n) * samplePeriod);
}

std::string SimGenerator::describe(const SimFrameEvent& e) const {
    const CommandFrame& f = e.header;
    std::string text = commandName(f.code());
    switch (f.code()) {
    case CmdSystem:
        text += format(" %s", systemName(f.payloadByte(0)));
        break;
    case CmdSamples:
        text += format(" output %d ordinal %d count %u mask 0x%02X words %zu", f.payloadByte(0) + 1,
                       f.payloadByte(1), f.payloadWord(2), f.payloadByte(4), e.words.size());
        break;
    case CmdFrequency:
        text += format(" outer %u inner %u remainder %u", f.payloadWord(0), f.payloadWord(2),
                       f.payloadWord(4));
        if (e.crcOk)
            text += format(" (%.6g Hz)", playedFrequency());
        break;
    case CmdReference:
        text += format(" codes %u %u (%g mV, %g mV)", f.payloadWord(0), f.payloadWord(2),
                       ombrix::referenceMillivolts(f.payloadWord(0)),
                       ombrix::referenceMillivolts(f.payloadWord(2)));
        break;
    case CmdRunMask:
        text += format(" mask 0x%02X%s", f.payloadByte(0), f.payloadByte(1) == 1 ? " closing" : "");
        break;
    case CmdSweep:
        if (!f.isBlockHeader())
            text += " off";
        else
            text += format(" mode %d cycles/ms %u step %u ms words %zu", f.payloadByte(0),
                           f.payloadWord(1), f.payloadWord(4), e.words.size());
        break;
    case CmdLineSpeed:
        text += format(" index %d (%d baud)%s", f.payloadByte(0), baudForIndex(f.payloadByte(0)),
                       f.payloadWord(1) == 0xFFFF ? " returning" : "");
        break;
    default:
        text += format(" code %d", f.code());
        break;
    }
    text += e.truncated ? " truncated" : "";
    text += e.garbled ? " garbled" : "";
    text += e.crcOk ? " crc ok" : " crc BAD";
    if (e.replied)
        text += format(" -> reply status %d", e.reply[3]);
    else
        text += " -> no reply";
    return text;
}

} // namespace ombrix

#include "core/device/linkjobs.h"

#include <utility>

namespace ombrix {

const char* linkJobName(LinkJobKind kind) {
    switch (kind) {
    case LinkJobKind::Connect:
        return "Connect";
    case LinkJobKind::Disconnect:
        return "Disconnect";
    case LinkJobKind::CheckConnection:
        return "Check connection";
    case LinkJobKind::ShowVersion:
        return "Show version";
    case LinkJobKind::ResetDsp:
        return "Reset DSP";
    case LinkJobKind::ChangeFrequency:
        return "Change frequency";
    case LinkJobKind::ChangeReference:
        return "Change reference voltage";
    case LinkJobKind::SendAll:
        return "Send all";
    case LinkJobKind::SendSamples:
        return "Send samples";
    case LinkJobKind::RunMask:
        return "Run mask";
    case LinkJobKind::PanelFrequency:
        return "Panel frequency";
    }
    return "";
}

bool holdsTheLink(LinkJobKind kind) {
    switch (kind) {
    case LinkJobKind::Connect:
    case LinkJobKind::Disconnect:
    case LinkJobKind::CheckConnection:
    case LinkJobKind::ShowVersion:
    case LinkJobKind::ResetDsp:
    case LinkJobKind::SendAll:
    case LinkJobKind::SendSamples:
        return true;
    case LinkJobKind::ChangeFrequency:
    case LinkJobKind::ChangeReference:
    case LinkJobKind::RunMask:
    case LinkJobKind::PanelFrequency:
        return false;
    }
    return true;
}

bool replacesWaiting(LinkJobKind kind) {
    return kind == LinkJobKind::PanelFrequency;
}

std::optional<QueuedJob> JobQueue::push(QueuedJob job) {
    if (replacesWaiting(job.kind) && !jobs_.empty() && jobs_.back().kind == job.kind) {
        QueuedJob replaced = std::exchange(jobs_.back(), std::move(job));
        return replaced;
    }
    jobs_.push_back(std::move(job));
    return std::nullopt;
}

std::optional<QueuedJob> JobQueue::pop() {
    if (jobs_.empty())
        return std::nullopt;
    QueuedJob next = std::move(jobs_.front());
    jobs_.erase(jobs_.begin());
    return next;
}

std::vector<QueuedJob> JobQueue::takeAll() {
    return std::exchange(jobs_, {});
}

} // namespace ombrix

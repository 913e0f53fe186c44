#include "links/agentWorker.h"

namespace ups {

AgentWorker::AgentWorker(const CfgSnmp& live, SnmpAgentTransport& transport, bool inPlace)
    : live_(live), transport_(transport), inPlace_(inPlace), thread_([this] { run(); }) {}

AgentWorker::~AgentWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void AgentWorker::post(const CfgSnmp& cfg, Call call) {
    if (inPlace_) {
        CfgSnmp copy = cfg;
        AgentLink link(copy, transport_);
        call(link);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Job{cfg, std::move(call)});
    }
    wake_.notify_one();
}

bool AgentWorker::requestStatus() {
    if (statusAsked_) return false;
    statusAsked_ = true;
    post([this](AgentLink& link) {
        const AgentStatusRead read = link.readAgentStatus();
        std::lock_guard lock(mutex_);
        status_ = read;
    });
    return true;
}

std::optional<AgentStatusRead> AgentWorker::takeStatus() {
    std::lock_guard lock(mutex_);
    if (!status_) return std::nullopt;
    const AgentStatusRead read = *status_;
    status_.reset();
    statusAsked_ = false;
    return read;
}

void AgentWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        AgentLink link(job.cfg, transport_);
        job.call(link);
        lock.lock();
    }
}

}  // namespace ups

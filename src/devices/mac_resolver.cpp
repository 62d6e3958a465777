#include "devices/mac_resolver.h"

#include "platform/mac_lookup.h"
#include "platform/thread_wake.h"

namespace tq50r::devices {

namespace {

std::optional<std::string> quickLookup(std::uint32_t address) {
    if (platform::isLoopbackIpv4(address))
        return std::string(platform::kLoopbackMac);
    return platform::neighbourMac(address);
}

std::optional<std::string> blockingLookup(std::uint32_t address, std::stop_token stop) {
    return platform::lookupMac(address, MacResolver::DefaultWait, std::move(stop));
}

} // namespace

MacResolver::MacResolver(QObject* parent, Lookup lookup, QuickLookup quick)
    : QObject(parent), lookup_(lookup ? std::move(lookup) : Lookup(blockingLookup)),
      quick_(quick ? std::move(quick) : QuickLookup(quickLookup)) {
    setObjectName(QStringLiteral("MacResolver"));
    wake_ = new platform::ThreadWake(this);
    connect(wake_, &platform::ThreadWake::woken, this, &MacResolver::takeResults);
}

MacResolver::~MacResolver() {
    // Each worker sees its stop request within one poll step of the table.
    for (auto& [address, worker] : workers_)
        worker.request_stop();
    workers_.clear();
}

std::optional<QString> MacResolver::request(std::uint32_t address) {
    if (const auto mac = quick_(address))
        return QString::fromStdString(*mac);
    if (!wake_->hasDescriptor() || workers_.contains(address) || workers_.size() >= MaxLookups)
        return std::nullopt;
    workers_.emplace(address, std::jthread([this, address](std::stop_token stop) {
                         Result result{address, lookup_(address, stop)};
                         {
                             const std::lock_guard lock(resultsMutex_);
                             results_.push_back(std::move(result));
                         }
                         wake_->wake();
                     }));
    return std::nullopt;
}

void MacResolver::takeResults() {
    std::deque<Result> taken;
    {
        const std::lock_guard lock(resultsMutex_);
        taken.swap(results_);
    }
    for (const Result& result : taken) {
        // The worker has handed over its result and ends now.
        workers_.erase(result.address);
        emit resolved(result.address, result.mac ? QString::fromStdString(*result.mac) : QString());
    }
}

} // namespace tq50r::devices

// Learns the MAC of a device that sent a datagram. A loopback address or an address already in
// the neighbour table answers at once; any other address is resolved on a worker thread, which
// hands the result back to the GUI thread. The lists are never touched off the GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace tq50r::platform {
class ThreadWake;
}

namespace tq50r::devices {

class MacResolver : public QObject {
    Q_OBJECT
public:
    // Blocking lookup run on a worker: the MAC text, or nothing.
    using Lookup = std::function<std::optional<std::string>(std::uint32_t, std::stop_token)>;
    // The answer at once, without blocking: the MAC text, or nothing.
    using QuickLookup = std::function<std::optional<std::string>(std::uint32_t)>;

    static constexpr std::chrono::milliseconds DefaultWait{1000};
    // Lookups under way at one time; a find beyond that is tried again on its next datagram.
    static constexpr std::size_t MaxLookups = 8;

    explicit MacResolver(QObject* parent = nullptr, Lookup lookup = {}, QuickLookup quick = {});
    ~MacResolver() override;

    // The MAC when it is known at once; otherwise a lookup is started (unless one runs for the
    // address already) and `resolved` follows.
    std::optional<QString> request(std::uint32_t address);
    bool isPending(std::uint32_t address) const { return workers_.contains(address); }
    std::size_t pendingCount() const { return workers_.size(); }

signals:
    // `mac` is empty when the address could not be resolved.
    void resolved(quint32 address, const QString& mac);

private:
    struct Result {
        std::uint32_t address = 0;
        std::optional<std::string> mac;
    };
    void takeResults();

    Lookup lookup_;
    QuickLookup quick_;
    std::map<std::uint32_t, std::jthread> workers_;
    std::mutex resultsMutex_;
    std::deque<Result> results_;
    platform::ThreadWake* wake_ = nullptr; // rung by a worker whose result waits
};

} // namespace tq50r::devices

#include "faults.h"

#include <algorithm>

namespace tq50r::sim {

namespace {

constexpr int ByteValues = 256;

Bytes garbageRun(std::mt19937& rng) {
    std::uniform_int_distribution<int> count(1, MaxGarbageBytes);
    std::uniform_int_distribution<int> value(0, ByteValues - 2);
    Bytes run(static_cast<std::size_t>(count(rng)));
    for (auto& b : run) {
        // Map 0..254 onto 0..255 without GarbageExcludedByte.
        const int v = value(rng);
        b = static_cast<std::uint8_t>(v >= GarbageExcludedByte ? v + 1 : v);
    }
    return run;
}

} // namespace

std::vector<Chunk> shapeAnswer(std::span<const Bytes> frames, const FaultSettings& faults,
                               std::mt19937& rng) {
    std::vector<Chunk> chunks;
    int nextDelayMs = faults.delayMs;
    for (const Bytes& frame : frames) {
        Bytes wire;
        if (faults.garbage) {
            wire = garbageRun(rng);
        }
        wire.insert(wire.end(), frame.begin(), frame.end());
        if (!faults.split || wire.size() < 2) {
            chunks.push_back(Chunk{nextDelayMs, std::move(wire)});
            nextDelayMs = 0;
            continue;
        }
        // At least two pieces, each at least one byte long.
        std::size_t pos = 0;
        while (pos < wire.size()) {
            const std::size_t left = wire.size() - pos;
            std::size_t take = left;
            if (pos == 0) {
                std::uniform_int_distribution<std::size_t> first(1, left - 1);
                take = first(rng);
            } else if (left > 1) {
                std::uniform_int_distribution<std::size_t> piece(1, left);
                take = piece(rng);
            }
            chunks.push_back(Chunk{pos == 0 ? nextDelayMs : SplitGapMs,
                                   Bytes(wire.begin() + static_cast<std::ptrdiff_t>(pos),
                                         wire.begin() + static_cast<std::ptrdiff_t>(pos + take))});
            pos += take;
            nextDelayMs = SplitGapMs;
        }
    }
    return chunks;
}

std::vector<SendClock::time_point> chunkTimes(std::span<const Chunk> chunks,
                                              SendClock::time_point now,
                                              SendClock::time_point notBefore) {
    std::vector<SendClock::time_point> times;
    times.reserve(chunks.size());
    auto previous = now;
    for (const Chunk& chunk : chunks) {
        const auto at = std::max(previous + std::chrono::milliseconds{chunk.delayMs}, notBefore);
        times.push_back(at);
        previous = at;
        notBefore = at;
    }
    return times;
}

} // namespace tq50r::sim

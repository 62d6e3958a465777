// Faults a simulated device can be told to show, and how they shape the bytes
// of an answer on their way out.
#pragma once

#include "protocol/frames.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace tq50r::sim {

using Bytes = std::vector<std::uint8_t>;

struct FaultSettings {
    bool silent = false;     // frames are read and stored but never answered
    bool refuse = false;     // the TCP port accepts no connection
    int delayMs = 0;         // every answer leaves this much later
    bool split = false;      // frames leave in random pieces, a short gap apart
    bool garbage = false;    // random bytes before every frame
    int dropAfterFrames = 0; // > 0: the TCP client is dropped after this many frames
};

// Garbage runs never hold the first header byte, so a receiver that
// resynchronises on the header finds every frame that follows.
inline constexpr std::uint8_t GarbageExcludedByte = protocol::FrameHeader[0];
inline constexpr int MaxGarbageBytes = 8;
// Pieces of a split frame leave this far apart so that they arrive in
// separate reads, even at a receiver whose event loop is busy.
inline constexpr int SplitGapMs = 10;

struct Chunk {
    int delayMs = 0; // after the previous chunk (the first: after the request)
    Bytes bytes;
};

// The chunks that carry `frames` (one answer) under `faults`. Concatenated in
// order they are the frames, each preceded by its garbage run if any.
std::vector<Chunk> shapeAnswer(std::span<const Bytes> frames, const FaultSettings& faults,
                               std::mt19937& rng);

using SendClock = std::chrono::steady_clock;

// When each chunk of an answer that is ready at `now` leaves. The first
// chunk's delay counts from `now`, so every answer leaves its delay after its
// own request however many answers are waiting; each later chunk follows the
// one before it. No chunk leaves before `notBefore` (when the last chunk
// already on its way leaves), so answers never overtake one another.
std::vector<SendClock::time_point> chunkTimes(std::span<const Chunk> chunks,
                                              SendClock::time_point now,
                                              SendClock::time_point notBefore);

} // namespace tq50r::sim

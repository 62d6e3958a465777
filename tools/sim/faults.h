// Faults a simulated device can be told to show, and how they shape the bytes
// of an answer on their way out.
#pragma once

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

// Garbage runs never hold 0x01, the first header byte, so a receiver that
// resynchronises on the header finds every frame that follows.
inline constexpr std::uint8_t GarbageExcludedByte = 0x01;
inline constexpr int MaxGarbageBytes = 8;
// Pieces of a split frame leave this far apart so that they arrive in
// separate reads.
inline constexpr int SplitGapMs = 4;

struct Chunk {
    int delayMs = 0; // after the previous chunk (the first: after the request)
    Bytes bytes;
};

// The chunks that carry `frames` (one answer) under `faults`. Concatenated in
// order they are the frames, each preceded by its garbage run if any.
std::vector<Chunk> shapeAnswer(std::span<const Bytes> frames, const FaultSettings& faults,
                               std::mt19937& rng);

} // namespace tq50r::sim

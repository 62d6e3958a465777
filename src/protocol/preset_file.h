// Preset files: one ParameterBlock as 74 text lines "0xHH" with CR LF line
// ends. Writing replaces the target atomically; reading says what is wrong
// and where when the file is not a preset.
#pragma once

#include "protocol/frames.h"

#include <cstddef>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace tq50r::protocol {

inline constexpr std::size_t PresetLineCount = ParameterBlockSize;
// Longest line accepted; a real line is four characters plus its line end.
inline constexpr std::size_t PresetMaxLineLength = 64;
inline constexpr std::string_view PresetSuffix = ".bin";

enum class PresetError {
    None,
    Unreadable, // cannot open or read the file
    Malformed,  // not 74 lines of numbers
    NotPreset,  // numbers, but first byte not 1 or sixth byte not 20 ("Invalid file")
    Unwritable, // cannot write the file
};

struct PresetReadResult {
    std::optional<ParameterBlock> block;
    PresetError error = PresetError::None;
    std::string message; // empty on success

    bool ok() const { return block.has_value(); }
};

struct PresetWriteResult {
    PresetError error = PresetError::None;
    std::string message;

    bool ok() const { return error == PresetError::None; }
};

// The file's text, exactly as written: 74 lines of "0x" and two upper-case digits, CR LF each.
std::string presetText(const ParameterBlock& block);

// Writes into a temporary file beside `path`, flushes it to disk and renames
// it over `path`, so an existing preset is either replaced whole or left as it was.
// A `path` that is a symbolic link has the file it points to replaced.
PresetWriteResult writePresetFile(const ParameterBlock& block, const std::filesystem::path& path);

// Reads the first 74 lines only (each line at most PresetMaxLineLength long).
// Lines end in CR LF, LF or CR; a leading UTF-8 byte-order mark is skipped.
// Each line is "0x" hexadecimal or plain decimal, surrounding blanks
// allowed; the low eight bits are kept. Offset 4 becomes 74.
PresetReadResult readPresetFile(const std::filesystem::path& path);
PresetReadResult readPreset(std::istream& in);
PresetReadResult readPreset(std::string_view bytes);

// `name` with ".bin" appended unless it already ends exactly (case-sensitive) in ".bin".
std::string presetFileName(std::string_view name);

} // namespace tq50r::protocol

// Reads arbitrary bytes as a preset file's content; a block that is accepted
// must survive writing it out as text and reading it back.
#include "protocol/preset_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tq50r::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const PresetReadResult result = readPreset(bytes);
    if (result.ok() && !result.message.empty()) {
        std::abort(); // success carries no message
    }
    if (!result.ok()) {
        if (result.message.empty() || result.error == PresetError::None) {
            std::abort(); // every failure says what is wrong
        }
        return 0;
    }
    const ParameterBlock& block = *result.block;
    if (block[LengthOffset] != ParameterBlockSize || block[0] != 1 || block[CommandOffset] != 20) {
        std::abort();
    }
    const PresetReadResult again = readPreset(presetText(block));
    if (!again.ok() || *again.block != block) {
        std::abort();
    }
    return 0;
}

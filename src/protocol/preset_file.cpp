#include "protocol/preset_file.h"

#include "base/unique_fd.h"
#include "protocol/hex_text.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tq50r::protocol {

namespace {

constexpr int EndOfInput = -1;
constexpr int ReadFailure = -2;
constexpr std::size_t ReadChunkSize = 4096;
constexpr mode_t NewFileMode = 0666; // less the process's file-creation mask
constexpr int TempNameAttempts = 100;
constexpr mode_t PermissionBits = 07777;
constexpr std::uint8_t ExpectedFirstByte = 0x01;
constexpr std::size_t CommandByteIndex = CommandOffset;
constexpr unsigned DecimalBase = 10;
constexpr unsigned ByteModulus = 256;
constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

std::string hexByte(std::uint8_t b) {
    std::string text = "0x";
    hex::appendByte(text, b);
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int digitValue(char c, unsigned base) {
    const int value = hex::digitValue(c);
    return value < static_cast<int>(base) ? value : -1;
}

// "0x" hexadecimal or decimal with an optional sign; the low eight bits of the number.
std::optional<std::uint8_t> parseNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    unsigned base = DecimalBase;
    bool negative = false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = hex::Base;
        text.remove_prefix(2);
    } else if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned value = 0; // kept modulo 256, so it never overflows
    for (char c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value * base + static_cast<unsigned>(digit)) % ByteModulus;
    }
    if (negative) {
        value = (ByteModulus - value) % ByteModulus;
    }
    return static_cast<std::uint8_t>(value);
}

PresetReadResult failure(PresetError error, std::string message) {
    PresetReadResult result;
    result.error = error;
    result.message = std::move(message);
    return result;
}

std::string lineWord(std::size_t n) {
    return n == 1 ? " line" : " lines";
}

// Reads at most 74 lines from `next` (a callable returning the next byte,
// EndOfInput or ReadFailure) and never more than PresetMaxLineLength + 1
// characters of any line.
template <typename NextByte>
PresetReadResult parsePreset(NextByte&& next, const std::string& source) {
    ParameterBlock block{};
    std::copy(FrameTrailer.begin(), FrameTrailer.end(), block.begin() + block::TrailerOffset);

    // A UTF-8 byte-order mark, as some text editors put in front of a file
    // they saved, is skipped; the first bytes are replayed when it is not one.
    std::array<int, Utf8Bom.size()> start{};
    std::size_t startCount = 0;
    while (startCount < start.size()) {
        const int c = next();
        start[startCount++] = c;
        if (c != static_cast<unsigned char>(Utf8Bom[startCount - 1])) {
            break;
        }
    }
    if (startCount == Utf8Bom.size() &&
        start.back() == static_cast<unsigned char>(Utf8Bom.back())) {
        startCount = 0;
    }
    std::size_t startPos = 0;
    auto get = [&]() -> int { return startPos < startCount ? start[startPos++] : next(); };

    std::string line;
    line.reserve(PresetMaxLineLength + 1);
    std::size_t lines = 0;
    bool atEnd = false;
    // A line ends in LF, CR LF or a lone CR; after a CR a LF belongs to the same line end.
    bool afterCr = false;
    while (lines < PresetLineCount && !atEnd) {
        line.clear();
        bool sawLineEnd = false;
        while (true) {
            const int c = get();
            if (c == ReadFailure) {
                return failure(PresetError::Unreadable,
                               "cannot read " + source + ": " + errnoText(errno));
            }
            if (c == EndOfInput) {
                atEnd = true;
                break;
            }
            if (afterCr) {
                afterCr = false;
                if (c == '\n') {
                    continue;
                }
            }
            if (c == '\n' || c == '\r') {
                afterCr = c == '\r';
                sawLineEnd = true;
                break;
            }
            if (line.size() == PresetMaxLineLength) {
                return failure(PresetError::Malformed,
                               "line " + std::to_string(lines + 1) + " is too long (more than " +
                                   std::to_string(PresetMaxLineLength) + " characters)");
            }
            line.push_back(static_cast<char>(c));
        }
        if (atEnd && !sawLineEnd && line.empty()) {
            break; // nothing after the last line end
        }
        ++lines;
        const auto value = parseNumber(line);
        if (!value) {
            const bool empty = line.find_first_not_of(" \t") == std::string::npos;
            return failure(PresetError::Malformed, "line " + std::to_string(lines) +
                                                       (empty ? " is empty" : " is not a number"));
        }
        block[lines - 1] = *value;
    }
    if (lines == 0) {
        return failure(PresetError::Malformed,
                       "file is empty, a preset has " + std::to_string(PresetLineCount) + " lines");
    }
    if (lines < PresetLineCount) {
        return failure(PresetError::Malformed, "file has only " + std::to_string(lines) +
                                                   lineWord(lines) + ", a preset has " +
                                                   std::to_string(PresetLineCount));
    }

    block[LengthOffset] = static_cast<std::uint8_t>(ParameterBlockSize);
    const auto settingCode = static_cast<std::uint8_t>(CommandCode::Setting);
    if (block[0] != ExpectedFirstByte) {
        return failure(PresetError::NotPreset, "not a preset: first byte is " + hexByte(block[0]) +
                                                   ", expected " + hexByte(ExpectedFirstByte));
    }
    if (block[CommandByteIndex] != settingCode) {
        return failure(PresetError::NotPreset, "not a preset: sixth byte is " +
                                                   hexByte(block[CommandByteIndex]) +
                                                   ", expected " + hexByte(settingCode));
    }
    PresetReadResult result;
    result.block = block;
    return result;
}

// A temporary file beside the target: closed, and removed unless released, on every way out.
class TempFile {
public:
    TempFile(base::UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        fd_.reset();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }
    int closeFd() { return fd_.close(); }
    void release() { path_.clear(); }

private:
    base::UniqueFd fd_;
    std::string path_;
};

// Creates a new, empty file beside the target, named after it and hidden,
// with the permissions a new file gets (0666 less the creation mask).
base::UniqueFd createTempFile(const std::filesystem::path& dir, const std::string& targetName,
                              std::string& createdName) {
    static std::atomic<unsigned> serial{0};
    base::UniqueFd fd;
    for (int attempt = 0; attempt < TempNameAttempts; ++attempt) {
        createdName = (dir / ("." + targetName + "." + std::to_string(::getpid()) + "." +
                              std::to_string(serial.fetch_add(1))))
                          .string();
        fd.reset(::open(createdName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode));
        if (fd || errno != EEXIST) {
            break;
        }
    }
    return fd;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::string presetText(const ParameterBlock& block) {
    std::string text;
    text.reserve(block.size() * (4 + LineEnd.size()));
    for (std::uint8_t b : block) {
        text += hexByte(b);
        text += LineEnd;
    }
    return text;
}

PresetWriteResult writePresetFile(const ParameterBlock& block, const std::filesystem::path& path) {
    const std::string target = path.string();
    auto fail = [&target](int error) {
        return PresetWriteResult{PresetError::Unwritable,
                                 "cannot write " + target + ": " + errnoText(error)};
    };
    if (path.filename().empty()) {
        return fail(EISDIR);
    }
    // A preset reached through a symbolic link is replaced where the link
    // points; the link itself stays.
    std::filesystem::path destination = path;
    std::error_code linkError;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, linkError))) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, linkError);
        if (!linkError) {
            destination = resolved;
        }
    }
    const std::filesystem::path dir =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    std::string tempName;
    base::UniqueFd fd = createTempFile(dir, destination.filename().string(), tempName);
    if (!fd) {
        return fail(errno);
    }
    TempFile temp(std::move(fd), tempName);

    // An existing preset keeps its permissions; a new one gets what the
    // process's file-creation mask allows, as any newly created file does.
    struct stat existing {};
    const bool replacing = ::stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    if ((replacing && ::fchmod(temp.fd(), existing.st_mode & PermissionBits) != 0) ||
        !writeAll(temp.fd(), presetText(block)) || ::fsync(temp.fd()) != 0) {
        return fail(errno);
    }
    if (temp.closeFd() != 0) {
        return fail(errno);
    }
    if (::rename(temp.path().c_str(), destination.c_str()) != 0) {
        return fail(errno);
    }
    temp.release();
    // Make the rename itself durable; a failure here leaves a complete file either way.
    if (const base::UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        dirFd) {
        ::fsync(dirFd.get());
    }
    return {};
}

PresetReadResult readPresetFile(const std::filesystem::path& path) {
    const std::string source = path.string();
    // Non-blocking open so that a named pipe without a writer cannot hang the caller.
    const base::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        return failure(PresetError::Unreadable, "cannot open " + source + ": " + errnoText(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        const std::string reason = S_ISDIR(info.st_mode) ? errnoText(EISDIR) : "not a regular file";
        return failure(PresetError::Unreadable, "cannot open " + source + ": " + reason);
    }
    std::array<char, ReadChunkSize> buffer{};
    std::size_t have = 0;
    std::size_t pos = 0;
    auto next = [&]() -> int {
        if (pos == have) {
            ssize_t n = 0;
            do {
                n = ::read(fd.get(), buffer.data(), buffer.size());
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                return ReadFailure;
            }
            if (n == 0) {
                return EndOfInput;
            }
            have = static_cast<std::size_t>(n);
            pos = 0;
        }
        return static_cast<unsigned char>(buffer[pos++]);
    };
    return parsePreset(next, source);
}

PresetReadResult readPreset(std::istream& in) {
    std::streambuf* buf = in.rdbuf();
    auto next = [buf]() -> int {
        if (buf == nullptr) {
            return EndOfInput;
        }
        const auto c = buf->sbumpc();
        return std::char_traits<char>::eq_int_type(c, std::char_traits<char>::eof())
                   ? EndOfInput
                   : static_cast<int>(
                         static_cast<unsigned char>(std::char_traits<char>::to_char_type(c)));
    };
    return parsePreset(next, "stream");
}

PresetReadResult readPreset(std::string_view bytes) {
    std::size_t pos = 0;
    auto next = [&]() -> int {
        return pos < bytes.size() ? static_cast<int>(static_cast<unsigned char>(bytes[pos++]))
                                  : EndOfInput;
    };
    return parsePreset(next, "input");
}

std::string presetFileName(std::string_view name) {
    std::string result(name);
    if (!name.ends_with(PresetSuffix)) {
        result += PresetSuffix;
    }
    return result;
}

} // namespace tq50r::protocol

#include "protocol/preset_file.h"
#include "support/comma_locale.h"
#include "support/open_descriptors.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq50r::protocol {
namespace {

namespace fs = std::filesystem;

class PresetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tq50r-preset-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& content) const {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

// `lines` copies of the lines of a valid preset, with line k replaced by `replacement` if given.
std::string presetLines(std::size_t lines = PresetLineCount, std::size_t replaced = 0,
                        const std::string& replacement = "") {
    const std::string valid = presetText(buildParameterBlock(eq::startSetting(), false));
    std::string out;
    std::istringstream in(valid);
    std::string line;
    for (std::size_t k = 1; k <= lines && std::getline(in, line); ++k) {
        out += (k == replaced ? replacement : line.substr(0, line.size() - 1)) + "\r\n";
    }
    return out;
}

TEST_F(PresetFileTest, WrittenFileReadsBackUnchanged) {
    ParameterBlock block = buildParameterBlock(eq::startSetting(), false);
    block[50] = 0xAB; // reserved bytes travel unchanged
    const fs::path path = dir / "start.bin";
    ASSERT_TRUE(writePresetFile(block, path).ok());

    const std::string text = slurp(path);
    EXPECT_EQ(text.size(), 74u * 6u);
    EXPECT_EQ(text.substr(0, 6 * 8),
              "0x01\r\n0x20\r\n0x03\r\n0x40\r\n0x4A\r\n0x14\r\n0x01\r\n0x79\r\n");
    EXPECT_EQ(text.substr(6 * 16, 6 * 6), "0x01\r\n0x00\r\n0x00\r\n0x18\r\n0x23\r\n0x00\r\n");
    EXPECT_EQ(text.substr(6 * 50, 6), "0xAB\r\n");
    EXPECT_EQ(text.substr(text.size() - 18), "0x01\r\n0x05\r\n0x60\r\n");

    const PresetReadResult read = readPresetFile(path);
    ASSERT_TRUE(read.ok()) << read.message;
    EXPECT_EQ(*read.block, block);
    EXPECT_EQ(entries(), 1u); // no temporary file left behind

    // Overwriting keeps one file with the new content.
    ASSERT_TRUE(writePresetFile(ResetBlock, path).ok());
    EXPECT_EQ(*readPresetFile(path).block, ResetBlock);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(PresetFileTest, LenientLineFormats) {
    std::string text = presetLines(70);
    text += "  1\r\n";   // decimal, leading blanks
    text += "0x1F05 \n"; // low eight bits only, no CR, trailing blank
    text += "352\r\n";   // 352 & 0xFF = 0x60
    text += "0xff";      // last line without line end, lower case
    const auto read = readPreset(text);
    ASSERT_TRUE(read.ok()) << read.message;
    EXPECT_EQ((*read.block)[70], 1);
    EXPECT_EQ((*read.block)[71], 0x05);
    EXPECT_EQ((*read.block)[72], 0x60);
    EXPECT_EQ((*read.block)[73], 0xFF); // lines 71..73 overwrite the trailer like any other
    EXPECT_EQ((*readPreset(presetLines(74, 5, "0x09")).block)[4], 74); // length is always 74
    EXPECT_EQ((*readPreset(presetLines(74, 8, "-1")).block)[7], 0xFF);
    // Lines after the 74th are ignored.
    EXPECT_EQ((*readPreset(presetLines() + "not a preset line\r\n").block)[0], 1);

    // Other line ends and a byte-order mark give the same block as the file as written.
    const ParameterBlock expected = *readPreset(presetLines()).block;
    std::string crOnly = presetLines();
    std::erase(crOnly, '\n');
    std::string lfOnly = presetLines();
    std::erase(lfOnly, '\r');
    for (const std::string& variant : {crOnly, lfOnly, "\xEF\xBB\xBF" + presetLines()}) {
        const auto other = readPreset(variant);
        ASSERT_TRUE(other.ok()) << other.message;
        EXPECT_EQ(*other.block, expected);
    }
    // Part of a byte-order mark is no number; a CR LF is one line end, a CR CR two.
    EXPECT_EQ(readPreset("\xEF\xBB" + presetLines()).message, "line 1 is not a number");
    EXPECT_EQ(readPreset(presetLines(73) + "0x60\r\r\n").block.value()[73], 0x60);
    EXPECT_EQ(readPreset(presetLines(4) + "0x4A\r\r" + presetLines(70)).message, "line 6 is empty");
}

TEST_F(PresetFileTest, BadContentIsRejectedWithItsReason) {
    struct Case {
        std::string content;
        PresetError error;
        std::string message;
    };
    const Case cases[] = {
        {"", PresetError::Malformed, "file is empty, a preset has 74 lines"},
        {presetLines(40), PresetError::Malformed, "file has only 40 lines, a preset has 74"},
        {"0x01", PresetError::Malformed, "file has only 1 line, a preset has 74"},
        {presetLines(74, 12, "0xZZ"), PresetError::Malformed, "line 12 is not a number"},
        {presetLines(74, 12, "12abc"), PresetError::Malformed, "line 12 is not a number"},
        {presetLines(74, 3, "0x"), PresetError::Malformed, "line 3 is not a number"},
        {presetLines(74, 30, "  \r"), PresetError::Malformed, "line 30 is empty"},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0",
                     10) +
             std::string(100, '\xFF'),
         PresetError::Malformed, "line 1 is too long (more than 64 characters)"},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), PresetError::Malformed,
         "line 1 is not a number"},
        {presetLines(74, 1, "0x02"), PresetError::NotPreset,
         "not a preset: first byte is 0x02, expected 0x01"},
        {presetLines(74, 6, "21"), PresetError::NotPreset,
         "not a preset: sixth byte is 0x15, expected 0x14"},
    };
    for (const Case& c : cases) {
        const PresetReadResult read = readPresetFile(write("bad.bin", c.content));
        EXPECT_FALSE(read.ok());
        EXPECT_EQ(read.error, c.error) << c.message;
        EXPECT_EQ(read.message, c.message);
    }

    const PresetReadResult missing = readPresetFile(dir / "missing.bin");
    EXPECT_EQ(missing.error, PresetError::Unreadable);
    EXPECT_EQ(missing.message,
              "cannot open " + (dir / "missing.bin").string() + ": No such file or directory");
    const PresetReadResult directory = readPresetFile(dir);
    EXPECT_EQ(directory.error, PresetError::Unreadable);
    EXPECT_EQ(directory.message, "cannot open " + dir.string() + ": Is a directory");
    const fs::path fifo = dir / "pipe.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readPresetFile(fifo).message,
              "cannot open " + fifo.string() + ": not a regular file");
}

TEST_F(PresetFileTest, HugeFilesAreReadOnlyAsFarAsNeeded) {
    constexpr off_t OneGiB = off_t{1} << 30;
    // A valid preset followed by a gigabyte of (sparse) zeros.
    const fs::path padded = write("padded.bin", presetLines());
    ASSERT_EQ(::truncate(padded.c_str(), OneGiB), 0);
    const auto read = readPresetFile(padded);
    ASSERT_TRUE(read.ok()) << read.message;

    // A gigabyte of zeros without a line end: one enormous line.
    const fs::path zeros = write("zeros.bin", "");
    ASSERT_EQ(::truncate(zeros.c_str(), OneGiB), 0);
    EXPECT_EQ(readPresetFile(zeros).message, "line 1 is too long (more than 64 characters)");

    // An endless stream: only what the first 74 lines need is taken from it.
    class Endless : public std::streambuf {
    public:
        std::size_t served = 0;

    protected:
        int_type underflow() override {
            served += line.size();
            setg(line.data(), line.data(), line.data() + line.size());
            return traits_type::to_int_type(line[0]);
        }

    private:
        std::string line = "0x01\r\n0x20\r\n0x03\r\n0x40\r\n0x4A\r\n0x14\r\n";
    };
    Endless source;
    std::istream in(&source);
    EXPECT_TRUE(readPreset(in).ok());
    EXPECT_LE(source.served, 74u * 6u + 36u);
}

TEST_F(PresetFileTest, NewFilesFollowTheCreationMaskAndLinksAreWrittenThrough) {
    const mode_t savedMask = ::umask(027);
    const fs::path fresh = dir / "fresh.bin";
    const bool written = writePresetFile(ResetBlock, fresh).ok();
    ::umask(savedMask);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(fresh).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // An existing preset keeps its own permissions.
    fs::permissions(fresh, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    ASSERT_TRUE(writePresetFile(buildParameterBlock(eq::startSetting(), false), fresh).ok());
    EXPECT_EQ(fs::status(fresh).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);

    // Saving through a link replaces the file it points to and keeps the link.
    fs::create_directory(dir / "library");
    const fs::path real = dir / "library" / "real.bin";
    ASSERT_TRUE(writePresetFile(ResetBlock, real).ok());
    const fs::path link = dir / "link.bin";
    fs::create_symlink(real, link);
    const ParameterBlock changed = buildParameterBlock(eq::startSetting(), false);
    ASSERT_TRUE(writePresetFile(changed, link).ok());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(*readPresetFile(real).block, changed);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "library"), {}), 1);
}

TEST_F(PresetFileTest, FailedWriteLeavesTheOldPresetIntact) {
    const fs::path path = dir / "keep.bin";
    ASSERT_TRUE(writePresetFile(ResetBlock, path).ok());
    const std::string before = slurp(path);

    // The write fails half way: the file-size limit stops it after 100 bytes.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const PresetWriteResult result =
        writePresetFile(buildParameterBlock(eq::startSetting(), false), path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.error, PresetError::Unwritable);
    EXPECT_EQ(result.message, "cannot write " + path.string() + ": File too large");
    EXPECT_EQ(slurp(path), before);
    EXPECT_EQ(entries(), 1u);

    // The target is a directory, or its folder does not exist.
    fs::create_directory(dir / "sub");
    const PresetWriteResult onDirectory = writePresetFile(ResetBlock, dir / "sub");
    EXPECT_EQ(onDirectory.error, PresetError::Unwritable);
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_TRUE(fs::is_empty(dir / "sub"));
    EXPECT_EQ(entries(), 2u);
    EXPECT_FALSE(writePresetFile(ResetBlock, dir / "none" / "x.bin").ok());
}

TEST_F(PresetFileTest, NoDescriptorStaysOpenOnAnyWayOut) {
    write("good.bin", presetLines());
    write("bad.bin", presetLines(3));
    fs::create_directory(dir / "sub");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const long leaked = tq50r::testing::descriptorsLeakedBy([&] {
        EXPECT_EQ(readPresetFile(dir / "missing.bin").error, PresetError::Unreadable);
        EXPECT_EQ(readPresetFile(dir / "sub").error, PresetError::Unreadable);
        EXPECT_EQ(readPresetFile(dir / "pipe").error, PresetError::Unreadable);
        EXPECT_EQ(readPresetFile(dir / "bad.bin").error, PresetError::Malformed);
        EXPECT_TRUE(readPresetFile(dir / "good.bin").ok());
        EXPECT_FALSE(writePresetFile(ResetBlock, dir / "none" / "x.bin").ok());
        EXPECT_FALSE(writePresetFile(ResetBlock, dir / "sub").ok()); // written, then not renamed
        EXPECT_TRUE(writePresetFile(ResetBlock, dir / "new.bin").ok());
    });
    EXPECT_EQ(leaked, 0);
    EXPECT_EQ(entries(), 5u) << "no temporary file left behind";
}

TEST(PresetFileName, SuffixRule) {
    EXPECT_EQ(presetFileName("preset"), "preset.bin");
    EXPECT_EQ(presetFileName("preset.bin"), "preset.bin");
    EXPECT_EQ(presetFileName("PRESET.BIN"), "PRESET.BIN.bin");
    EXPECT_EQ(presetFileName("a.bin.txt"), "a.bin.txt.bin");
    EXPECT_EQ(presetFileName(".bin"), ".bin");
    EXPECT_EQ(presetFileName("bin"), "bin.bin");
}

// File text must not follow the user's number formatting.
TEST_F(PresetFileTest, TextIsTheSameUnderADecimalCommaLocale) {
    const ParameterBlock block = buildParameterBlock(eq::startSetting(), false);
    const fs::path path = dir / "comma.bin";
    bool written = false;
    std::optional<PresetReadResult> read;
    {
        const tq50r::testing::CommaLocale comma;
        ASSERT_TRUE(comma.active()) << "de_DE.UTF-8 is missing: run scripts/install-deps.sh";
        written = writePresetFile(block, path).ok();
        read = readPreset(presetLines(74, 8, "1000"));
    }
    ASSERT_TRUE(written);
    EXPECT_EQ(slurp(path), presetText(block));
    EXPECT_EQ(slurp(path).substr(0, 6), "0x01\r\n");
    ASSERT_TRUE(read->ok());
    EXPECT_EQ((*read->block)[7], 1000 % 256);
}

} // namespace
} // namespace tq50r::protocol

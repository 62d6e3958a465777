// The layers: no folder includes one above or beside it, no plain C++ layer includes Qt, and the
// build links only downwards. A scratch copy of the source tree with a bad include planted in it
// shows that the check finds what it is there for.
#include "layers/include_graph.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef TQ50R_SOURCE_DIR
#error "TQ50R_SOURCE_DIR must name the top folder of the sources"
#endif
#ifndef TQ50R_LIBRARY_LINKS_FILE
#error "TQ50R_LIBRARY_LINKS_FILE must name the library links file of the build"
#endif

namespace tq50r::layers {
namespace {

namespace fs = std::filesystem;

std::string describe(const std::vector<Violation>& violations) {
    std::string text;
    for (const Violation& v : violations) {
        text += toString(v) + "\n";
    }
    return text;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Layers, SourceTreeIncludesOnlyDownwards) {
    const LayerTable table(programLayers());
    const std::vector<Violation> violations = checkIncludes(TQ50R_SOURCE_DIR, table);
    EXPECT_TRUE(violations.empty()) << describe(violations);
}

TEST(Layers, BuildLinksOnlyDownwards) {
    std::ifstream links(TQ50R_LIBRARY_LINKS_FILE);
    ASSERT_TRUE(links) << TQ50R_LIBRARY_LINKS_FILE;
    std::stringstream text;
    text << links.rdbuf();
    // Every build has these layers; a file without them was not written by this build.
    const std::string lines = "\n" + text.str();
    for (const char* line : {"base:", "eq:", "protocol: base eq", "plot/core:", "platform: base"}) {
        EXPECT_NE(lines.find(std::string("\n") + line), std::string::npos)
            << "no line '" << line << "' in" << lines;
    }
    const std::vector<Violation> violations = checkLinks(text, LayerTable(programLayers()));
    EXPECT_TRUE(violations.empty()) << describe(violations);
}

// ---- the check itself, on a scratch copy of the tree --------------------------------------

class PlantedInclude : public ::testing::Test {
protected:
    // A copy of src/ and tools/ for each test, so that nothing is ever planted in the real tree.
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / ("tq50r-layers-" + std::to_string(::getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        for (const char* dir : {"src", "tools"}) {
            fs::copy(fs::path(TQ50R_SOURCE_DIR) / dir, scratch_ / dir, fs::copy_options::recursive);
        }
    }
    void TearDown() override { fs::remove_all(scratch_); }

    // Adds `line` to the end of `file` (made when missing), checks, and puts the file back.
    std::vector<Violation> checkWith(const std::string& file, const std::string& line) {
        const fs::path path = scratch_ / file;
        const bool existed = fs::exists(path);
        const std::string before = existed ? readFile(path) : std::string();
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::app) << "\n" << line << "\n";
        std::vector<Violation> found = checkIncludes(scratch_, LayerTable(programLayers()));
        if (existed) {
            std::ofstream(path, std::ios::trunc) << before;
        } else {
            fs::remove(path);
        }
        return found;
    }

    fs::path scratch_;
};

struct Planting {
    const char* file;
    const char* line;
    const char* why; // a part of the message, or nullptr when the include is allowed
};

TEST_F(PlantedInclude, TheCopyIsCleanBeforeAnythingIsPlanted) {
    const std::vector<Violation> violations = checkIncludes(scratch_, LayerTable(programLayers()));
    EXPECT_TRUE(violations.empty()) << describe(violations);
}

TEST_F(PlantedInclude, IsReportedWhereItGoesUpOrSideways) {
    const Planting cases[] = {
        // Upwards.
        {"src/eq/eq_setting.h", "#include \"devices/device_list.h\"", "eq does not use devices"},
        {"src/plot/core/canvas.h", "#include \"plot/qimage_canvas.h\"",
         "plot/core does not use plot"},
        {"src/devices/device_list.cpp", "#include \"devices/ui/device_panel.h\"",
         "devices does not use devices/ui"},
        {"src/editor/fader.cpp", "#include \"app/main_window.h\"", "editor does not use app"},
        {"src/protocol/frames.h", "#include \"tq50r_version.h\"",
         "protocol does not use the version"},
        // Sideways.
        {"src/protocol/frames.cpp", "#include \"plot/core/canvas.h\"",
         "protocol does not use plot/core"},
        {"src/widgets/link_label.cpp", "#include \"editor/skin.h\"", "widgets does not use editor"},
        {"tools/sim/faults.cpp", "#include \"devices/connection.h\"",
         "tools/sim does not use devices"},
        // Past the include roots, next to the including file.
        {"src/eq/history.cpp", "#include \"../protocol/frames.h\"", "eq does not use protocol"},
        {"src/devices/discovery.cpp", "#include \"ui/device_panel.h\"",
         "devices does not use devices/ui"},
        // Qt where it has no place.
        {"src/eq/response.cpp", "#include <QString>", "eq uses no Qt"},
        {"src/plot/core/fft_draw.cpp", "#  include <QtGui/QPainter>", "plot/core uses no Qt"},
        {"src/devices/discovery.h", "#include <QtWidgets/QWidget>", "devices uses only Qt Core"},
        {"src/devices/discovery.cpp", "#include <QtNetwork/QUdpSocket>",
         "devices uses only Qt Core"},
        // Nothing to find, or no layer to find it in.
        {"src/eq/encoding.cpp", "#include \"eq/no_such_header.h\"", "no such file"},
        {"src/newfolder/thing.cpp", "#include \"eq/eq_setting.h\"", "belongs to no layer"},
    };
    for (const Planting& c : cases) {
        const std::vector<Violation> found = checkWith(c.file, c.line);
        ASSERT_EQ(found.size(), 1u) << c.file << " << " << c.line << "\n" << describe(found);
        EXPECT_EQ(found[0].file, c.file);
        EXPECT_NE(found[0].what.find(c.why), std::string::npos) << toString(found[0]);
    }
}

TEST_F(PlantedInclude, PassesWhereItGoesDown) {
    const Planting cases[] = {
        {"src/app/status_row.cpp", "#include \"eq/response.h\"", nullptr}, // through editor
        {"src/app/main_window.cpp", "#include \"transport/com_port.h\"", nullptr},
        {"src/devices/ui/device_panel.cpp", "#include \"devices/device_list.h\"", nullptr},
        {"src/plot/qimage_canvas.cpp", "#include \"plot/core/canvas.h\"", nullptr},
        {"src/transport/com_port.cpp", "#include \"eq/eq_setting.h\"", nullptr}, // via protocol
        {"src/devices/discovery.cpp", "#include <QtCore/QTimer>", nullptr},
        {"src/eq/response.cpp", "#include <queue>", nullptr},
        {"tools/sim/faults.cpp", "#include \"tq50r_version.h\"", nullptr},
    };
    for (const Planting& c : cases) {
        const std::vector<Violation> found = checkWith(c.file, c.line);
        EXPECT_TRUE(found.empty()) << c.file << " << " << c.line << "\n" << describe(found);
    }
}

TEST(LibraryLinks, AreReportedWhereTheyGoUpOrPullInTooMuchQt) {
    const struct {
        const char* line;
        const char* why; // nullptr: allowed
    } cases[] = {
        {"eq:", nullptr},
        {"devices/ui: Qt6::Widgets devices editor widgets", nullptr},
        {"app: devices/ui transport", nullptr},
        {"protocol: base eq devices", "links devices, which it does not use"},
        {"plot/core: plot", "links plot, which it does not use"},
        {"eq: Qt6::Core", "links Qt6::Core but uses no Qt"},
        {"devices: transport Qt6::Network", "links Qt6::Network but uses only"},
        {"devices: transport Qt6::Core Qt6::Widgets", "links Qt6::Widgets but uses only"},
        {"transport: nowhere", "links nowhere, which is no layer"},
        {"tests/support: transport", "a library of a folder that is no layer"},
    };
    const LayerTable table(programLayers());
    for (const auto& c : cases) {
        std::istringstream links(c.line);
        const std::vector<Violation> found = checkLinks(links, table);
        if (c.why == nullptr) {
            EXPECT_TRUE(found.empty()) << c.line << "\n" << describe(found);
        } else {
            ASSERT_EQ(found.size(), 1u) << c.line << "\n" << describe(found);
            EXPECT_NE(found[0].what.find(c.why), std::string::npos) << toString(found[0]);
        }
    }
}

} // namespace
} // namespace tq50r::layers

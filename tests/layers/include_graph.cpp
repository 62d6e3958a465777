#include "layers/include_graph.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

namespace tq50r::layers {

namespace fs = std::filesystem;

const std::vector<Layer>& programLayers() {
    // Arrows point down only: a layer lists what it uses, and may include that and whatever that
    // uses in turn. Keep in step with the LINK lists of the folders' CMakeLists.txt (the test
    // checks the links against this table too).
    static const std::vector<Layer> layers = {
        // Plain C++.
        {"base", QtUse::None, {}},
        {"version", QtUse::None, {}}, // the generated tq50r_version.h
        {"eq", QtUse::None, {}},
        {"protocol", QtUse::None, {"base", "eq"}},
        {"plot/core", QtUse::None, {}},
        // Qt Core only: the sockets are our own, so the programs never load Qt Network.
        {"platform", QtUse::Core, {"base"}},
        {"transport", QtUse::Core, {"base", "protocol", "platform"}},
        {"devices", QtUse::Core, {"base", "eq", "protocol", "platform", "transport"}},
        // Widgets.
        {"widgets", QtUse::Widgets, {}},
        {"plot", QtUse::Widgets, {"plot/core"}},
        {"editor", QtUse::Widgets, {"eq", "protocol", "plot", "platform"}},
        {"devices/ui", QtUse::Widgets, {"devices", "editor", "widgets"}},
        {"app",
         QtUse::Widgets,
         {"version", "eq", "protocol", "editor", "widgets", "plot", "devices", "devices/ui"}},
        // The programs in tools/.
        {"tools/sim", QtUse::None, {"base", "eq", "protocol", "version"}},
        {"tools/cli", QtUse::Core, {"eq", "protocol", "platform", "devices", "version"}},
        {"tools/plot-render", QtUse::Widgets, {"plot"}},
        {"tools/skin-sheet", QtUse::Widgets, {"editor", "widgets"}},
        {"tools/skin-bake", QtUse::Widgets, {"editor"}},
        {"tools/icon-render", QtUse::Widgets, {}},
    };
    return layers;
}

std::string toString(const Violation& v) {
    std::ostringstream out;
    out << v.file;
    if (v.line > 0) {
        out << ':' << v.line;
    }
    out << ": " << v.what;
    return out.str();
}

LayerTable::LayerTable(std::vector<Layer> layers) : layers_(std::move(layers)) {}

const Layer* LayerTable::layerNamed(const std::string& folder) const {
    const auto it = std::find_if(layers_.begin(), layers_.end(),
                                 [&](const Layer& l) { return l.folder == folder; });
    return it == layers_.end() ? nullptr : &*it;
}

const Layer* LayerTable::layerOfFile(const std::string& relativePath) const {
    // src/ holds the layers by their own names; tools/ and the rest go by the full path.
    std::string path = relativePath;
    if (path.rfind("src/", 0) == 0) {
        path = path.substr(4);
    }
    const Layer* best = nullptr;
    for (const Layer& layer : layers_) {
        const bool holds = path.size() > layer.folder.size() &&
                           path.compare(0, layer.folder.size(), layer.folder) == 0 &&
                           path[layer.folder.size()] == '/';
        if (holds && (best == nullptr || layer.folder.size() > best->folder.size())) {
            best = &layer;
        }
    }
    return best;
}

bool LayerTable::mayUse(const Layer& from, const Layer& to) const {
    std::set<std::string> seen;
    std::vector<std::string> open{from.folder};
    while (!open.empty()) {
        const std::string folder = open.back();
        open.pop_back();
        if (folder == to.folder) {
            return true;
        }
        if (!seen.insert(folder).second) {
            continue;
        }
        if (const Layer* layer = layerNamed(folder)) {
            open.insert(open.end(), layer->uses.begin(), layer->uses.end());
        }
    }
    return false;
}

namespace {

constexpr const char* GeneratedVersionHeader = "tq50r_version.h";

const char* qtUseName(QtUse use) {
    switch (use) {
    case QtUse::None:
        return "no Qt";
    case QtUse::Core:
        return "only Qt Core";
    case QtUse::Widgets:
        return "any Qt";
    }
    return "?";
}

// Whether a layer with `use` may use the Qt module `module` ("" for a header given without its
// module, which only a layer without Qt is refused).
bool qtAllowed(QtUse use, const std::string& module) {
    switch (use) {
    case QtUse::None:
        return false;
    case QtUse::Core:
        return module.empty() || module == "Core";
    case QtUse::Widgets:
        return true;
    }
    return false;
}

// The Qt module of an include in angle brackets: "Widgets" for <QtWidgets/QWidget>, "" for
// <QString> (a class header without its module); nullopt when it is not a Qt header.
std::optional<std::string> qtModuleOf(const std::string& header) {
    static const std::regex withModule(R"(^(qt6/)?Qt([A-Za-z]+)/)");
    static const std::regex classHeader(R"(^Q[A-Za-z0-9]+$)");
    std::smatch m;
    if (std::regex_search(header, m, withModule)) {
        return m[2].str();
    }
    if (std::regex_match(header, classHeader)) {
        return std::string();
    }
    return std::nullopt;
}

std::string relativeTo(const fs::path& top, const fs::path& path) {
    return path.lexically_normal().lexically_relative(top.lexically_normal()).generic_string();
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

struct Include {
    int line = 0;
    bool angled = false;
    std::string header;
};

std::vector<Include> includesOf(const fs::path& file) {
    static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    std::ifstream in(file);
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::smatch m;
        if (std::regex_search(text, m, directive)) {
            out.push_back({line, m[1].str() == "<", m[2].str()});
        }
    }
    return out;
}

// Where the build finds a project header: next to the including file (quoted includes only),
// then in the include roots, which hold the headers of src/ and of the tools' libraries under
// their paths from src/ and from the top folder.
std::optional<fs::path> resolve(const fs::path& top, const fs::path& includer, const Include& inc) {
    if (!inc.angled) {
        const fs::path beside = includer.parent_path() / inc.header;
        if (isFile(beside)) {
            return beside.lexically_normal();
        }
    }
    if (isFile(top / "src" / inc.header)) {
        return (top / "src" / inc.header).lexically_normal();
    }
    if (inc.header.rfind("tools/", 0) == 0 && isFile(top / inc.header)) {
        return (top / inc.header).lexically_normal();
    }
    return std::nullopt;
}

void checkFile(const fs::path& top, const fs::path& file, const LayerTable& table,
               std::vector<Violation>& out) {
    const std::string rel = relativeTo(top, file);
    const Layer* layer = table.layerOfFile(rel);
    if (layer == nullptr) {
        out.push_back({rel, 0, "belongs to no layer (add its folder to the table of layers)"});
        return;
    }
    for (const Include& inc : includesOf(file)) {
        const auto say = [&](const std::string& what) {
            out.push_back({rel, inc.line, "includes " + inc.header + ": " + what});
        };
        const std::optional<fs::path> found = resolve(top, file, inc);
        if (!found) {
            if (inc.angled) {
                if (const auto module = qtModuleOf(inc.header);
                    module && !qtAllowed(layer->qt, *module)) {
                    say(layer->folder + " uses " + qtUseName(layer->qt));
                }
                continue; // the system's and the toolkit's headers
            }
            if (inc.header == GeneratedVersionHeader) {
                const Layer* version = table.layerNamed("version");
                if (version == nullptr || !table.mayUse(*layer, *version)) {
                    say(layer->folder + " does not use the version");
                }
                continue;
            }
            say("no such file in the source tree");
            continue;
        }
        const std::string target = relativeTo(top, *found);
        const Layer* used = table.layerOfFile(target);
        if (used == nullptr) {
            say(target + " belongs to no layer");
        } else if (!table.mayUse(*layer, *used)) {
            say(layer->folder + " does not use " + used->folder);
        }
    }
}

} // namespace

std::vector<Violation> checkIncludes(const fs::path& top, const LayerTable& table) {
    std::vector<fs::path> files;
    for (const char* dir : {"src", "tools"}) {
        if (!fs::is_directory(top / dir)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(top / dir)) {
            const fs::path& p = entry.path();
            if (entry.is_regular_file() && (p.extension() == ".h" || p.extension() == ".cpp")) {
                files.push_back(p);
            }
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<Violation> out;
    for (const fs::path& file : files) {
        checkFile(top, file, table, out);
    }
    return out;
}

std::vector<Violation> checkLinks(std::istream& links, const LayerTable& table) {
    std::vector<Violation> out;
    std::string text;
    for (int line = 1; std::getline(links, text); ++line) {
        if (text.empty()) {
            continue;
        }
        const auto colon = text.find(':');
        const std::string folder = text.substr(0, colon);
        const auto say = [&](const std::string& what) {
            out.push_back({"library links", line, folder + ": " + what});
        };
        const Layer* layer = colon == std::string::npos ? nullptr : table.layerNamed(folder);
        if (layer == nullptr) {
            say("a library of a folder that is no layer");
            continue;
        }
        std::istringstream words(text.substr(colon + 1));
        std::string used;
        while (words >> used) {
            if (used.rfind("Qt6::", 0) == 0) {
                if (!qtAllowed(layer->qt, used.substr(5))) {
                    say("links " + used + " but uses " + qtUseName(layer->qt));
                }
            } else if (const Layer* usedLayer = table.layerNamed(used); usedLayer == nullptr) {
                say("links " + used + ", which is no layer");
            } else if (!table.mayUse(*layer, *usedLayer)) {
                say("links " + used + ", which it does not use");
            }
        }
    }
    return out;
}

} // namespace tq50r::layers

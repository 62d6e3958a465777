#pragma once
// The layer check: which folder may include which, and whether its includes and the libraries the
// build links keep to that.
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace tq50r::layers {

/// How much of Qt a layer may use.
enum class QtUse {
    None,    // plain C++
    Core,    // Qt Core only, no Network, Gui or Widgets
    Widgets, // any Qt module
};

/// A folder of src/ ("eq", "plot/core") or of the top folder ("tools/sim"), or "version" for the
/// generated tq50r_version.h, and the layers it uses directly. What those use may be included too.
struct Layer {
    std::string folder;
    QtUse qt = QtUse::None;
    std::vector<std::string> uses;
};

/// The layers of the program, bottom up: the one table the include graph test checks against.
const std::vector<Layer>& programLayers();

struct Violation {
    std::string file; // relative to the top folder
    int line = 0;     // 0: the whole file
    std::string what;
};

std::string toString(const Violation& v);

class LayerTable {
public:
    explicit LayerTable(std::vector<Layer> layers);

    /// The layer a path relative to the top folder belongs to (the longest folder that holds it),
    /// or nullptr.
    const Layer* layerOfFile(const std::string& relativePath) const;
    const Layer* layerNamed(const std::string& folder) const;
    /// Whether `from` may include `to`: the same layer, or one it uses, directly or not.
    bool mayUse(const Layer& from, const Layer& to) const;

private:
    std::vector<Layer> layers_;
};

/// Every include of every .h and .cpp under top/src and top/tools, resolved as the compiler does
/// (next to the including file first, then from src/, tools/ from the top folder), checked.
std::vector<Violation> checkIncludes(const std::filesystem::path& top, const LayerTable& table);

/// The library links file the build writes: lines "FOLDER: USED...", a used library named by its
/// folder and a Qt module as Qt6::Module.
std::vector<Violation> checkLinks(std::istream& links, const LayerTable& table);

} // namespace tq50r::layers

// The include-direction check: the product's folders are layers, and each
// includes headers only from itself and from the folders below it that it
// uses. It reads the #include lines of every .h and .cpp of those folders,
// prints the house (each folder's files, lines, and the folders it takes
// headers from), and names the file and line of every include that goes up
// or sideways; the exit status is then 1. Headers are included by their
// bare name, so a name lives in one folder only.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The design, top first: app -> {config, clock} -> saver -> win (the Win32
// kit) -> core; config/ and clock/ are siblings that never include each
// other. The artwork's identifiers, which both use, are in resources/.
struct Layer {
    std::string folder;
    std::vector<std::string> uses;
};
const std::vector<Layer> kLayers = {
    {"app", {"config", "clock", "saver", "win", "core"}},
    {"config", {"saver", "win", "core", "resources"}},
    {"clock", {"saver", "win", "core", "resources"}},
    {"saver", {"win", "core"}},
    {"win", {"core"}},
    {"resources", {}},
    {"core", {}},
};

bool IsSource(const fs::path& file) { return file.extension() == ".h" || file.extension() == ".cpp"; }

// 0 for the top folder.
std::size_t Rank(const std::string& folder) {
    return std::size_t(std::find_if(kLayers.begin(), kLayers.end(),
                                    [&](const Layer& layer) { return layer.folder == folder; }) -
                       kLayers.begin());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " SOURCE_ROOT\n";
        return 2;
    }
    const fs::path root = argv[1];
    std::vector<std::string> failures;  // shown after the house
    auto fail = [&failures](const std::string& where, const std::string& what) {
        failures.push_back(where + ": error: " + what);
    };

    // Every header of the product by name, and the folder it lives in.
    std::map<std::string, std::string> home;
    std::map<std::string, std::vector<fs::path>> sources;
    for (const Layer& layer : kLayers) {
        if (!fs::is_directory(root / layer.folder)) {
            fail(layer.folder + "/", "the folder is missing");
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(root / layer.folder)) {
            if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
            sources[layer.folder].push_back(entry.path());
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() != ".h") continue;
            if (auto [at, added] = home.emplace(name, layer.folder); !added)
                fail(name, "a header of this name is in " + at->second + "/ and in " + layer.folder + "/");
        }
        std::sort(sources[layer.folder].begin(), sources[layer.folder].end());
    }

    const std::regex include(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
    std::cout << "folder      files  lines  takes headers from (include lines)\n";
    for (const Layer& layer : kLayers) {
        std::map<std::size_t, int> taken;  // by the rank of the folder
        int lines = 0;
        for (const fs::path& file : sources[layer.folder]) {
            std::ifstream in(file);
            const std::string shown = fs::relative(file, root).generic_string();
            std::string text;
            for (int number = 1; std::getline(in, text); ++number, ++lines) {
                std::smatch match;
                if (!std::regex_search(text, match, include)) continue;
                const std::string where = shown + ":" + std::to_string(number);
                const std::string name = match[2];
                if (match[1] == "<") {
                    if (layer.folder == "core" && name.ends_with(".h"))
                        fail(where, "core/ is plain C++, but includes <" + name + ">");
                    continue;
                }
                const auto found = home.find(name);
                if (found == home.end()) {
                    fail(where, "\"" + name + "\" is no header of the product's folders");
                    continue;
                }
                const std::string& from = found->second;
                if (from == layer.folder) continue;
                ++taken[Rank(from)];
                if (std::find(layer.uses.begin(), layer.uses.end(), from) != layer.uses.end()) continue;
                fail(where, layer.folder + "/ includes \"" + name + "\" from " + from + "/, " +
                                (Rank(from) < Rank(layer.folder) ? "a folder above it"
                                                                 : "which is not among the folders it uses"));
            }
        }
        std::string list;
        for (const auto& [rank, count] : taken)
            list += (list.empty() ? "" : ", ") + kLayers[rank].folder + " " + std::to_string(count);
        std::cout << std::left << std::setw(10) << (layer.folder + "/") << std::right << std::setw(7)
                  << sources[layer.folder].size() << std::setw(7) << lines << "  " << (list.empty() ? "-" : list)
                  << '\n';
    }
    for (const std::string& failure : failures) std::cout << failure << '\n';
    if (!failures.empty()) std::cout << failures.size() << " failure(s) of the direction app -> {config, clock} -> saver -> win -> core\n";
    return failures.empty() ? 0 : 1;
}

// The include graph of src/: every include names its layer first and only reaches a layer its
// folder may use, and core has no cycle, neither between its folders nor between its files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = fs::path(TERVO_SOURCE_DIR) / "src";

// Each source file of src/ (relative, "core/work/Events.h") and the quoted includes it names.
std::map<std::string, std::vector<std::string>> includesOfSources() {
    static const std::regex include(R"(^\s*#\s*include\s+"([^"]+)\")");
    std::map<std::string, std::vector<std::string>> graph;
    for (const auto& entry : fs::recursive_directory_iterator(kSource)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) {
            continue;
        }
        auto& includes = graph[fs::relative(entry.path(), kSource).generic_string()];
        std::ifstream in(entry.path());
        std::smatch match;
        for (std::string line; std::getline(in, line);) {
            if (std::regex_search(line, match, include)) {
                includes.push_back(match[1]);
            }
        }
    }
    return graph;
}

std::string firstFolder(const std::string& path) {
    return path.substr(0, path.find('/'));
}

// The unit of a file: its path without the extension, so X.h and X.cpp are one.
std::string unitOf(const std::string& path) {
    return path.substr(0, path.rfind('.'));
}

// The folder of a core file ("work" for core/work/Events.h; "" for core/Clock.h).
std::string coreFolderOf(const std::string& path) {
    const std::string rest = path.substr(std::string("core/").size());
    const size_t slash = rest.find('/');
    return slash == std::string::npos ? std::string() : rest.substr(0, slash);
}

// A cycle in `edges` as "a -> b -> a", or empty.
std::string findCycle(const std::map<std::string, std::set<std::string>>& edges) {
    std::map<std::string, int> state;  // 1: on the path, 2: done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        const auto found = edges.find(node);
        if (found != edges.end()) {
            for (const std::string& next : found->second) {
                if (state[next] == 1) {
                    for (auto it = std::find(path.begin(), path.end(), next); it != path.end();
                         ++it) {
                        cycle += *it + " -> ";
                    }
                    cycle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) {
                    return true;
                }
            }
        }
        state[node] = 2;
        path.pop_back();
        return false;
    };
    for (const auto& [node, targets] : edges) {
        if (state[node] == 0 && visit(node)) {
            break;
        }
    }
    return cycle;
}

}  // namespace

TEST(IncludeGraph, EveryIncludeNamesAnAllowedLayer) {
    const std::map<std::string, std::set<std::string>> allowed = {
        {"core", {"core"}},
        {"emu", {"core", "emu"}},
        {"net", {"core", "net"}},
        {"cli", {"core", "net", "cli"}},
        {"gui", {"core", "net", "gui"}},
    };
    const auto graph = includesOfSources();
    ASSERT_GT(graph.size(), 100u);
    for (const auto& [file, includes] : graph) {
        const std::string layer = firstFolder(file);
        ASSERT_TRUE(allowed.contains(layer)) << file;
        std::set<std::string> may = allowed.at(layer);
        if (file.starts_with("gui/demo/")) {
            may.insert("emu");  // demo mode runs the emulator in-process
        }
        for (const std::string& included : includes) {
            if (included.ends_with(".moc")) {
                continue;
            }
            EXPECT_TRUE(may.contains(firstFolder(included))) << file << " includes " << included;
            EXPECT_TRUE(fs::is_regular_file(kSource / included))
                << file << " includes " << included << ", which is not under src/";
        }
    }
}

TEST(IncludeGraph, CoreHasNoCycle) {
    std::map<std::string, std::set<std::string>> folders;
    std::map<std::string, std::set<std::string>> units;
    for (const auto& [file, includes] : includesOfSources()) {
        if (firstFolder(file) != "core") {
            continue;
        }
        for (const std::string& included : includes) {
            if (unitOf(included) != unitOf(file)) {
                units[unitOf(file)].insert(unitOf(included));
            }
            const std::string from = coreFolderOf(file);
            const std::string to = coreFolderOf(included);
            if (!from.empty() && !to.empty() && from != to) {
                folders[from].insert(to);
            }
        }
    }
    ASSERT_FALSE(units.empty());
    EXPECT_EQ(findCycle(folders), "");
    EXPECT_EQ(findCycle(units), "");
}

// Scratch folders and whole-file reads and writes for the POSIX tests.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace corvane {

// A new empty folder, removed with what it holds at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/corvane-cli-XXXXXX";
        path_ = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~ScratchFolder() {
        for (const std::string& name : names()) {
            std::remove((path_ + "/" + name).c_str());
        }
        rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        if (DIR* folder = opendir(path_.c_str())) {
            while (const dirent* entry = readdir(folder)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    found.push_back(name);
                }
            }
            closedir(folder);
        }
        return found;
    }

private:
    std::string path_;
};

inline std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace corvane

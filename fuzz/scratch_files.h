// Files the file-reading fuzz targets write each input to: one private
// temporary directory per process, reused for every input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace qbfuzz {

inline std::string scratch(const char* name) {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/qbfuzzXXXXXX";
        const char* made = mkdtemp(tmpl);
        return std::string(made ? made : "/tmp");
    }();
    return dir + "/" + name;
}

inline void writeAll(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace qbfuzz

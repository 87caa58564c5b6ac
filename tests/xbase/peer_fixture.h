// Reader of the expectation files that accompany the peer tables: what the
// engine that wrote each table reads back from it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace peer {

inline std::string unescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            r.push_back(s[i]);
            continue;
        }
        char c = s[++i];
        if (c == 'r')
            r.push_back('\r');
        else if (c == 'n')
            r.push_back('\n');
        else if (c == 't')
            r.push_back('\t');
        else if (c == 'x' && i + 2 < s.size() + 0) {
            r.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else
            r.push_back(c);
    }
    return r;
}

inline std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else
            cur.push_back(c);
    }
    parts.push_back(cur);
    return parts;
}

struct Field {
    std::string name;
    char type;
    int width, decimals;
};

struct Record {
    unsigned recno;
    bool marked;
    std::vector<std::string> values; // unescaped
};

struct Tag {
    std::string name;
    std::map<std::string, std::string> props;
    std::vector<unsigned> order; // record numbers in reading order
};

struct Seek {
    std::string tag, key;
    bool hideDeleted, soft, found;
    unsigned recno;
};

struct Expected {
    std::map<std::string, std::string> table;
    std::vector<Field> fields;
    std::vector<Record> records;
    std::vector<Tag> tags;
    std::vector<Seek> seeks;
};

inline Expected load(const std::string& path) {
    Expected e;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            if (section.rfind("tag ", 0) == 0) {
                e.tags.push_back({section.substr(4), {}, {}});
                section = "tag";
            }
            continue;
        }
        if (section == "table") {
            auto eq = line.find('=');
            e.table[line.substr(0, eq)] = line.substr(eq + 1);
        } else if (section == "fields") {
            std::istringstream ss(line);
            Field f;
            ss >> f.name >> f.type >> f.width >> f.decimals;
            e.fields.push_back(f);
        } else if (section == "records") {
            auto parts = split(line, '|');
            Record r;
            r.recno = unsigned(std::stoul(parts[0]));
            r.marked = parts[1] == "*";
            for (size_t i = 2; i < parts.size(); ++i)
                r.values.push_back(unescape(parts[i]));
            e.records.push_back(r);
        } else if (section == "tag") {
            auto eq = line.find('=');
            auto bar = line.find('|');
            if (eq != std::string::npos && (bar == std::string::npos || eq < bar))
                e.tags.back().props[line.substr(0, eq)] = line.substr(eq + 1);
            else
                e.tags.back().order.push_back(unsigned(std::stoul(line.substr(0, bar))));
        } else if (section == "seeks") {
            auto parts = split(line, '|');
            Seek s;
            s.tag = parts[0];
            s.key = parts[1];
            if (s.key.size() >= 2 && s.key.front() == '"' && s.key.back() == '"')
                s.key = s.key.substr(1, s.key.size() - 2);
            s.key = unescape(s.key);
            s.hideDeleted = parts[2] == "on";
            s.soft = parts[3] == "on";
            s.found = parts[4] == "T";
            s.recno = unsigned(std::stoul(parts[5]));
            e.seeks.push_back(s);
        }
    }
    return e;
}

inline std::string fixtureDir() { return std::string(QB_SHARED_DIR) + "/fixtures/peer"; }

inline std::vector<std::string> tableNames() {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(fixtureDir())) {
        std::string n = entry.path().filename().string();
        if (n.size() > 4 && n.substr(n.size() - 4) == ".DBF")
            names.push_back(n.substr(0, n.size() - 4));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A private copy of one fixture table (DBF, FPT, CDX) in `dir`.
inline std::string copyTable(const std::string& name, const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    for (const char* ext : {".DBF", ".FPT", ".CDX"}) {
        fs::path src = fs::path(fixtureDir()) / (name + ext);
        if (fs::exists(src))
            fs::copy_file(src, dir / (name + ext), fs::copy_options::overwrite_existing);
    }
    return (dir / (name + ".DBF")).string();
}

} // namespace peer

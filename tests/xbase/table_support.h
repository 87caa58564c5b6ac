// Helpers shared by the engine's table tests: a private temporary directory
// and a small address-like table.
#pragma once

#include "xbase/table.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tabletest {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qbxbXXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// The header of a table built byte by byte, as other programs write it:
// version byte `version`, three records, fields NAME C6 and NOTES M10. The
// caller appends the records (17 bytes each) and the end mark.
inline std::string nameAndMemoHeader(char version) {
    std::string dbf(32 + 64 + 1, '\0');
    dbf[0] = version;
    dbf[4] = 3;
    dbf[8] = char(97);
    dbf[10] = char(1 + 6 + 10);
    std::memcpy(&dbf[32], "NAME", 4);
    dbf[32 + 11] = 'C';
    dbf[32 + 16] = 6;
    std::memcpy(&dbf[64], "NOTES", 5);
    dbf[64 + 11] = 'M';
    dbf[64 + 16] = 10;
    dbf[96] = 0x0D;
    return dbf;
}

inline std::vector<xbase::FieldDef> peopleFields() {
    return {{"NAME", 'C', 20, 0, 0}, {"AMOUNT", 'N', 8, 2, 0}, {"BORN", 'D', 8, 0, 0},
            {"ACTIVE", 'L', 1, 0, 0}, {"NOTES", 'M', 10, 0, 0}};
}

// The 23 fields of an address file.
inline std::vector<xbase::FieldDef> addressFields() {
    return {{"LNAME", 'C', 30, 0, 0},   {"FNAME", 'C', 30, 0, 0},   {"MIDDLE", 'C', 1, 0, 0},
            {"PREFIX", 'C', 12, 0, 0},  {"TITLE", 'C', 30, 0, 0},   {"ORG", 'C', 30, 0, 0},
            {"STREET", 'C', 40, 0, 0},  {"STREET2", 'C', 40, 0, 0}, {"CITY", 'C', 30, 0, 0},
            {"STATE", 'C', 20, 0, 0},   {"ZIP", 'C', 10, 0, 0},     {"COUNTRY", 'C', 30, 0, 0},
            {"DATE", 'C', 15, 0, 0},    {"PHONE", 'C', 30, 0, 0},   {"PHONE2", 'C', 30, 0, 0},
            {"FAX", 'C', 30, 0, 0},     {"EMAIL", 'C', 30, 0, 0},   {"CODES", 'C', 30, 0, 0},
            {"USER1", 'C', 40, 0, 0},   {"USER2", 'C', 40, 0, 0},   {"ISDEL", 'L', 1, 0, 0},
            {"TAG", 'C', 8, 0, 0},      {"MEMO", 'M', 10, 0, 0}};
}

struct TagDef {
    const char* name;
    const char* expr;
};

// The 26 tags of an address file, in creation order.
inline std::vector<TagDef> addressTags() {
    return {{"NAME", "UPPER(LNAME-FNAME)"}, {"LNAME", "UPPER(LNAME)+UPPER(FNAME)"}, {"FNAME", "UPPER(FNAME)"},
            {"TITLE", "UPPER(TITLE)"},      {"ORG", "UPPER(ORG)"},                  {"STREET", "UPPER(STREET)"},
            {"STREET2", "UPPER(STREET2)"},  {"CITY", "UPPER(CITY+STATE)"},          {"STATE", "UPPER(STATE)"},
            {"ZIP", "UPPER(ZIP)"},          {"COUNTRY", "UPPER(COUNTRY)"},          {"PHONE", "UPPER(PHONE)"},
            {"PHONE2", "UPPER(PHONE2)"},    {"EMAIL", "UPPER(EMAIL)"},              {"FAX", "UPPER(FAX)"},                {"USER1", "UPPER(USER1)"},
            {"USER2", "UPPER(USER2)"},      {"DATE", "UPPER(DATE)"},                {"TAG", "UPPER(TAG)"},
            {"CODES", "UPPER(CODES)"},      {"PREFIX", "UPPER(PREFIX)"},            {"MIDDLE", "UPPER(MIDDLE)"},
            {"DELETED", "DELETED()"},       {"STATEZIP", "UPPER(STATE-ZIP)"},       {"ISDEL", "ISDEL"},
            {"NOTISDEL", "!ISDEL"}};
}

} // namespace tabletest

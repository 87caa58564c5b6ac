// mksystables: builds the system tables supplied with the program from their
// readable text sources, at build time.
//
//   mksystables --csz data/csz.txt --lbltpl data/lbltpl.txt --out DIR
//
// Writes DIR/CSZ.DBF with DIR/CSZ.CDX (tag STATE) and DIR/LBLTPL.DBF with
// DIR/LBLTPL.CDX (tag DESCRIPT), replacing earlier outputs. The sources hold
// one row per line, fields separated by '|', in the table's field order;
// blank lines and lines starting with '#' are ignored. A value that does not
// fit its field stops the build with the file and line named.
#include "xbase/error.h"
#include "xbase/table.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Row {
    int line;
    std::vector<std::string> values;
};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<Row> readRows(const fs::path& path, size_t columns) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SourceError(path.string() + ": cannot be read");
    std::vector<Row> rows;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        const std::string line = trim(text);
        if (line.empty() || line[0] == '#')
            continue;
        Row row{number, {}};
        size_t start = 0;
        while (true) {
            const size_t bar = line.find('|', start);
            row.values.push_back(trim(line.substr(start, bar - start)));
            if (bar == std::string::npos)
                break;
            start = bar + 1;
        }
        if (row.values.size() != columns)
            throw SourceError(path.string() + ":" + std::to_string(number) + ": " +
                              std::to_string(row.values.size()) + " values, expected " +
                              std::to_string(columns));
        for (const std::string& v : row.values)
            for (unsigned char c : v)
                if (c < 0x20 || c > 0x7E)
                    throw SourceError(path.string() + ":" + std::to_string(number) +
                                      ": only printable ASCII is allowed");
        rows.push_back(std::move(row));
    }
    return rows;
}

xbase::FieldDef field(const char* name, char type, int width, int decimals = 0) {
    xbase::FieldDef f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    return f;
}

// Checks `value` against `def` and stores it in the current record.
void put(xbase::Table& table, int index, const xbase::FieldDef& def, const std::string& value,
         const std::string& where) {
    if (def.type == 'C') {
        if (static_cast<int>(value.size()) > def.width)
            throw SourceError(where + ": " + def.name + " \"" + value + "\" is longer than " +
                              std::to_string(def.width) + " characters");
        table.putString(index, value);
        return;
    }
    if (value.empty()) {
        table.putNumber(index, 0);
        return;
    }
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (errno != 0 || end == value.c_str() || *end != '\0' || !std::isfinite(number))
        throw SourceError(where + ": " + def.name + " \"" + value + "\" is not a number");
    // Digits left of the point must fit the width with sign, point and decimals.
    const int integerDigits = def.width - (def.decimals > 0 ? def.decimals + 1 : 0);
    const double limit = std::pow(10.0, number < 0 ? integerDigits - 1 : integerDigits);
    if (std::fabs(number) >= limit)
        throw SourceError(where + ": " + def.name + " " + value + " does not fit N " +
                          std::to_string(def.width) + "." + std::to_string(def.decimals));
    if (def.decimals == 0 && number != std::floor(number))
        throw SourceError(where + ": " + def.name + " " + value + " must be a whole number");
    table.putNumber(index, number);
}

void removeTable(const fs::path& dbf) {
    std::error_code ec;
    fs::remove(dbf, ec);
    fs::path cdx = dbf;
    cdx.replace_extension(".CDX");
    fs::remove(cdx, ec);
}

void build(const fs::path& source, const fs::path& target,
           const std::vector<xbase::FieldDef>& fields, const char* tag, const char* keyExpr) {
    const std::vector<Row> rows = readRows(source, fields.size());
    removeTable(target);
    xbase::Table::create(target.string(), fields);
    auto table = xbase::Table::open(target.string());
    for (const Row& row : rows) {
        table->appendBlank();
        const std::string where = source.string() + ":" + std::to_string(row.line);
        for (size_t i = 0; i < fields.size(); ++i)
            put(*table, static_cast<int>(i), fields[i], row.values[i], where);
        table->commit();
    }
    table->createTag(tag, keyExpr);
    table->close();
}

const std::vector<xbase::FieldDef> kCszFields = {
    field("NAME", 'C', 20),
    field("STATE", 'C', 4),
    field("LOW_ZIP", 'C', 10),
    field("HIGH_ZIP", 'C', 10),
};

// The template part of a label layout record, with the layout table's widths.
const std::vector<xbase::FieldDef> kTemplateFields = {
    field("DESCRIPT", 'C', 60),     field("LBLHEIGHT", 'N', 6, 3),  field("LBLWIDTH", 'N', 6, 3),
    field("NBRACROSS", 'N', 2),     field("NBRDOWN", 'N', 2),       field("TOPMARG", 'N', 6, 3),
    field("LEFTMARG", 'N', 6, 3),   field("HORIZPITCH", 'N', 6, 3), field("VERTPITCH", 'N', 6, 3),
    field("SHEETWIDTH", 'N', 6, 3), field("SHEETDEPTH", 'N', 6, 3), field("PRINTER", 'C', 2),
    field("PAPERSIZE", 'C', 5),     field("LBLSHAPE", 'C', 2),      field("MANUFAC", 'C', 10),
    field("PRODTYPE", 'C', 25),     field("MIDEXTRAX", 'N', 6, 3),  field("MIDEXTRAY", 'N', 6, 3),
    field("ART", 'C', 12),
};

int usage() {
    std::cerr << "usage: mksystables --csz FILE --lbltpl FILE --out DIR\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    fs::path csz, lbltpl, out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return usage();
        if (arg == "--csz")
            csz = argv[++i];
        else if (arg == "--lbltpl")
            lbltpl = argv[++i];
        else if (arg == "--out")
            out = argv[++i];
        else
            return usage();
    }
    if (csz.empty() || lbltpl.empty() || out.empty())
        return usage();
    try {
        fs::create_directories(out);
        build(csz, out / "CSZ.DBF", kCszFields, "STATE", "UPPER(state)");
        build(lbltpl, out / "LBLTPL.DBF", kTemplateFields, "DESCRIPT", "UPPER(descript)");
    } catch (const std::exception& e) {
        // Source errors and engine errors alike: leave no half-built table.
        std::cerr << "mksystables: " << e.what() << "\n";
        removeTable(out / "CSZ.DBF");
        removeTable(out / "LBLTPL.DBF");
        return 1;
    }
    return 0;
}

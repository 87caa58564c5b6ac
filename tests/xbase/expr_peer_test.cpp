// Keys computed by the evaluator from the records of the peer tables must be
// the keys the independent engine stored for them, and must sort the records
// into the order it recorded. The DBF bytes are read directly here so the
// check depends on nothing but the expression code.
#include "xbase/expr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace xbase;

namespace {

const std::string kPeerDir = std::string(QB_SHARED_DIR) + "/fixtures/peer/";

struct RawTable {
    std::vector<FieldDef> fields;
    std::vector<std::vector<uint8_t>> records; // index 0 is record 1
};

RawTable readDbf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RawTable t;
    if (b.size() < 32)
        return t;
    uint32_t count =
        uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
    size_t headerLen = size_t(b[8]) | size_t(b[9]) << 8;
    size_t recLen = size_t(b[10]) | size_t(b[11]) << 8;
    int offset = 1;
    for (size_t p = 32; p + 32 <= headerLen && b[p] != 0x0D; p += 32) {
        FieldDef f;
        f.name = std::string(reinterpret_cast<const char*>(&b[p]),
                             strnlen(reinterpret_cast<const char*>(&b[p]), 11));
        f.type = char(b[p + 11]);
        f.width = b[p + 16];
        f.decimals = b[p + 17];
        f.offset = offset;
        offset += f.width;
        t.fields.push_back(f);
    }
    for (uint32_t i = 0; i < count && headerLen + (i + 1) * recLen <= b.size(); ++i)
        t.records.emplace_back(b.begin() + long(headerLen + i * recLen),
                               b.begin() + long(headerLen + (i + 1) * recLen));
    return t;
}

std::string unescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            r += s[i];
            continue;
        }
        char c = s[++i];
        if (c == 'r')
            r += '\r';
        else if (c == 'n')
            r += '\n';
        else if (c == 'x' && i + 2 < s.size()) {
            r += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            r += c;
    }
    return r;
}

struct ExpectedTag {
    std::string name;
    std::map<std::string, std::string> props;
    std::vector<std::pair<uint32_t, std::string>> entries; // reading order
};

std::vector<ExpectedTag> readTags(const std::string& path) {
    std::ifstream in(path);
    std::vector<ExpectedTag> tags;
    std::string line;
    bool inTag = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inTag = line.rfind("[tag ", 0) == 0;
            if (inTag)
                tags.push_back({line.substr(5, line.size() - 6), {}, {}});
            continue;
        }
        if (!inTag || line.empty() || line[0] == '#')
            continue;
        size_t bar = line.find('|');
        size_t eq = line.find('=');
        if (bar != std::string::npos && (eq == std::string::npos || bar < eq))
            tags.back().entries.push_back(
                {uint32_t(std::stoul(line.substr(0, bar))), unescape(line.substr(bar + 1))});
        else if (eq != std::string::npos)
            tags.back().props[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return tags;
}

// The key as the expectation files print it.
std::string printable(const Expression& e, const uint8_t* key, int len) {
    switch (e.type()) {
    case ValueType::Character: {
        std::string s(reinterpret_cast<const char*>(key), size_t(len));
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    case ValueType::Logical:
        return std::string(1, char(key[0]));
    case ValueType::Date:
        return dateFromJulian(long(decodeNumericKey(key)));
    case ValueType::Numeric: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", decodeNumericKey(key));
        return buf;
    }
    }
    return {};
}

void checkTable(const std::string& name) {
    RawTable t = readDbf(kPeerDir + name + ".DBF");
    ASSERT_FALSE(t.records.empty()) << name;
    std::vector<ExpectedTag> tags = readTags(kPeerDir + name + ".expected.txt");
    ASSERT_FALSE(tags.empty()) << name;
    for (const ExpectedTag& tag : tags) {
        SCOPED_TRACE(name + " tag " + tag.name);
        auto key = Expression::compile(tag.props.at("key"), t.fields);
        std::unique_ptr<Expression> cond;
        if (!tag.props.at("for").empty())
            cond = Expression::compile(tag.props.at("for"), t.fields);
        int len = std::stoi(tag.props.at("key_length"));
        EXPECT_EQ(key->width(), len);
        EXPECT_EQ(char(key->type()), tag.props.at("key_type")[0]);

        struct Entry {
            std::vector<uint8_t> key;
            uint32_t recno;
            std::string shown;
        };
        std::vector<Entry> ours;
        for (uint32_t r = 1; r <= t.records.size(); ++r) {
            EvalContext ctx;
            ctx.record = t.records[r - 1].data();
            ctx.recno = r;
            if (cond && !cond->evalLogical(ctx))
                continue;
            std::vector<uint8_t> k(static_cast<size_t>(len));
            key->evalKey(ctx, k.data(), len);
            ours.push_back({k, r, printable(*key, k.data(), len)});
        }
        std::stable_sort(ours.begin(), ours.end(), [](const Entry& a, const Entry& b) {
            int c = std::memcmp(a.key.data(), b.key.data(), a.key.size());
            return c != 0 ? c < 0 : a.recno < b.recno;
        });
        if (tag.props.at("unique") == "T") {
            std::vector<Entry> firsts;
            for (const Entry& e : ours)
                if (firsts.empty() || firsts.back().key != e.key)
                    firsts.push_back(e);
            ours = firsts;
        }
        if (tag.props.at("descending") == "T")
            std::reverse(ours.begin(), ours.end());

        ASSERT_EQ(ours.size(), tag.entries.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i].recno, tag.entries[i].first) << "entry " << i;
            EXPECT_EQ(ours[i].shown, tag.entries[i].second) << "record " << ours[i].recno;
        }
    }
}

} // namespace

TEST(ExprPeer, AddressTagKeysAndOrders) {
    checkTable("ADDRPEER");
}

TEST(ExprPeer, NumericDateLogicalAndFunctionKeys) {
    checkTable("KEYTYPES");
}

TEST(ExprPeer, SystemTableKeys) {
    for (const char* name : {"LABEL", "ENVELOPE", "LETTER", "REPORT", "CSZ"})
        checkTable(name);
}

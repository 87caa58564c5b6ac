// The work area: DBF records, memo file, production index and navigation.
//
// Crash safety: committing an appended record writes the record (followed by
// the end-of-file mark) first and the header's record count second, and a
// changed record is written back when it is committed. A process
// killed at any point therefore leaves a header count that never exceeds the
// records in the file. On open, a count that claims more records than the file
// holds (damage from elsewhere) is reduced to the whole records present; the
// header is only rewritten when the table is next changed.
//
// Numbers that do not fit their field are stored as asterisks filling the
// width, as xBase engines do, so that no digit is ever silently dropped.
#include "xbase/table.h"

#include "xbase/memo.h"
#include "xbase/os_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <numeric>
#include <unistd.h>

namespace xbase {

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void putLe16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void putLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Today's date as a table header stores it: year within the century, month, day.
void putHeaderDate(uint8_t* d) {
    std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    d[0] = uint8_t((tm.tm_year + 1900) % 100);
    d[1] = uint8_t(tm.tm_mon + 1);
    d[2] = uint8_t(tm.tm_mday);
}

std::string upperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

bool isMemoType(char t) { return t == 'M' || t == 'G' || t == 'P' || t == 'W'; }

// Proleptic Gregorian calendar from a Julian day number.
std::string civilFromJulian(long jd) {
    long a = jd + 32044;
    long b = (4 * a + 3) / 146097;
    long c = a - 146097 * b / 4;
    long d = (4 * c + 3) / 1461;
    long e = c - 1461 * d / 4;
    long m = (5 * e + 2) / 153;
    long day = e - (153 * m + 2) / 5 + 1;
    long month = m + 3 - 12 * (m / 10);
    long year = 100 * b + d - 4800 + m / 10;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04ld%02ld%02ld", year, month, day);
    return buf;
}

constexpr size_t kChunkBytes = 256 * 1024;

struct TagState {
    IndexTree* tree = nullptr;
    TagInfo info;
    std::unique_ptr<Expression> key;
    std::unique_ptr<Expression> cond;
};

class TableImpl final : public Table, public MemoSource {
public:
    TableImpl(const std::string& path, const OpenOptions& options);
    ~TableImpl() override {
        try {
            close();
        } catch (...) {
        }
    }

    void close() override;
    const std::string& path() const override { return path_; }
    TableVersion version() const override { return static_cast<TableVersion>(versionByte_); }
    uint8_t codePage() const override { return codePage_; }
    bool readOnly() const override { return readOnly_; }

    const std::vector<FieldDef>& fields() const override { return fields_; }
    int fieldIndex(std::string_view name) const override;
    int recordLength() const override { return int(recLen_); }
    int headerLength() const override { return int(headerLen_); }

    std::string getString(int field) const override;
    double getNumber(int field) const override;
    bool getLogical(int field) const override;
    std::string getMemo(int field) override;
    bool isEmpty(int field) override;
    const uint8_t* recordBuffer() const override {
        ensureLoaded();
        return rec_.data();
    }

    void putString(int field, std::string_view value) override;
    void putNumber(int field, double value) override;
    void putLogical(int field, bool value) override;
    void putMemo(int field, std::string_view text) override;
    void commit() override;

    uint32_t recCount() const override { return recCount_; }
    uint32_t recno() const override { return recno_; }
    bool eof() const override { return eof_; }
    bool bof() const override { return bof_; }
    void appendBlank() override;
    void deleteRecord() override;
    void recall() override;
    bool deleted() const override {
        if (eof_)
            return false;
        ensureLoaded();
        return rec_[0] == '*';
    }
    void pack() override;
    void zap() override;
    void copyStructure(const std::string& path) const override;

    void goTop() override;
    void goBottom() override;
    void skip(long n) override;
    void go(uint32_t recno) override;

    int tagCount() const override { return int(tags_.size()); }
    TagInfo tagInfo(int order) const override;
    int tagOrder(std::string_view name) const override;
    void setOrder(int order) override;
    void setOrder(std::string_view tagName) override;
    int order() const override { return order_; }
    std::string orderName() const override;
    std::string indexFileName() const override {
        if (idx_ && tempTag_ && order_ == int(tags_.size()) + 1)
            return idx_->path();
        return cdx_ ? cdx_->path() : std::string();
    }
    void closeIndexes() override;
    void deleteIndexFile() override;
    void createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr,
                   bool descending, bool unique) override;
    void reindex() override;
    bool indexTrustworthy() const override { return indexProblem().empty(); }
    std::string indexProblem() const override {
        if (!cdx_)
            return {};
        if (!cdx_->trustworthy())
            return cdx_->path() + ": left open for writing by a process that did not close it; its tags may be stale";
        return cdx_->damage();
    }

    void createTempIndex(const std::string& path, const std::string& keyExpr, bool empty) override;
    void tempKeyAdd() override;
    void closeTempIndex() override;

    bool seek(std::string_view key) override;
    bool found() const override { return found_; }
    void setScope(std::optional<std::string> top, std::optional<std::string> bottom) override;
    void clearScope() override;

    void setFilter(const std::string& expr) override;
    const std::string& filter() const override { return filterText_; }
    uint32_t countVisible() override;
    bool evalLogical(const std::string& expr) override;

    void setDeleted(bool hide) override { commit(); hideDeleted_ = hide; }
    bool deletedHidden() const override { return hideDeleted_; }
    void setExact(bool on) override { exact_ = on; }
    bool exact() const override { return exact_; }
    void setSoftSeek(bool on) override { softSeek_ = on; }
    bool softSeek() const override { return softSeek_; }
    void setTurboRead(bool on) override { turbo_ = on; }
    void setProgressHook(ProgressHook hook) override { progress_ = std::move(hook); }

    std::string currentKey() override;
    void check(std::vector<std::string>& faults) override;

    // MemoSource
    std::string memoText(const uint8_t* record, int fieldIndex) override;

private:
    // ---- file layer ----
    void parseHeader();
    void openMemo();
    void openProductionIndex();
    void loadTags();
    uint64_t recordOffset(uint32_t n) const { return headerLen_ + uint64_t(n - 1) * recLen_; }
    void readRecord(uint32_t n, uint8_t* out);
    void writeRecord(uint32_t n, const uint8_t* data);
    void writeHeaderCount();
    void writeHeaderDate();
    void writeFlags();
    void finishInterruptedPack();
    void invalidateCache() { cacheCount_ = 0; }
    // Calls fn(record, recno) for every record in physical order, in chunks.
    template <class Fn> void scanRecords(Fn&& fn);

    // ---- record helpers ----
    const FieldDef& fieldAt(int field) const;
    void requireRecord(const char* what) const;
    void requireWritable() const;
    void requireExclusive(const char* what) const;
    uint32_t memoPointer(const uint8_t* record, const FieldDef& f) const;
    void setMemoPointer(uint8_t* record, const FieldDef& f, uint32_t block);
    std::string fieldText(const uint8_t* record, const FieldDef& f) const;
    EvalContext context(const uint8_t* record, uint32_t recno) {
        EvalContext c;
        c.record = record;
        c.recno = recno;
        c.memos = memo_.isOpen() ? this : nullptr;
        c.exact = exact_;
        return c;
    }

    // ---- position ----
    void setEof();
    // Makes record n current without reading it; ensureLoaded() reads it the
    // first time its bytes are needed.
    void loadCurrent(uint32_t n);
    // The one place the current record's bytes come from the file. Seeks and
    // skips that only pass over records never pay for reading them.
    void ensureLoaded() const;
    bool visible(const uint8_t* record, uint32_t recno);

    // ---- index ----
    TagState* currentTag();
    bool keyFor(TagState& t, const uint8_t* record, uint32_t recno, std::vector<uint8_t>& key);
    void insertKey(TagState& t, const std::vector<uint8_t>& key, uint32_t recno);
    void removeKey(TagState& t, const std::vector<uint8_t>& key, uint32_t recno);
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> customEntriesAfterPack();
    void updateKeys(const uint8_t* oldRec, const uint8_t* newRec, uint32_t recno, bool isNew);
    void buildTags(std::vector<TagState*> tags, int progressFrom, int progressTo);
    bool loadTags(const std::vector<TagState*>& tags, size_t memory, int progressFrom, int progressTo);
    void report(int percent);
    void makeTagState(TagState& t, IndexTree& tree);

    // Navigation in the current order.
    bool treeFirst();
    bool treeLast();
    // First stored entry >= key / last <= key over the key's own length; an
    // empty key is a prefix of everything.
    bool cursorSeek(const std::vector<uint8_t>& k) { return k.empty() ? cursor_->first() : cursor_->seek(Key(k)); }
    bool cursorSeekLast(const std::vector<uint8_t>& k) { return k.empty() ? cursor_->last() : cursor_->seekLast(Key(k)); }
    bool treeNext();
    bool treePrev();
    bool inScopeForward() const; // not beyond the bottom scope
    bool inScopeBackward() const; // not before the top scope
    bool landOn(uint32_t n);      // load record n; true when visible
    void orderedTop();
    void orderedBottom();
    void orderedSkip(long n);
    // Position the cursor on the current record. Returns 1 when the cursor is
    // on it, 0 when the current record has no entry and the cursor is on the
    // first entry after it (or invalid), -1 at end of file.
    int syncCursor();
    std::vector<uint8_t> seekKeyBytes(const TagState& t, std::string_view text) const;
    int compareScope(const std::string& scope) const;

    std::string path_;
    OpenOptions options_;
    bool readOnly_ = false;
    OsFile file_;
    MemoFile memo_;
    uint8_t versionByte_ = 0x03;
    uint8_t flags_ = 0;
    uint8_t codePage_ = 0;
    uint32_t headerLen_ = 0;
    uint32_t recLen_ = 0;
    uint32_t recCount_ = 0;
    uint32_t headerCount_ = 0; // as the header stated it on open
    std::vector<FieldDef> fields_;
    bool modified_ = false;
    bool closed_ = false;

    // read cache of whole records
    std::vector<uint8_t> cache_;
    uint32_t cacheFirst_ = 0;
    uint32_t cacheCount_ = 0;
    uint32_t lastRead_ = 0;

    // current record
    std::vector<uint8_t> rec_;
    std::vector<uint8_t> disk_;
    uint32_t recno_ = 1;
    bool eof_ = true;
    bool bof_ = true;
    bool dirty_ = false;
    bool appended_ = false;
    // False while rec_/disk_ do not yet hold record recno_ (see ensureLoaded).
    // Only ever false on a record that exists in the file and is unchanged.
    mutable bool loaded_ = true;

    // indexes
    std::unique_ptr<CompoundIndex> cdx_;
    std::vector<std::unique_ptr<TagState>> tags_;
    std::unique_ptr<IdxFile> idx_;
    std::unique_ptr<TagState> tempTag_;
    // A temporary index created empty holds the records given to it key by
    // key (tempKeyAdd) and nothing else: it is not kept up to date with
    // appends and changes, and neither reindex nor pack fills it with every
    // record. One built from the records is kept up to date like any tag.
    bool tempCustom_ = false;
    int order_ = 0;
    std::unique_ptr<IndexTree::Cursor> cursor_;
    bool cursorValid_ = false;
    std::optional<std::string> scopeTop_, scopeBottom_;

    // switches
    std::unique_ptr<Expression> filterExpr_;
    std::string filterText_;
    bool hideDeleted_ = false;
    bool exact_ = false;
    bool softSeek_ = false;
    bool turbo_ = false;
    bool found_ = false;
    ProgressHook progress_;
    int lastPercent_ = -1;
    std::vector<uint8_t> scratch_;
};

// ===========================================================================
// opening

TableImpl::TableImpl(const std::string& path, const OpenOptions& options)
    : path_(path), options_(options), readOnly_(options.readOnly) {
    OsFile::Lock lock = options.exclusive ? OsFile::Lock::Exclusive : OsFile::Lock::Shared;
    file_.open(path, readOnly_, lock);
    finishInterruptedPack();
    parseHeader();
    rec_.assign(recLen_, ' ');
    disk_ = rec_;
    openMemo();
    if (options.openProductionIndex)
        openProductionIndex();
    recno_ = recCount_ + 1;
    goTop();
}

void TableImpl::parseHeader() {
    uint8_t h[32];
    if (file_.readAt(0, h, 32) != 32)
        throw Error(Error::Code::Corrupt, path_ + ": too short to be a table");
    versionByte_ = h[0];
    switch (versionByte_) {
    case 0x03: case 0x83: case 0x8B: case 0xF5: case 0x30: case 0x31: case 0x32:
        break;
    default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X", versionByte_);
        throw Error(Error::Code::Unsupported, path_ + ": not a table this program reads (version byte " + buf + ")");
    }
    }
    recCount_ = le32(h + 4);
    headerLen_ = le16(h + 8);
    recLen_ = le16(h + 10);
    flags_ = h[28];
    codePage_ = h[29];
    uint64_t size = file_.size();
    if (headerLen_ < 65 || headerLen_ > size)
        throw Error(Error::Code::Corrupt, path_ + ": header length " + std::to_string(headerLen_) +
                                              " does not fit the file");
    if (recLen_ < 2)
        throw Error(Error::Code::Corrupt, path_ + ": record length " + std::to_string(recLen_) + " is invalid");
    std::vector<uint8_t> hdr(headerLen_);
    file_.readExact(0, hdr.data(), headerLen_);
    bool vfp = versionByte_ == 0x30 || versionByte_ == 0x31 || versionByte_ == 0x32;
    int offset = 1;
    bool terminated = false;
    uint32_t pos = 32;
    for (; pos + 1 <= headerLen_; pos += 32) {
        if (hdr[pos] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + 32 > headerLen_)
            break;
        const uint8_t* d = hdr.data() + pos;
        std::string name;
        for (int i = 0; i < 11 && d[i]; ++i)
            name.push_back(static_cast<char>(d[i]));
        char type = static_cast<char>(std::toupper(d[11]));
        int width = d[16];
        int decimals = d[17];
        auto bad = [&](const std::string& why) {
            throw Error(Error::Code::Corrupt, path_ + ": field " + std::to_string(fields_.size() + 1) + " (" +
                                                  name + ") " + why);
        };
        if (name.empty())
            bad("has no name");
        for (char c : name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                bad("has an invalid name");
        if (width == 0)
            bad("has width 0");
        if (!std::strchr("CNFLDMGPIBYTVQW0", type) || type == 0)
            bad("has an unknown type");
        if (type == 'C' || type == 'N' || type == 'F' || type == 'L' || type == 'D')
            ;
        else if (!vfp && !isMemoType(type))
            bad("has a type this table version does not allow");
        if ((type == 'I' && width != 4) || ((type == 'B' || type == 'Y' || type == 'T') && width != 8) ||
            (type == 'D' && width != 8) || (type == 'L' && width != 1) ||
            (isMemoType(type) && width != 10 && width != 4))
            bad("has a width its type does not allow");
        if ((type == 'N' || type == 'F') && decimals >= width && decimals > 0)
            bad("has more decimals than width");
        FieldDef f;
        f.name = upperAscii(name);
        f.type = type;
        f.width = width;
        f.decimals = (type == 'N' || type == 'F' || type == 'B') ? decimals : 0;
        f.offset = offset;
        offset += width;
        bool system = vfp && (d[18] & 0x01);
        if (!system && type != '0')
            fields_.push_back(f);
    }
    if (!terminated && pos != headerLen_)
        throw Error(Error::Code::Corrupt, path_ + ": the field descriptors are not terminated");
    if (fields_.empty())
        throw Error(Error::Code::Corrupt, path_ + ": the table has no fields");
    if (uint32_t(offset) != recLen_)
        throw Error(Error::Code::Corrupt, path_ + ": record length " + std::to_string(recLen_) +
                                              " does not match the fields (" + std::to_string(offset) + ")");
    headerCount_ = recCount_;
    uint64_t whole = (size - headerLen_) / recLen_;
    if (recCount_ > whole)
        recCount_ = static_cast<uint32_t>(whole); // see the note at the top
}

void TableImpl::openMemo() {
    bool hasMemo = std::any_of(fields_.begin(), fields_.end(), [](const FieldDef& f) { return isMemoType(f.type); });
    if (!hasMemo)
        return;
    std::string fpt = siblingFile(path_, "FPT");
    if (!fpt.empty()) {
        memo_.open(fpt, MemoFile::Kind::Fpt, readOnly_);
        return;
    }
    std::string dbt = siblingFile(path_, "DBT");
    if (!dbt.empty()) {
        memo_.open(dbt, versionByte_ == 0x8B ? MemoFile::Kind::Dbt4 : MemoFile::Kind::Dbt, readOnly_);
        return;
    }
    throw Error(Error::Code::NotFound, path_ + ": its memo file " + siblingName(path_, "FPT") + " is missing");
}

void TableImpl::makeTagState(TagState& t, IndexTree& tree) {
    t.tree = &tree;
    t.info = tree.info();
    try {
        t.key = Expression::compile(t.info.keyExpr, fields_);
        if (!t.info.forExpr.empty())
            t.cond = Expression::compile(t.info.forExpr, fields_);
    } catch (const Error& e) {
        throw Error(Error::Code::Corrupt, (cdx_ ? cdx_->path() : path_) + ": tag " + t.info.name +
                                              ": its expression cannot be used: " + e.what());
    }
    // The file does not record the key type, and the type decides the fill byte
    // with which compressed keys are rebuilt: take it from the compiled key.
    KeyType type = KeyType::Character;
    switch (t.key->type()) {
    case ValueType::Numeric: type = KeyType::Numeric; break;
    case ValueType::Date: type = KeyType::Date; break;
    case ValueType::Logical: type = KeyType::Logical; break;
    case ValueType::Character: type = KeyType::Character; break;
    }
    if (type != t.info.type) {
        tree.setKeyType(type);
        t.info = tree.info();
    }
}

void TableImpl::loadTags() {
    tags_.clear();
    if (!cdx_)
        return;
    for (int i = 0; i < cdx_->tagCount(); ++i) {
        auto t = std::make_unique<TagState>();
        makeTagState(*t, cdx_->tag(i));
        tags_.push_back(std::move(t));
    }
}

void TableImpl::openProductionIndex() {
    std::string cdx = siblingFile(path_, "CDX");
    if (cdx.empty())
        return;
    cdx_ = CompoundIndex::open(cdx, readOnly_);
    loadTags();
}

// ===========================================================================
// record I/O

void TableImpl::readRecord(uint32_t n, uint8_t* out) {
    if (n >= cacheFirst_ && n < cacheFirst_ + cacheCount_) {
        std::memcpy(out, cache_.data() + size_t(n - cacheFirst_) * recLen_, recLen_);
        lastRead_ = n;
        return;
    }
    uint32_t prev = lastRead_;
    lastRead_ = n;
    bool forward = turbo_ || n == prev + 1;
    bool backward = prev > 0 && n + 1 == prev;
    if (!forward && !backward) {
        if (file_.readAt(recordOffset(n), out, recLen_) != recLen_)
            throw Error(Error::Code::Corrupt, path_ + ": record " + std::to_string(n) + " is cut short");
        return;
    }
    uint32_t per = std::max<uint32_t>(1, uint32_t(kChunkBytes / recLen_));
    uint32_t first = forward ? n : (n >= per ? n - per + 1 : 1);
    uint32_t count = std::min<uint32_t>(per, recCount_ - first + 1);
    cache_.resize(size_t(count) * recLen_);
    size_t got = file_.readAt(recordOffset(first), cache_.data(), cache_.size());
    cacheFirst_ = first;
    cacheCount_ = uint32_t(got / recLen_);
    if (n >= cacheFirst_ + cacheCount_)
        throw Error(Error::Code::Corrupt, path_ + ": record " + std::to_string(n) + " is cut short");
    std::memcpy(out, cache_.data() + size_t(n - cacheFirst_) * recLen_, recLen_);
}

void TableImpl::writeRecord(uint32_t n, const uint8_t* data) {
    file_.writeAt(recordOffset(n), data, recLen_);
    if (n >= cacheFirst_ && n < cacheFirst_ + cacheCount_)
        std::memcpy(cache_.data() + size_t(n - cacheFirst_) * recLen_, data, recLen_);
    modified_ = true;
}

template <class Fn> void TableImpl::scanRecords(Fn&& fn) {
    uint32_t per = std::max<uint32_t>(1, uint32_t(kChunkBytes / recLen_));
    std::vector<uint8_t> buf;
    for (uint32_t first = 1; first <= recCount_; first += per) {
        uint32_t count = std::min<uint32_t>(per, recCount_ - first + 1);
        buf.resize(size_t(count) * recLen_);
        if (file_.readAt(recordOffset(first), buf.data(), buf.size()) != buf.size())
            throw Error(Error::Code::Corrupt, path_ + ": records from " + std::to_string(first) + " are cut short");
        for (uint32_t i = 0; i < count; ++i)
            fn(buf.data() + size_t(i) * recLen_, first + i);
    }
}

void TableImpl::writeHeaderCount() {
    uint8_t b[4];
    putLe32(b, recCount_);
    file_.writeAt(4, b, 4);
    // The header now states the true count; a check after a pack or zap must
    // not report the count the file was opened with.
    headerCount_ = recCount_;
}

void TableImpl::writeHeaderDate() {
    uint8_t d[3];
    putHeaderDate(d);
    file_.writeAt(1, d, 3);
}

void TableImpl::writeFlags() {
    file_.writeAt(28, &flags_, 1);
    modified_ = true;
}

// ===========================================================================
// fields

int TableImpl::fieldIndex(std::string_view name) const {
    std::string n = upperAscii(name);
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name == n)
            return int(i);
    return -1;
}

const FieldDef& TableImpl::fieldAt(int field) const {
    if (field < 0 || size_t(field) >= fields_.size())
        throw Error(Error::Code::Argument, path_ + ": no field number " + std::to_string(field));
    return fields_[size_t(field)];
}

void TableImpl::requireRecord(const char* what) const {
    if (eof_)
        throw Error(Error::Code::State, path_ + ": cannot " + what + " at end of file (no current record)");
}

void TableImpl::requireWritable() const {
    if (readOnly_)
        throw Error(Error::Code::State, path_ + ": the table is open read-only");
    // Openers sharing a table each keep their own copies of its index
    // pages: a change one of them made to the index would be overwritten by
    // the other's, and its tags would silently go wrong.
    if (!options_.exclusive && cdx_)
        throw Error(Error::Code::State,
                    path_ + ": changing a table with an index needs it opened exclusively");
}

void TableImpl::requireExclusive(const char* what) const {
    requireWritable();
    if (!options_.exclusive)
        throw Error(Error::Code::State, path_ + ": " + what + " needs the table opened exclusively");
}

uint32_t TableImpl::memoPointer(const uint8_t* record, const FieldDef& f) const {
    const uint8_t* p = record + f.offset;
    if (f.width == 4)
        return le32(p);
    uint64_t v = 0;
    bool digits = false;
    for (int i = 0; i < f.width; ++i) {
        uint8_t c = p[i];
        if (c == ' ' || c == 0) {
            if (digits)
                break;
            continue;
        }
        if (c < '0' || c > '9')
            throw Error(Error::Code::Corrupt, path_ + ": memo field " + f.name + " holds an invalid block number");
        v = v * 10 + (c - '0');
        digits = true;
        if (v > 0xFFFFFFFFull)
            throw Error(Error::Code::Corrupt, path_ + ": memo field " + f.name + " holds an invalid block number");
    }
    return uint32_t(v);
}

void TableImpl::setMemoPointer(uint8_t* record, const FieldDef& f, uint32_t block) {
    uint8_t* p = record + f.offset;
    if (f.width == 4) {
        putLe32(p, block);
        return;
    }
    std::memset(p, ' ', size_t(f.width));
    if (block) {
        char buf[16];
        int n = std::snprintf(buf, sizeof buf, "%*u", f.width, block);
        std::memcpy(p, buf + (n - f.width), size_t(f.width));
    }
}

std::string TableImpl::fieldText(const uint8_t* record, const FieldDef& f) const {
    const char* p = reinterpret_cast<const char*>(record + f.offset);
    char buf[64];
    switch (f.type) {
    case 'L': {
        char c = p[0];
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            return "T";
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            return "F";
        return "";
    }
    case 'N':
    case 'F': {
        size_t b = 0, e = size_t(f.width);
        while (b < e && (p[b] == ' ' || p[b] == 0))
            ++b;
        while (e > b && (p[e - 1] == ' ' || p[e - 1] == 0))
            --e;
        return std::string(p + b, e - b);
    }
    case 'I':
        return std::to_string(int32_t(le32(record + f.offset)));
    case 'B': {
        double d;
        std::memcpy(&d, p, 8);
        std::snprintf(buf, sizeof buf, "%.*f", f.decimals, d);
        return buf;
    }
    case 'Y': {
        int64_t v;
        std::memcpy(&v, p, 8);
        std::snprintf(buf, sizeof buf, "%s%lld.%04lld", v < 0 ? "-" : "", (long long)(std::llabs(v) / 10000),
                      (long long)(std::llabs(v) % 10000));
        return buf;
    }
    case 'T': {
        uint32_t day = le32(record + f.offset);
        uint32_t ms = le32(record + f.offset + 4);
        if (day == 0)
            return "";
        std::string d = civilFromJulian(long(day));
        std::snprintf(buf, sizeof buf, "%02u%02u%02u", (ms / 3600000) % 24, (ms / 60000) % 60, (ms / 1000) % 60);
        return d + buf;
    }
    default: {
        size_t e = size_t(f.width);
        while (e > 0 && (p[e - 1] == ' ' || p[e - 1] == 0))
            --e;
        return std::string(p, e);
    }
    }
}

std::string TableImpl::getString(int field) const {
    const FieldDef& f = fieldAt(field);
    ensureLoaded();
    if (isMemoType(f.type)) {
        uint32_t block = memoPointer(rec_.data(), f);
        if (!block || !memo_.isOpen())
            return {};
        return memo_.read(block);
    }
    return fieldText(rec_.data(), f);
}

double TableImpl::getNumber(int field) const {
    const FieldDef& f = fieldAt(field);
    ensureLoaded();
    const uint8_t* p = rec_.data() + f.offset;
    switch (f.type) {
    case 'I':
        return double(int32_t(le32(p)));
    case 'B': {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    case 'Y': {
        int64_t v;
        std::memcpy(&v, p, 8);
        return double(v) / 10000.0;
    }
    case 'N':
    case 'F':
    case 'C': {
        std::string s = fieldText(rec_.data(), f);
        if (s.empty())
            return 0;
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        return end == s.c_str() ? 0 : d;
    }
    default:
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not numeric");
    }
}

bool TableImpl::getLogical(int field) const {
    const FieldDef& f = fieldAt(field);
    if (f.type != 'L')
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not logical");
    ensureLoaded();
    char c = char(rec_[size_t(f.offset)]);
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

std::string TableImpl::getMemo(int field) {
    const FieldDef& f = fieldAt(field);
    if (!isMemoType(f.type))
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not a memo");
    return getString(field);
}

std::string TableImpl::memoText(const uint8_t* record, int fieldIndex) {
    const FieldDef& f = fieldAt(fieldIndex);
    if (!isMemoType(f.type) || !memo_.isOpen())
        return {};
    uint32_t block = memoPointer(record, f);
    return block ? memo_.read(block) : std::string();
}

bool TableImpl::isEmpty(int field) {
    const FieldDef& f = fieldAt(field);
    ensureLoaded();
    switch (f.type) {
    case 'N':
    case 'F':
    case 'I':
    case 'B':
    case 'Y':
        return getNumber(field) == 0;
    case 'L':
        return !getLogical(field);
    default:
        if (isMemoType(f.type))
            return getMemo(field).empty();
        return fieldText(rec_.data(), f).empty();
    }
}

void TableImpl::putString(int field, std::string_view value) {
    const FieldDef& f = fieldAt(field);
    requireWritable();
    requireRecord("change a field");
    ensureLoaded();
    if (isMemoType(f.type)) {
        putMemo(field, value);
        return;
    }
    switch (f.type) {
    case 'N':
    case 'F':
    case 'I':
    case 'B':
    case 'Y': {
        std::string s(value);
        size_t b = s.find_first_not_of(' ');
        if (b == std::string::npos) {
            std::memset(rec_.data() + f.offset, f.type == 'N' || f.type == 'F' ? ' ' : 0, size_t(f.width));
            dirty_ = true;
            return;
        }
        char* end = nullptr;
        double d = std::strtod(s.c_str() + b, &end);
        while (end && *end == ' ')
            ++end;
        if (!end || *end)
            throw Error(Error::Code::Type, path_ + ": \"" + s + "\" is not a number for field " + f.name);
        putNumber(field, d);
        return;
    }
    case 'L':
        if (value.empty() || value[0] == ' ' || value[0] == '?') {
            rec_[size_t(f.offset)] = ' ';
            dirty_ = true;
        } else {
            char c = value[0];
            putLogical(field, c == 'T' || c == 't' || c == 'Y' || c == 'y');
        }
        return;
    case 'T':
        throw Error(Error::Code::Unsupported, path_ + ": field " + f.name + " (datetime) cannot be written");
    default: {
        size_t n = std::min(value.size(), size_t(f.width));
        std::memcpy(rec_.data() + f.offset, value.data(), n);
        std::memset(rec_.data() + f.offset + n, ' ', size_t(f.width) - n);
        dirty_ = true;
    }
    }
}

void TableImpl::putNumber(int field, double value) {
    const FieldDef& f = fieldAt(field);
    requireWritable();
    requireRecord("change a field");
    ensureLoaded();
    uint8_t* p = rec_.data() + f.offset;
    switch (f.type) {
    case 'N':
    case 'F': {
        const std::string s = numberText(f, value);
        std::memcpy(p, s.data(), size_t(f.width));
        break;
    }
    case 'I': {
        double r = std::nearbyint(value);
        if (!(r >= -2147483648.0 && r <= 2147483647.0))
            throw Error(Error::Code::Argument, path_ + ": value out of range for integer field " + f.name);
        putLe32(p, uint32_t(int32_t(r)));
        break;
    }
    case 'B':
        std::memcpy(p, &value, 8);
        break;
    case 'Y': {
        double r = std::nearbyint(value * 10000.0);
        if (!(std::fabs(r) < 9.2e18))
            throw Error(Error::Code::Argument, path_ + ": value out of range for currency field " + f.name);
        int64_t v = int64_t(r);
        std::memcpy(p, &v, 8);
        break;
    }
    default:
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not numeric");
    }
    dirty_ = true;
}

void TableImpl::putLogical(int field, bool value) {
    const FieldDef& f = fieldAt(field);
    requireWritable();
    requireRecord("change a field");
    ensureLoaded();
    if (f.type != 'L')
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not logical");
    rec_[size_t(f.offset)] = value ? 'T' : 'F';
    dirty_ = true;
}

void TableImpl::putMemo(int field, std::string_view text) {
    const FieldDef& f = fieldAt(field);
    requireWritable();
    requireRecord("change a memo");
    ensureLoaded();
    if (!isMemoType(f.type))
        throw Error(Error::Code::Type, path_ + ": field " + f.name + " is not a memo");
    if (!memo_.isOpen())
        throw Error(Error::Code::State, path_ + ": no memo file is open");
    uint32_t old = memoPointer(rec_.data(), f);
    uint32_t block = text.empty() ? 0 : memo_.write(old, text);
    setMemoPointer(rec_.data(), f, block);
    dirty_ = true;
}

// ===========================================================================
// records

void TableImpl::commit() {
    if (!dirty_ && !appended_)
        return;
    if (eof_) {
        dirty_ = appended_ = false;
        return;
    }
    requireWritable();
    ensureLoaded();
    bool isNew = appended_;
    if (isNew) {
        // Record (with the end-of-file mark) first, count second: a crash
        // between the two writes loses only this uncommitted record.
        scratch_.assign(rec_.begin(), rec_.end());
        scratch_.push_back(0x1A);
        file_.writeAt(recordOffset(recno_), scratch_.data(), scratch_.size());
        writeHeaderCount();
        modified_ = true;
    } else if (dirty_) {
        writeRecord(recno_, rec_.data());
    }
    dirty_ = false;
    appended_ = false;
    updateKeys(disk_.data(), rec_.data(), recno_, isNew);
    disk_ = rec_;
}

void TableImpl::appendBlank() {
    // Openers sharing the table each keep their own record count: two of
    // them appending would write their records to the same place, one
    // overwriting the other.
    requireExclusive("adding records");
    commit();
    if (recCount_ == 0xFFFFFFFEu)
        throw Error(Error::Code::State, path_ + ": the table is full");
    // The record reaches the file when it is committed (see commit()).
    uint32_t n = recCount_ + 1;
    recCount_ = n;
    rec_.assign(recLen_, ' ');
    disk_ = rec_;
    loaded_ = true;
    recno_ = n;
    eof_ = bof_ = false;
    appended_ = true;
    dirty_ = false;
    cursorValid_ = false;
}

void TableImpl::deleteRecord() {
    requireWritable();
    requireRecord("delete");
    ensureLoaded();
    rec_[0] = '*';
    dirty_ = true;
    commit();
}

void TableImpl::recall() {
    requireWritable();
    requireRecord("recall");
    ensureLoaded();
    rec_[0] = ' ';
    dirty_ = true;
    commit();
}

void TableImpl::report(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (progress_ && percent > lastPercent_) {
        lastPercent_ = percent;
        progress_(percent);
    }
}

// A pack writes the packed table, and its packed memo file, as complete new
// files beside the old ones and then puts them in their place, so that a
// failure or a crash at any moment leaves either the old table or the packed
// one, never a mixture. Once both new files are on disk a marker file says
// so; from then on the pack counts as done, and if the process dies before
// the files are swapped, the next open finishes the swap.
namespace {
struct PackFiles {
    std::string table, memo;       // the files replaced (links followed)
    std::string newTable, newMemo; // their packed copies
    std::string marker;            // exists once both copies are complete
    PackFiles(const std::string& tablePath, const std::string& memoPath)
        : table(realFile(tablePath)), memo(memoPath.empty() ? std::string() : realFile(memoPath)),
          newTable(table + ".pack"), newMemo(memo.empty() ? std::string() : memo + ".pack"),
          marker(table + ".packed") {}
};
} // namespace

void TableImpl::finishInterruptedPack() {
    PackFiles files(path_, siblingFile(path_, "FPT"));
    if (!fileExists(files.marker)) {
        // Copies without the marker are a pack that never finished: the
        // table is still the old one.
        if (!readOnly_) {
            ::unlink(files.newTable.c_str());
            if (!files.newMemo.empty())
                ::unlink(files.newMemo.c_str());
        }
        return;
    }
    if (readOnly_)
        throw Error(Error::Code::State,
                    path_ + ": a pack of this table was interrupted; open it for writing once to finish it");
    if (!files.newMemo.empty() && fileExists(files.newMemo) && ::rename(files.newMemo.c_str(), files.memo.c_str()) != 0)
        throw Error(Error::Code::Io, files.memo + ": cannot finish an interrupted pack: " + std::strerror(errno));
    if (fileExists(files.newTable)) {
        // The packed copy is locked before it takes the table's name, so no
        // other process can open it in between.
        OsFile packed;
        packed.open(files.newTable, false,
                    options_.exclusive ? OsFile::Lock::Exclusive : OsFile::Lock::Shared);
        packed.renameTo(files.table);
        file_ = std::move(packed);
    }
    syncDirectoryOf(files.table);
    ::unlink(files.marker.c_str());
}

void TableImpl::pack() {
    requireExclusive("a pack");
    commit();
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> customEntries = customEntriesAfterPack();
    lastPercent_ = -1;
    report(0);
    int packEnd = tags_.empty() ? 100 : 50;
    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : fields_)
        if (isMemoType(f.type))
            memoFields.push_back(&f);
    const bool rebuildMemo = memo_.isOpen() && memo_.kind() == MemoFile::Kind::Fpt && !memoFields.empty();
    const PackFiles files(path_, rebuildMemo ? memo_.path() : std::string());
    MemoFile newMemo;
    OsFile out;
    uint32_t kept = 0;
    const uint32_t total = recCount_;
    try {
        // The memos of the records kept come first, so a memo that cannot
        // be read stops the pack before anything else is written.
        const int memoEnd = rebuildMemo ? packEnd / 2 : 0;
        std::vector<uint32_t> newBlocks; // per kept record, one per memo field
        if (rebuildMemo) {
            MemoFile::createFpt(files.newMemo, true);
            newMemo.open(files.newMemo, MemoFile::Kind::Fpt, false);
            newMemo.beginBatch();
            scanRecords([&](const uint8_t* r, uint32_t n) {
                if (r[0] == '*')
                    return;
                for (const FieldDef* f : memoFields) {
                    uint32_t nb = 0;
                    try {
                        uint32_t block = memoPointer(r, *f);
                        if (block) {
                            std::string text = memo_.read(block);
                            if (!text.empty())
                                nb = newMemo.append(text);
                        }
                    } catch (const Error& e) {
                        throw Error(e.code(), path_ + ": cannot pack: record " + std::to_string(n) + " field " +
                                                  f->name + ": " + e.what() + "; the table is unchanged");
                    }
                    newBlocks.push_back(nb);
                }
                report(int(int64_t(n) * memoEnd / std::max<uint32_t>(total, 1)) - 1);
            });
            newMemo.endBatch();
            newMemo.sync();
        }
        // The records kept, into a new table with the old header.
        out.create(files.newTable, true);
        out.lock(OsFile::Lock::Exclusive);
        out.copyModeFrom(file_);
        std::vector<uint8_t> header(headerLen_);
        file_.readExact(0, header.data(), headerLen_);
        size_t nextBlock = 0;
        const uint32_t per = std::max<uint32_t>(1, uint32_t(kChunkBytes / recLen_));
        std::vector<uint8_t> buf, keptBytes;
        for (uint32_t first = 1; first <= total; first += per) {
            const uint32_t count = std::min<uint32_t>(per, total - first + 1);
            buf.resize(size_t(count) * recLen_);
            file_.readExact(recordOffset(first), buf.data(), buf.size());
            keptBytes.clear();
            const uint32_t outFirst = kept + 1;
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t* r = buf.data() + size_t(i) * recLen_;
                if (r[0] == '*')
                    continue;
                if (rebuildMemo)
                    for (const FieldDef* f : memoFields)
                        setMemoPointer(r, *f, newBlocks[nextBlock++]);
                keptBytes.insert(keptBytes.end(), r, r + recLen_);
                ++kept;
            }
            if (!keptBytes.empty())
                out.writeAt(recordOffset(outFirst), keptBytes.data(), keptBytes.size());
            report(memoEnd +
                   int(int64_t(first + count - 1) * (packEnd - memoEnd) / std::max<uint32_t>(total, 1)) - 1);
        }
        const uint8_t eofMark = 0x1A;
        out.writeAt(recordOffset(kept + 1), &eofMark, 1);
        putLe32(header.data() + 4, kept);
        putHeaderDate(header.data() + 1);
        out.writeAt(0, header.data(), header.size());
        out.sync();
        // The tags describe the old records until they are rebuilt below.
        if (cdx_)
            cdx_->markChanging();
        // Both copies are complete: from here on the pack is done.
        OsFile marker;
        marker.create(files.marker, true);
        marker.sync();
        marker.close();
        syncDirectoryOf(files.table);
    } catch (...) {
        newMemo.close();
        out.close();
        if (rebuildMemo)
            ::unlink(files.newMemo.c_str());
        ::unlink(files.newTable.c_str());
        throw;
    }
    report(packEnd);
    newMemo.close();
    if (rebuildMemo) {
        memo_.close();
        if (::rename(files.newMemo.c_str(), files.memo.c_str()) != 0)
            throw Error(Error::Code::Io, files.memo + ": cannot put the packed memo file in place (the next open "
                                                      "finishes the pack): " + std::strerror(errno));
    }
    // The old table's file closes here, and its lock with it; the packed one
    // was locked before it took the table's name.
    out.renameTo(files.table);
    file_ = std::move(out);
    syncDirectoryOf(files.table);
    ::unlink(files.marker.c_str());
    if (rebuildMemo)
        memo_.open(files.memo, MemoFile::Kind::Fpt, false);
    recCount_ = kept;
    headerCount_ = kept;
    modified_ = true;
    invalidateCache();
    std::vector<TagState*> all;
    for (auto& t : tags_)
        all.push_back(t.get());
    if (tempTag_ && !tempCustom_)
        all.push_back(tempTag_.get());
    buildTags(all, packEnd, 100);
    if (tempTag_ && tempCustom_) {
        tempTag_->tree->clear();
        for (const auto& [n, key] : customEntries)
            tempTag_->tree->insert(Key(key), n);
    }
    report(100);
    cursorValid_ = false;
    goTop();
}

// The entries of a temporary index filled key by key, numbered as their
// records will be once pack has removed the marked ones (entries of marked
// records left out).
std::vector<std::pair<uint32_t, std::vector<uint8_t>>> TableImpl::customEntriesAfterPack() {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> entries, out;
    if (!tempTag_ || !tempCustom_)
        return out;
    auto c = tempTag_->tree->cursor();
    for (bool ok = c->first(); ok; ok = c->next())
        entries.emplace_back(c->recno(), std::vector<uint8_t>(c->key().begin(), c->key().end()));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t i = 0;
    uint32_t kept = 0;
    scanRecords([&](const uint8_t* r, uint32_t n) {
        const bool keep = r[0] != '*';
        kept += keep ? 1 : 0;
        for (; i < entries.size() && entries[i].first <= n; ++i)
            if (keep && entries[i].first == n)
                out.emplace_back(kept, std::move(entries[i].second));
    });
    return out;
}

void TableImpl::zap() {
    // Another opener would be left reading records that are gone.
    requireExclusive("emptying the table");
    dirty_ = appended_ = false;
    recCount_ = 0;
    uint8_t eofMark = 0x1A;
    file_.writeAt(headerLen_, &eofMark, 1);
    file_.truncate(uint64_t(headerLen_) + 1);
    writeHeaderCount();
    modified_ = true;
    invalidateCache();
    if (memo_.isOpen() && memo_.kind() == MemoFile::Kind::Fpt)
        memo_.reset();
    for (auto& t : tags_)
        t->tree->clear();
    if (tempTag_)
        tempTag_->tree->clear();
    cursorValid_ = false;
    setEof();
    bof_ = true;
}

void TableImpl::copyStructure(const std::string& path) const { Table::create(path, fields_); }

// ===========================================================================
// position

void TableImpl::setEof() {
    recno_ = recCount_ + 1;
    eof_ = true;
    rec_.assign(recLen_, ' ');
    disk_ = rec_;
    loaded_ = true;
    dirty_ = appended_ = false;
}

void TableImpl::loadCurrent(uint32_t n) {
    recno_ = n;
    eof_ = false;
    dirty_ = appended_ = false;
    loaded_ = false;
}

void TableImpl::ensureLoaded() const {
    if (loaded_)
        return;
    // Table objects are only ever created non-const (by open()), so the
    // record buffer and the read cache may be filled from a const reader.
    auto* self = const_cast<TableImpl*>(this);
    self->readRecord(recno_, self->rec_.data());
    self->disk_ = rec_;
    loaded_ = true;
}

bool TableImpl::visible(const uint8_t* record, uint32_t recno) {
    if (hideDeleted_ && record[0] == '*')
        return false;
    if (filterExpr_ && !filterExpr_->evalLogical(context(record, recno)))
        return false;
    return true;
}

bool TableImpl::landOn(uint32_t n) {
    if (n < 1 || n > recCount_)
        return false;
    loadCurrent(n);
    // Only a filter or hidden deleted records make visibility depend on the
    // record's bytes; otherwise it stays unread until someone looks at it.
    if (!hideDeleted_ && !filterExpr_)
        return true;
    ensureLoaded();
    return visible(rec_.data(), n);
}

void TableImpl::goTop() {
    commit();
    bof_ = false;
    if (order_ != 0) {
        orderedTop();
        return;
    }
    for (uint32_t n = 1; n <= recCount_; ++n)
        if (landOn(n)) {
            return;
        }
    setEof();
    bof_ = true;
}

void TableImpl::goBottom() {
    commit();
    bof_ = false;
    if (order_ != 0) {
        orderedBottom();
        return;
    }
    for (uint32_t n = recCount_; n >= 1; --n)
        if (landOn(n))
            return;
    setEof();
    bof_ = true;
}

void TableImpl::skip(long n) {
    commit();
    if (n == 0) {
        if (!eof_)
            loadCurrent(recno_);
        return;
    }
    if (order_ != 0) {
        orderedSkip(n);
        return;
    }
    bof_ = false;
    if (n > 0) {
        if (eof_)
            return;
        uint32_t cur = recno_;
        for (long i = 0; i < n; ++i) {
            uint32_t m = cur + 1;
            while (m <= recCount_ && !landOn(m))
                ++m;
            if (m > recCount_) {
                setEof();
                return;
            }
            cur = m;
        }
    } else {
        uint32_t cur = eof_ ? recCount_ + 1 : recno_;
        for (long i = 0; i < -n; ++i) {
            uint32_t m = cur - 1;
            while (m >= 1 && !landOn(m))
                --m;
            if (m < 1) {
                // Before the first visible record: stay on it, at "bof".
                if (cur <= recCount_ && cur >= 1)
                    loadCurrent(cur);
                else
                    goTop();
                bof_ = true;
                return;
            }
            cur = m;
        }
    }
}

void TableImpl::go(uint32_t n) {
    commit();
    bof_ = false;
    if (n < 1 || n > recCount_) {
        setEof();
        return;
    }
    loadCurrent(n);
    cursorValid_ = false;
}

// ===========================================================================
// orders and navigation in index order

TagState* TableImpl::currentTag() {
    if (order_ == 0)
        return nullptr;
    if (order_ > int(tags_.size()))
        return tempTag_.get();
    return tags_[size_t(order_ - 1)].get();
}

TagInfo TableImpl::tagInfo(int order) const {
    if (order >= 1 && order <= int(tags_.size()))
        return tags_[size_t(order - 1)]->info;
    if (tempTag_ && order == int(tags_.size()) + 1)
        return tempTag_->info;
    throw Error(Error::Code::Argument, path_ + ": no order number " + std::to_string(order));
}

int TableImpl::tagOrder(std::string_view name) const {
    std::string n = upperAscii(name);
    for (size_t i = 0; i < tags_.size(); ++i)
        if (tags_[i]->info.name == n)
            return int(i + 1);
    if (tempTag_ && upperAscii(tempTag_->info.name) == n)
        return int(tags_.size() + 1);
    return 0;
}

void TableImpl::setOrder(int order) {
    commit();
    int max = int(tags_.size()) + (tempTag_ ? 1 : 0);
    if (order < 0 || order > max)
        throw Error(Error::Code::Argument, path_ + ": no order number " + std::to_string(order));
    order_ = order;
    cursor_.reset();
    cursorValid_ = false;
    if (TagState* t = currentTag())
        cursor_ = t->tree->cursor();
}

void TableImpl::setOrder(std::string_view tagName) {
    if (tagName.empty()) {
        setOrder(0);
        return;
    }
    int o = tagOrder(tagName);
    if (o == 0)
        throw Error(Error::Code::Argument, path_ + ": no tag named " + std::string(tagName));
    setOrder(o);
}

std::string TableImpl::orderName() const {
    if (order_ == 0)
        return {};
    return tagInfo(order_).name;
}

bool TableImpl::treeFirst() { return currentTag()->info.descending ? cursor_->last() : cursor_->first(); }
bool TableImpl::treeLast() { return currentTag()->info.descending ? cursor_->first() : cursor_->last(); }
bool TableImpl::treeNext() { return currentTag()->info.descending ? cursor_->prev() : cursor_->next(); }
bool TableImpl::treePrev() { return currentTag()->info.descending ? cursor_->next() : cursor_->prev(); }

// <0 when the cursor's key lies before `scope` in reading order, 0 when it
// begins with it, >0 after it.
int TableImpl::compareScope(const std::string& scope) const {
    Key k = cursor_->key();
    size_t n = std::min(scope.size(), k.size());
    int c = std::memcmp(k.data(), scope.data(), n);
    if (c == 0 && scope.size() > k.size())
        c = -1;
    bool desc = const_cast<TableImpl*>(this)->currentTag()->info.descending;
    return desc ? -c : c;
}

bool TableImpl::inScopeForward() const { return !scopeBottom_ || compareScope(*scopeBottom_) <= 0; }
bool TableImpl::inScopeBackward() const { return !scopeTop_ || compareScope(*scopeTop_) >= 0; }

void TableImpl::orderedTop() {
    TagState* t = currentTag();
    bool ok;
    if (scopeTop_) {
        std::vector<uint8_t> k(scopeTop_->begin(), scopeTop_->end());
        ok = t->info.descending ? cursorSeekLast(k) : cursorSeek(k);
    } else {
        ok = treeFirst();
    }
    while (ok && inScopeForward()) {
        if (landOn(cursor_->recno())) {
            cursorValid_ = true;
            return;
        }
        ok = treeNext();
    }
    setEof();
    bof_ = true;
    cursorValid_ = false;
}

void TableImpl::orderedBottom() {
    TagState* t = currentTag();
    bool ok;
    if (scopeBottom_) {
        std::vector<uint8_t> k(scopeBottom_->begin(), scopeBottom_->end());
        ok = t->info.descending ? cursorSeek(k) : cursorSeekLast(k);
    } else {
        ok = treeLast();
    }
    while (ok && inScopeBackward()) {
        if (landOn(cursor_->recno())) {
            cursorValid_ = true;
            return;
        }
        ok = treePrev();
    }
    setEof();
    bof_ = true;
    cursorValid_ = false;
}

int TableImpl::syncCursor() {
    if (eof_)
        return -1;
    if (cursorValid_ && cursor_->valid() && cursor_->recno() == recno_)
        return 1;
    TagState* t = currentTag();
    ensureLoaded();
    std::vector<uint8_t> key;
    bool in = keyFor(*t, rec_.data(), recno_, key);
    bool ok = cursor_->seek(Key(key), recno_);
    cursorValid_ = false;
    if (in && ok && cursor_->recno() == recno_ && std::memcmp(cursor_->key().data(), key.data(), key.size()) == 0) {
        cursorValid_ = true;
        return 1;
    }
    return 0;
}

void TableImpl::orderedSkip(long n) {
    TagState* t = currentTag();
    int state = syncCursor();
    bool desc = t->info.descending;
    if (n > 0) {
        bof_ = false;
        if (state < 0)
            return;
        for (long i = 0; i < n; ++i) {
            bool ok;
            if (state == 0) {
                // Cursor is on the first stored entry after the current record.
                ok = desc ? (cursor_->valid() ? cursor_->prev() : cursor_->last()) : cursor_->valid();
                state = 1;
            } else {
                ok = treeNext();
            }
            while (ok && inScopeForward() && !landOn(cursor_->recno()))
                ok = treeNext();
            if (!ok || !inScopeForward()) {
                setEof();
                cursorValid_ = false;
                return;
            }
            cursorValid_ = true;
        }
    } else {
        for (long i = 0; i < -n; ++i) {
            bool ok;
            if (state < 0) {
                ok = treeLast();
                if (scopeBottom_) {
                    std::vector<uint8_t> k(scopeBottom_->begin(), scopeBottom_->end());
                    ok = desc ? cursorSeek(k) : cursorSeekLast(k);
                }
                state = 1;
                while (ok && !inScopeForward())
                    ok = treePrev();
                if (ok && inScopeBackward() && landOn(cursor_->recno())) {
                    cursorValid_ = true;
                    continue;
                }
            } else if (state == 0) {
                ok = desc ? cursor_->valid() : (cursor_->valid() ? cursor_->prev() : cursor_->last());
                state = 1;
                if (ok && inScopeBackward() && landOn(cursor_->recno())) {
                    cursorValid_ = true;
                    continue;
                }
            }
            ok = cursor_->valid() && treePrev();
            while (ok && inScopeBackward() && !landOn(cursor_->recno()))
                ok = treePrev();
            if (!ok || !inScopeBackward()) {
                // Before the first visible entry: back to it, at "bof".
                orderedTop();
                bof_ = true;
                return;
            }
            cursorValid_ = true;
        }
        bof_ = false;
    }
}

// ===========================================================================
// keys and index maintenance

bool TableImpl::keyFor(TagState& t, const uint8_t* record, uint32_t recno, std::vector<uint8_t>& key) {
    EvalContext ctx = context(record, recno);
    key.resize(size_t(t.info.keyLength));
    t.key->evalKey(ctx, key.data(), t.info.keyLength);
    if (t.cond && !t.cond->evalLogical(ctx))
        return false;
    return true;
}

void TableImpl::insertKey(TagState& t, const std::vector<uint8_t>& key, uint32_t recno) {
    if (t.info.unique) {
        auto c = t.tree->cursor();
        if (c->seek(Key(key)) && std::memcmp(c->key().data(), key.data(), key.size()) == 0) {
            if (c->recno() < recno)
                return;
            // The new record comes first: it takes the place of the later one.
            uint32_t other = c->recno();
            t.tree->remove(Key(key), other);
        }
    }
    t.tree->insert(Key(key), recno);
}

void TableImpl::removeKey(TagState& t, const std::vector<uint8_t>& key, uint32_t recno) {
    if (!t.tree->remove(Key(key), recno) || !t.info.unique)
        return;
    // A unique tag keeps one entry per key: the lowest other record with this
    // key (and passing the condition) takes the removed entry's place.
    std::vector<uint8_t> k;
    uint32_t best = 0;
    ensureLoaded();
    scanRecords([&](const uint8_t* r, uint32_t n) {
        if (best || n == recno)
            return;
        const uint8_t* rr = n == recno_ ? rec_.data() : r;
        if (keyFor(t, rr, n, k) && k == key)
            best = n;
    });
    if (best)
        t.tree->insert(Key(key), best);
}

void TableImpl::updateKeys(const uint8_t* oldRec, const uint8_t* newRec, uint32_t recno, bool isNew) {
    TagState* temp = tempTag_ && !tempCustom_ ? tempTag_.get() : nullptr;
    if (tags_.empty() && !temp)
        return;
    std::vector<uint8_t> oldKey, newKey;
    bool changed = false;
    auto update = [&](TagState& t) {
        bool newIn = keyFor(t, newRec, recno, newKey);
        if (!isNew) {
            bool oldIn = keyFor(t, oldRec, recno, oldKey);
            if (oldIn == newIn && oldKey == newKey)
                return;
            if (oldIn)
                removeKey(t, oldKey, recno);
        }
        if (newIn)
            insertKey(t, newKey, recno);
        changed = true;
    };
    for (auto& tp : tags_)
        update(*tp);
    if (temp)
        update(*temp);
    if (changed)
        cursorValid_ = false;
}

// Builds tags whose keys do not fit in memory together: one pass over the
// records hands every key to its tree, which holds a share of the memory
// and sorts the rest in runs on scratch space; each tree is then built in
// one pass. False (nothing changed) when a tree has no scratch space.
bool TableImpl::loadTags(const std::vector<TagState*>& tags, size_t memory, int progressFrom, int progressTo) {
    const size_t share = memory / tags.size();
    size_t started = 0;
    for (; started < tags.size(); ++started)
        if (!tags[started]->tree->beginLoad(share))
            break;
    if (started < tags.size()) {
        // The trees already started are left empty and no longer loading:
        // the caller builds every tag another way.
        for (size_t i = 0; i <= started && i < tags.size(); ++i)
            tags[i]->tree->clear();
        return false;
    }
    try {
        std::vector<uint8_t> key;
        const uint32_t total = std::max<uint32_t>(recCount_, 1);
        const uint32_t step = std::max<uint32_t>(1, total / 100);
        const int scanEnd = progressFrom + (progressTo - progressFrom) * 3 / 4;
        scanRecords([&](const uint8_t* r, uint32_t n) {
            for (TagState* t : tags)
                if (keyFor(*t, r, n, key))
                    t->tree->insert(Key(key), n);
            if (n % step == 0)
                report(progressFrom + int(int64_t(n) * (scanEnd - progressFrom) / total));
        });
        for (size_t i = 0; i < tags.size(); ++i) {
            tags[i]->tree->finishLoad(tags[i]->info.unique);
            report(scanEnd + int(int64_t(i + 1) * (progressTo - scanEnd) / int64_t(tags.size())));
        }
    } catch (...) {
        // A failed build leaves empty tags, never partial ones.
        for (TagState* t : tags)
            t->tree->clear();
        throw;
    }
    if (cdx_)
        cdx_->flush();
    cursorValid_ = false;
    return true;
}

void TableImpl::buildTags(std::vector<TagState*> tags, int progressFrom, int progressTo) {
    if (tags.empty())
        return;
    // Tags whose keys fit in the budget together are sorted in memory; more
    // are loaded through scratch space in one pass over the records, so the
    // memory used stays bounded.
    const size_t budget = size_t(24) << 20;
    auto bytesOf = [&](const TagState* t) { return size_t(recCount_) * (size_t(t->info.keyLength) + 16); };
    size_t all = 0;
    for (const TagState* t : tags)
        all += bytesOf(t);
    if (all > budget && loadTags(tags, budget, progressFrom, progressTo))
        return;
    if (tags.size() > 1 && all > budget) {
        // No scratch space: groups of tags, one pass over the records each.
        std::vector<std::vector<TagState*>> groups(1);
        size_t used = 0;
        for (TagState* t : tags) {
            if (!groups.back().empty() && used + bytesOf(t) > budget) {
                groups.emplace_back();
                used = 0;
            }
            groups.back().push_back(t);
            used += bytesOf(t);
        }
        size_t before = 0;
        for (const auto& g : groups) {
            size_t mine = 0;
            for (const TagState* t : g)
                mine += bytesOf(t);
            int from = progressFrom + int(int64_t(progressTo - progressFrom) * int64_t(before) / int64_t(all));
            before += mine;
            int to = progressFrom + int(int64_t(progressTo - progressFrom) * int64_t(before) / int64_t(all));
            buildTags(g, from, to);
        }
        return;
    }
    struct Build {
        TagState* tag;
        std::vector<uint8_t> keys;
        std::vector<uint32_t> recnos;
    };
    std::vector<Build> builds;
    for (TagState* t : tags) {
        Build b;
        b.tag = t;
        b.keys.reserve(size_t(recCount_) * size_t(t->info.keyLength));
        b.recnos.reserve(recCount_);
        builds.push_back(std::move(b));
    }
    int span = progressTo - progressFrom;
    int scanEnd = progressFrom + span / 2;
    std::vector<uint8_t> key;
    uint32_t total = std::max<uint32_t>(recCount_, 1);
    uint32_t step = std::max<uint32_t>(1, total / 100);
    scanRecords([&](const uint8_t* r, uint32_t n) {
        for (Build& b : builds) {
            if (keyFor(*b.tag, r, n, key)) {
                b.keys.insert(b.keys.end(), key.begin(), key.end());
                b.recnos.push_back(n);
            }
        }
        if (n % step == 0)
            report(progressFrom + int(int64_t(n) * (scanEnd - progressFrom) / total));
    });
    size_t done = 0;
    for (Build& b : builds) {
        size_t len = size_t(b.tag->info.keyLength);
        const uint8_t* base = b.keys.data();
        // Sort on the first eight key bytes as one integer, the rest of the
        // key only where those agree. Records were collected in ascending
        // order, so the position breaks ties in record-number order.
        struct Entry {
            uint64_t prefix;
            uint32_t pos;
        };
        std::vector<Entry> entries(b.recnos.size());
        size_t plen = std::min<size_t>(8, len);
        for (size_t i = 0; i < entries.size(); ++i) {
            uint64_t p = 0;
            const uint8_t* k = base + i * len;
            for (size_t j = 0; j < 8; ++j)
                p = (p << 8) | (j < plen ? k[j] : 0);
            entries[i] = {p, uint32_t(i)};
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& x, const Entry& y) {
            if (x.prefix != y.prefix)
                return x.prefix < y.prefix;
            if (len > 8) {
                int c = std::memcmp(base + size_t(x.pos) * len + 8, base + size_t(y.pos) * len + 8, len - 8);
                if (c != 0)
                    return c < 0;
            }
            return x.pos < y.pos;
        });
        std::vector<uint32_t> idx(entries.size());
        for (size_t i = 0; i < entries.size(); ++i)
            idx[i] = entries[i].pos;
        std::vector<Entry>().swap(entries);
        size_t pos = 0;
        const uint8_t* prev = nullptr;
        bool unique = b.tag->info.unique;
        b.tag->tree->bulkLoad([&](std::vector<uint8_t>& k, uint32_t& recno) {
            while (pos < idx.size()) {
                const uint8_t* cur = base + size_t(idx[pos]) * len;
                uint32_t rn = b.recnos[idx[pos]];
                ++pos;
                if (unique && prev && std::memcmp(prev, cur, len) == 0)
                    continue;
                prev = cur;
                k.assign(cur, cur + len);
                recno = rn;
                return true;
            }
            return false;
        });
        ++done;
        report(scanEnd + int(int64_t(done) * (progressTo - scanEnd) / int64_t(builds.size())));
    }
    if (cdx_)
        cdx_->flush();
    cursorValid_ = false;
}

void TableImpl::closeIndexes() {
    commit();
    order_ = 0;
    cursor_.reset();
    cursorValid_ = false;
    tags_.clear();
    if (cdx_) {
        cdx_->close();
        cdx_.reset();
    }
    tempTag_.reset();
    if (idx_) {
        idx_->close();
        idx_.reset();
    }
    scopeTop_.reset();
    scopeBottom_.reset();
}

void TableImpl::deleteIndexFile() {
    requireExclusive("deleting the index");
    commit();
    std::string p = cdx_ ? cdx_->path() : siblingFile(path_, "CDX");
    if (cdx_) {
        if (order_ >= 1 && order_ <= int(tags_.size())) {
            order_ = 0;
            cursor_.reset();
        }
        tags_.clear();
        cdx_->close();
        cdx_.reset();
        if (tempTag_ && order_ != 0) {
            order_ = 1;
            cursor_ = tempTag_->tree->cursor();
        }
        cursorValid_ = false;
    }
    if (!p.empty() && ::unlink(p.c_str()) != 0)
        throw Error(Error::Code::Io, p + ": cannot delete the index file");
    if (flags_ & 0x01) {
        flags_ &= uint8_t(~0x01);
        writeFlags();
    }
}

void TableImpl::createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr,
                          bool descending, bool unique) {
    requireExclusive("making a tag");
    commit();
    std::string tagName = upperAscii(name);
    if (tagName.empty() || tagName.size() > 10 || !std::isalpha(static_cast<unsigned char>(tagName[0])) ||
        !std::all_of(tagName.begin(), tagName.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }))
        throw Error(Error::Code::Argument, path_ + ": \"" + name + "\" is not a valid tag name");
    auto t = std::make_unique<TagState>();
    t->key = Expression::compile(keyExpr, fields_);
    if (!forExpr.empty()) {
        t->cond = Expression::compile(forExpr, fields_);
        if (t->cond->type() != ValueType::Logical)
            throw ExpressionError("the FOR condition must be a logical expression", 0);
    }
    if (t->key->readsMemo() || (t->cond && t->cond->readsMemo()))
        throw Error(Error::Code::Argument, path_ + ": tag " + tagName +
                                               ": a memo field cannot be part of an index key or FOR condition");
    TagInfo info;
    info.name = tagName;
    info.keyExpr = keyExpr;
    info.forExpr = forExpr;
    info.unique = unique;
    info.descending = descending;
    switch (t->key->type()) {
    case ValueType::Character:
        info.type = KeyType::Character;
        info.keyLength = t->key->width();
        break;
    case ValueType::Numeric:
        info.type = KeyType::Numeric;
        info.keyLength = 8;
        break;
    case ValueType::Date:
        info.type = KeyType::Date;
        info.keyLength = 8;
        break;
    case ValueType::Logical:
        info.type = KeyType::Logical;
        info.keyLength = 1;
        break;
    }
    if (info.keyLength < 1 || info.keyLength > 240)
        throw Error(Error::Code::Argument, path_ + ": key of tag " + tagName + " is " +
                                               std::to_string(info.keyLength) + " bytes long (1 to 240 allowed)");
    if (!cdx_) {
        cdx_ = CompoundIndex::create(siblingName(path_, "CDX"));
        if (!(flags_ & 0x01)) {
            flags_ |= 0x01;
            writeFlags();
        }
    }
    std::string currentName = orderName();
    if (cdx_->findTag(tagName) >= 0) {
        order_ = 0;
        cursor_.reset();
        cdx_->removeTag(tagName);
    }
    IndexTree& tree = cdx_->addTag(info);
    t->tree = &tree;
    t->info = tree.info();
    // Rebuild the list of tag states in the file's order.
    std::vector<std::unique_ptr<TagState>> old = std::move(tags_);
    tags_.clear();
    for (int i = 0; i < cdx_->tagCount(); ++i) {
        IndexTree* tr = &cdx_->tag(i);
        if (tr == &tree) {
            tags_.push_back(std::move(t));
            continue;
        }
        for (auto& o : old)
            if (o && upperAscii(o->info.name) == upperAscii(tr->info().name)) {
                o->tree = tr;
                tags_.push_back(std::move(o));
                break;
            }
    }
    lastPercent_ = -1;
    report(0);
    buildTags({tags_[size_t(cdx_->findTag(tagName))].get()}, 0, 100);
    report(100);
    // Keep the current order where it was (by name; numbers may have moved).
    order_ = 0;
    cursor_.reset();
    if (!currentName.empty() && tagOrder(currentName) != 0)
        setOrder(std::string_view(currentName));
}

void TableImpl::reindex() {
    requireExclusive("rebuilding the index");
    commit();
    lastPercent_ = -1;
    report(0);
    std::vector<TagState*> all;
    for (auto& t : tags_)
        all.push_back(t.get());
    if (tempTag_ && !tempCustom_)
        all.push_back(tempTag_.get());
    buildTags(all, 0, 100);
    report(100);
}

void TableImpl::createTempIndex(const std::string& path, const std::string& keyExpr, bool empty) {
    commit();
    closeTempIndex();
    auto t = std::make_unique<TagState>();
    t->key = Expression::compile(keyExpr, fields_);
    if (t->key->readsMemo())
        throw Error(Error::Code::Argument, path + ": a memo field cannot be part of an index key");
    TagInfo info;
    std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    base = base.substr(0, base.find('.'));
    info.name = upperAscii(base.substr(0, 10));
    info.keyExpr = keyExpr;
    switch (t->key->type()) {
    case ValueType::Character:
        info.type = KeyType::Character;
        info.keyLength = t->key->width();
        break;
    case ValueType::Numeric:
        info.type = KeyType::Numeric;
        info.keyLength = 8;
        break;
    case ValueType::Date:
        info.type = KeyType::Date;
        info.keyLength = 8;
        break;
    case ValueType::Logical:
        info.type = KeyType::Logical;
        info.keyLength = 1;
        break;
    }
    if (info.keyLength < 1 || info.keyLength > 240)
        throw Error(Error::Code::Argument, path + ": key length " + std::to_string(info.keyLength) + " is not allowed");
    idx_ = IdxFile::create(path, info);
    t->tree = &idx_->tree();
    t->info = info;
    tempTag_ = std::move(t);
    tempCustom_ = empty;
    if (!empty) {
        lastPercent_ = -1;
        report(0);
        buildTags({tempTag_.get()}, 0, 100);
        report(100);
    }
    idx_->flush();
    setOrder(int(tags_.size()) + 1);
    goTop();
}

void TableImpl::tempKeyAdd() {
    if (!tempTag_)
        throw Error(Error::Code::State, path_ + ": no temporary index is open");
    requireRecord("add a key");
    commit();
    ensureLoaded();
    std::vector<uint8_t> key;
    if (keyFor(*tempTag_, rec_.data(), recno_, key)) {
        auto c = tempTag_->tree->cursor();
        if (c->seek(Key(key), recno_) && c->recno() == recno_ &&
            std::memcmp(c->key().data(), key.data(), key.size()) == 0)
            return; // already there
        tempTag_->tree->insert(Key(key), recno_);
        cursorValid_ = false;
    }
}

void TableImpl::closeTempIndex() {
    if (!tempTag_)
        return;
    commit();
    if (order_ == int(tags_.size()) + 1) {
        order_ = 0;
        cursor_.reset();
    }
    tempTag_.reset();
    if (idx_) {
        idx_->close();
        idx_.reset();
    }
    cursorValid_ = false;
}

// ===========================================================================
// seeks and scopes

std::vector<uint8_t> TableImpl::seekKeyBytes(const TagState& t, std::string_view text) const {
    std::vector<uint8_t> k;
    switch (t.info.type) {
    case KeyType::Character:
        k.assign(text.begin(), text.begin() + std::min<size_t>(text.size(), size_t(t.info.keyLength)));
        break;
    case KeyType::Numeric: {
        std::string s(text);
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        while (end && *end == ' ')
            ++end;
        if (s.find_first_not_of(' ') == std::string::npos)
            d = 0;
        else if (!end || *end)
            throw Error(Error::Code::Argument, path_ + ": \"" + s + "\" is not a number to seek in tag " + t.info.name);
        k.resize(8);
        encodeNumericKey(d, k.data());
        break;
    }
    case KeyType::Date: {
        std::string s(text);
        size_t b = s.find_first_not_of(' ');
        long jd = b == std::string::npos ? 0 : julianDay(s.substr(b, 8));
        if (b != std::string::npos && jd == 0)
            throw Error(Error::Code::Argument, path_ + ": \"" + s + "\" is not a date (yyyymmdd) to seek in tag " +
                                                   t.info.name);
        k.resize(8);
        encodeNumericKey(double(jd), k.data());
        break;
    }
    case KeyType::Logical: {
        char c = text.empty() ? 'F' : text[0];
        k.push_back((c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 'T' : 'F');
        break;
    }
    }
    return k;
}

bool TableImpl::seek(std::string_view text) {
    commit();
    found_ = false;
    TagState* t = currentTag();
    if (!t)
        throw Error(Error::Code::State, path_ + ": seek needs an index order");
    std::vector<uint8_t> k = seekKeyBytes(*t, text);
    if (exact_ && t->info.type == KeyType::Character)
        k.resize(size_t(t->info.keyLength), ' ');
    bof_ = false;
    bool ok = t->info.descending ? cursorSeekLast(k) : cursorSeek(k);
    // Entries before the top scope are not reachable.
    while (ok && !inScopeBackward())
        ok = treeNext();
    while (ok && inScopeForward() && !landOn(cursor_->recno()))
        ok = treeNext();
    if (!ok || !inScopeForward()) {
        setEof();
        cursorValid_ = false;
        return false;
    }
    cursorValid_ = true;
    found_ = k.empty() || std::memcmp(cursor_->key().data(), k.data(), k.size()) == 0;
    if (!found_ && !softSeek_) {
        setEof();
        cursorValid_ = false;
    }
    return found_;
}

void TableImpl::setScope(std::optional<std::string> top, std::optional<std::string> bottom) {
    commit();
    TagState* t = currentTag();
    if (!t)
        throw Error(Error::Code::State, path_ + ": a scope needs an index order");
    auto conv = [&](const std::optional<std::string>& s) -> std::optional<std::string> {
        if (!s)
            return std::nullopt;
        std::vector<uint8_t> k = seekKeyBytes(*t, *s);
        return std::string(k.begin(), k.end());
    };
    scopeTop_ = conv(top);
    scopeBottom_ = conv(bottom);
}

void TableImpl::clearScope() {
    scopeTop_.reset();
    scopeBottom_.reset();
}

// ===========================================================================
// filters

void TableImpl::setFilter(const std::string& expr) {
    commit();
    if (expr.find_first_not_of(" \t") == std::string::npos) {
        filterExpr_.reset();
        filterText_.clear();
        return;
    }
    auto e = Expression::compile(expr, fields_);
    if (e->type() != ValueType::Logical)
        throw ExpressionError("a filter must be a logical expression", 0);
    filterExpr_ = std::move(e);
    filterText_ = expr;
}

bool TableImpl::evalLogical(const std::string& expr) {
    auto e = Expression::compile(expr, fields_);
    if (e->type() != ValueType::Logical)
        throw ExpressionError("a condition must be a logical expression", 0);
    ensureLoaded();
    return e->evalLogical(context(rec_.data(), recno_));
}

uint32_t TableImpl::countVisible() {
    commit();
    // An order without a condition, uniqueness or scope holds every record
    // exactly once, so the count is the same as in physical order, where it
    // can be taken with large sequential reads instead of one read per key.
    bool wholeOrder = false;
    if (order_ != 0 && !scopeTop_ && !scopeBottom_) {
        const TagState* t = currentTag();
        wholeOrder = t && !t->cond && t->info.forExpr.empty() && !t->info.unique;
    }
    if (order_ == 0 || wholeOrder) {
        if (!filterExpr_ && !hideDeleted_)
            return recCount_;
        uint32_t count = 0;
        scanRecords([&](const uint8_t* r, uint32_t n) {
            if (visible(r, n))
                ++count;
        });
        return count;
    }
    if (!filterExpr_ && !hideDeleted_ && !scopeTop_ && !scopeBottom_)
        return uint32_t(currentTag()->tree->count());
    // In index order: walk the order, then come back.
    bool wasEof = eof_;
    uint32_t saved = recno_;
    uint32_t count = 0;
    orderedTop();
    while (!eof_) {
        ++count;
        orderedSkip(1);
    }
    if (wasEof) {
        setEof();
    } else {
        loadCurrent(saved);
    }
    cursorValid_ = false;
    bof_ = false;
    return count;
}

// ===========================================================================
// verification

std::string TableImpl::currentKey() {
    commit();
    if (order_ == 0 || eof_ || syncCursor() != 1)
        return {};
    Key k = cursor_->key();
    return std::string(reinterpret_cast<const char*>(k.data()), k.size());
}

void TableImpl::check(std::vector<std::string>& faults) {
    commit();
    if (headerCount_ > recCount_)
        faults.push_back(path_ + ": the header counts " + std::to_string(headerCount_) + " records, the file holds " +
                         std::to_string(recCount_));
    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : fields_)
        if (isMemoType(f.type))
            memoFields.push_back(&f);
    size_t badFlags = 0;
    try {
        scanRecords([&](const uint8_t* r, uint32_t n) {
            if (r[0] != ' ' && r[0] != '*' && badFlags++ < 10)
                faults.push_back(path_ + ": record " + std::to_string(n) + " has an invalid deletion flag");
            for (const FieldDef* f : memoFields) {
                try {
                    uint32_t block = memoPointer(r, *f);
                    if (block && memo_.isOpen())
                        memo_.read(block);
                    else if (block)
                        faults.push_back(path_ + ": record " + std::to_string(n) + " " + f->name +
                                         ": memo without a memo file");
                } catch (const Error& e) {
                    faults.push_back("record " + std::to_string(n) + " " + f->name + ": " + e.what());
                }
            }
        });
    } catch (const Error& e) {
        faults.push_back(e.what());
        return;
    }
    if (cdx_ && !cdx_->trustworthy())
        faults.push_back(indexProblem());
    // The header says the table has a production index: other engines refuse
    // to open it without one, and no tag followed the changes made since.
    if ((flags_ & 0x01) && siblingFile(path_, "CDX").empty())
        faults.push_back(path_ + ": marked as having a production index, but " + siblingName(path_, "CDX") +
                         " is missing");
    for (auto& tp : tags_) {
        TagState& t = *tp;
        std::string prefix = "tag " + t.info.name + ": ";
        std::vector<std::string> tree;
        try {
            t.tree->verify(tree);
        } catch (const std::exception& e) {
            tree.push_back(e.what());
        }
        for (const std::string& f : tree)
            faults.push_back(prefix + f);
        if (!tree.empty())
            continue;
        // The entries the records call for, in key order: sorted in memory,
        // or, when they would take too much of it, loaded into a scratch
        // index that sorts them in runs on disk.
        size_t len = size_t(t.info.keyLength);
        std::vector<uint8_t> keys;
        std::vector<uint32_t> recnos;
        std::vector<uint32_t> idx;
        std::vector<uint8_t> key;
        std::unique_ptr<IdxFile> scratch;
        std::string scratchPath;
        struct Unlink {
            std::string* path;
            ~Unlink() {
                if (!path->empty())
                    ::unlink(path->c_str());
            }
        } unlinkScratch{&scratchPath};
        if (size_t(recCount_) * (len + 4) > (size_t(24) << 20)) {
            std::string tmpl = (std::filesystem::temp_directory_path() / "qbcheckXXXXXX").string();
            int fd = ::mkstemp(tmpl.data());
            if (fd >= 0) {
                ::close(fd);
                scratchPath = tmpl;
                try {
                    TagInfo info = t.info;
                    info.descending = false;
                    scratch = IdxFile::create(scratchPath, info);
                    scratch->setCacheBudget(size_t(2) << 20); // walked once, in order
                    scratch->tree().setKeyType(t.info.type);
                    if (!scratch->tree().beginLoad(size_t(8) << 20))
                        scratch.reset();
                } catch (const Error&) {
                    scratch.reset();
                }
            }
        }
        try {
            if (!scratch)
                keys.reserve(size_t(recCount_) * len);
            scanRecords([&](const uint8_t* r, uint32_t n) {
                if (keyFor(t, r, n, key)) {
                    if (scratch) {
                        scratch->tree().insert(Key(key), n);
                        return;
                    }
                    keys.insert(keys.end(), key.begin(), key.end());
                    recnos.push_back(n);
                }
            });
            if (scratch)
                scratch->tree().finishLoad(t.info.unique);
        } catch (const Error& e) {
            faults.push_back(prefix + e.what());
            continue;
        }
        std::unique_ptr<IndexTree::Cursor> expected;
        size_t expectedCount = 0;
        bool haveExpected = false;
        if (scratch) {
            expected = scratch->tree().cursor();
            haveExpected = expected->first();
            expectedCount = size_t(scratch->tree().count());
        } else {
            idx.resize(recnos.size());
            std::iota(idx.begin(), idx.end(), 0u);
            std::stable_sort(idx.begin(), idx.end(), [&](uint32_t x, uint32_t y) {
                return std::memcmp(keys.data() + size_t(x) * len, keys.data() + size_t(y) * len, len) < 0;
            });
            if (t.info.unique) {
                std::vector<uint32_t> kept;
                for (uint32_t i : idx)
                    if (kept.empty() || std::memcmp(keys.data() + size_t(kept.back()) * len,
                                                    keys.data() + size_t(i) * len, len) != 0)
                        kept.push_back(i);
                idx.swap(kept);
            }
            expectedCount = idx.size();
        }
        // Entry `pos` of the expected order (pos < expectedCount), visited in order.
        auto expectedAt = [&](size_t pos, const uint8_t*& k, uint32_t& rec) {
            if (!scratch) {
                k = keys.data() + size_t(idx[pos]) * len;
                rec = recnos[idx[pos]];
                return;
            }
            if (pos > 0)
                haveExpected = expected->next();
            if (!haveExpected)
                throw Error(Error::Code::Corrupt, scratchPath + ": scratch index ended early");
            k = expected->key().data();
            rec = expected->recno();
        };
        auto c = t.tree->cursor();
        size_t pos = 0, wrong = 0;
        std::string first;
        try {
            for (bool ok = c->first(); ok; ok = c->next(), ++pos) {
                if (pos >= expectedCount) {
                    ++wrong;
                    if (first.empty())
                        first = "an entry for record " + std::to_string(c->recno()) + " that should not be there";
                    continue;
                }
                const uint8_t* wantKey = nullptr;
                uint32_t want = 0;
                expectedAt(pos, wantKey, want);
                if (c->recno() != want || std::memcmp(c->key().data(), wantKey, len) != 0) {
                    ++wrong;
                    if (first.empty())
                        first = "entry " + std::to_string(pos + 1) + " is record " + std::to_string(c->recno()) +
                                ", the records call for record " + std::to_string(want) + " with its key";
                }
            }
        } catch (const std::exception& e) {
            faults.push_back(prefix + e.what());
            continue;
        }
        if (pos < expectedCount) {
            faults.push_back(prefix + "holds " + std::to_string(pos) + " entries, the records call for " +
                             std::to_string(expectedCount));
        }
        if (wrong)
            faults.push_back(prefix + std::to_string(wrong) + " entries disagree with the records (first: " + first +
                             ")");
    }
}

// ===========================================================================
// closing

void TableImpl::close() {
    if (closed_)
        return;
    closed_ = true;
    std::exception_ptr failure;
    try {
        if (!readOnly_)
            commit();
        if (!readOnly_ && modified_) {
            writeHeaderDate();
            writeHeaderCount();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    cursor_.reset();
    tags_.clear();
    tempTag_.reset();
    try {
        if (idx_)
            idx_->close();
        if (cdx_)
            cdx_->close();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    idx_.reset();
    cdx_.reset();
    memo_.close();
    file_.close();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

// ===========================================================================

std::string numberText(const FieldDef& f, double value) {
    std::string s;
    if (std::isfinite(value)) {
        // Halves round away from zero, as xBase does (printf alone would
        // round -3.125 to -3.12).
        double scale = std::pow(10.0, f.decimals);
        double scaled = value * scale;
        double rounded = std::round(scaled + (scaled >= 0 ? 1e-9 : -1e-9)) / scale;
        if (rounded == 0)
            rounded = 0; // a small negative value rounds to 0, not "-0.00"
        char buf[400];
        int n = std::snprintf(buf, sizeof buf, "%*.*f", f.width, f.decimals, rounded);
        s.assign(buf, size_t(std::max(0, std::min<int>(n, int(sizeof buf) - 1))));
        if (s.size() == size_t(f.width) + 1 && s[0] == '-' && s[1] == '0' && f.decimals == 0) {
            // "-0" rounded from a tiny negative value.
            s = std::string(size_t(f.width) - 1, ' ') + "0";
        }
    }
    if (s.size() != size_t(f.width))
        s.assign(size_t(f.width), '*');
    return s;
}

std::unique_ptr<Table> Table::open(const std::string& path, const OpenOptions& options) {
    return std::make_unique<TableImpl>(path, options);
}

void Table::create(const std::string& path, const std::vector<FieldDef>& fieldsIn) {
    if (fieldsIn.empty())
        throw Error(Error::Code::Argument, path + ": a table needs at least one field");
    if (fieldsIn.size() > 255)
        throw Error(Error::Code::Argument, path + ": a table can have at most 255 fields");
    std::vector<FieldDef> fields = fieldsIn;
    bool memo = false;
    int recLen = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldDef& f = fields[i];
        f.name = upperAscii(f.name);
        f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
        auto bad = [&](const std::string& why) {
            throw Error(Error::Code::Argument, path + ": field " + (f.name.empty() ? std::to_string(i + 1) : f.name) +
                                                   " " + why);
        };
        if (f.name.empty() || f.name.size() > 10 || !std::isalpha(static_cast<unsigned char>(f.name[0])) ||
            !std::all_of(f.name.begin(), f.name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }))
            bad("has an invalid name (1 to 10 letters, digits or _, starting with a letter)");
        for (size_t j = 0; j < i; ++j)
            if (fields[j].name == f.name)
                bad("appears twice");
        switch (f.type) {
        case 'C':
            if (f.width < 1 || f.width > 254)
                bad("needs a width from 1 to 254");
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.width < 1 || f.width > 20)
                bad("needs a width from 1 to 20");
            if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2))
                bad("has too many decimals for its width");
            break;
        case 'L':
            f.width = 1;
            f.decimals = 0;
            break;
        case 'D':
            f.width = 8;
            f.decimals = 0;
            break;
        case 'M':
            f.width = 10;
            f.decimals = 0;
            memo = true;
            break;
        default:
            throw Error(Error::Code::Unsupported, path + ": field " + f.name + " has type " + std::string(1, f.type) +
                                                       ", which new tables cannot have");
        }
        f.offset = recLen;
        recLen += f.width;
    }
    uint32_t headerLen = uint32_t(32 + 32 * fields.size() + 1);
    std::vector<uint8_t> h(headerLen + 1, 0);
    h[0] = memo ? 0xF5 : 0x03;
    putHeaderDate(h.data() + 1);
    putLe16(h.data() + 8, headerLen);
    putLe16(h.data() + 10, uint32_t(recLen));
    h[29] = 0x03;
    for (size_t i = 0; i < fields.size(); ++i) {
        uint8_t* d = h.data() + 32 + 32 * i;
        std::memcpy(d, fields[i].name.data(), fields[i].name.size());
        d[11] = uint8_t(fields[i].type);
        d[16] = uint8_t(fields[i].width);
        d[17] = uint8_t(fields[i].decimals);
    }
    h[headerLen - 1] = 0x0D;
    h[headerLen] = 0x1A;
    OsFile f;
    f.create(path);
    try {
        f.writeAt(0, h.data(), h.size());
        // Files left over from an earlier table of the same name belong to
        // nothing now: a fresh memo file replaces them, a stale index goes.
        if (memo) {
            std::string old = siblingFile(path, "FPT");
            MemoFile::createFpt(old.empty() ? siblingName(path, "FPT") : old, true);
        }
        std::string staleCdx = siblingFile(path, "CDX");
        if (!staleCdx.empty())
            ::unlink(staleCdx.c_str());
    } catch (...) {
        f.close();
        ::unlink(path.c_str());
        throw;
    }
}

} // namespace xbase

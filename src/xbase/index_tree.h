// Compact B+-tree index files: the CDX compound index (several tags in one
// file) and the single-order compact IDX file. This layer knows pages, nodes
// and key bytes only; it never evaluates expressions and never reads a table.
// Keys are fixed-length byte strings compared with memcmp over the tag's key
// length; equal keys are ordered by record number. Descending tags are stored
// ascending (the table layer reads them backwards).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xbase {

enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

struct TagInfo {
    std::string name;        // upper case, at most 10 characters
    std::string keyExpr;     // as typed
    std::string forExpr;     // empty when none
    KeyType type = KeyType::Character;
    int keyLength = 0;       // bytes
    bool unique = false;
    bool descending = false;
};

using Key = std::span<const uint8_t>;

// One tag's tree. Obtained from a CompoundIndex or IdxFile, valid while that
// file is open. Changes go through the owning file's page cache.
class IndexTree {
public:
    virtual ~IndexTree() = default;
    virtual const TagInfo& info() const = 0;
    // The key type is not stored in the file; an opened tag guesses it from
    // its expression and key length. The table layer, which knows the
    // expression's type, sets it here (it decides the fill byte of keys).
    virtual void setKeyType(KeyType type) = 0;

    // Insert (key, recno); key.size() == keyLength. Duplicate (key, recno)
    // pairs are not checked for (the table layer never inserts one twice).
    virtual void insert(Key key, uint32_t recno) = 0;
    // Remove exactly (key, recno); false when it is not there.
    virtual bool remove(Key key, uint32_t recno) = 0;
    // Replace the whole tree by the given entries, which are already sorted by
    // (key, recno). Used by index builds; far faster than inserting one by one.
    // `next` returns false when there are no more entries.
    virtual void bulkLoad(const std::function<bool(std::vector<uint8_t>& key, uint32_t& recno)>& next) = 0;
    virtual void clear() = 0;
    // Replacing the whole tree by many entries in any order, sorted within a
    // bounded amount of memory: beginLoad() empties the tree, insert() takes
    // the entries (holding about `memory` bytes of them at a time, the rest
    // in sorted runs on scratch space), finishLoad() builds the tree in one
    // pass (with `unique`, only the lowest record number of each key is
    // kept). beginLoad() returns false, leaving the tree empty, when there is
    // no room for the scratch file; then load with bulkLoad() instead.
    virtual bool beginLoad(size_t memory) = 0;
    virtual void finishLoad(bool unique) = 0;

    // A position in the tree. Positions are invalidated by changes to the tree
    // except through the same cursor's re-seek; the table layer re-seeks by
    // (key, recno) after every change.
    class Cursor {
    public:
        virtual ~Cursor() = default;
        virtual bool first() = 0;   // false when the tree is empty
        virtual bool last() = 0;
        virtual bool next() = 0;    // false (and invalid) past the end
        virtual bool prev() = 0;
        // First entry whose key is >= `key` when `key` is compared over its own
        // length only (a shorter key is a prefix), and, with recno given, whose
        // (key, recno) is >= (key, recno). False (invalid) when none.
        virtual bool seek(Key key, uint32_t recno = 0) = 0;
        // Last entry whose key is <= `key` (compared over key's length).
        virtual bool seekLast(Key key) = 0;
        virtual bool valid() const = 0;
        virtual Key key() const = 0;          // full keyLength bytes
        virtual uint32_t recno() const = 0;
    };
    virtual std::unique_ptr<Cursor> cursor() = 0;

    // Number of entries (walks the leaves; O(n / keys per leaf)).
    virtual uint64_t count() = 0;

    // Structural check for `xbtool check`: appends one line per fault found
    // (node pointers outside the file or in cycles, keys out of order, bad
    // counts, sibling links that disagree). Never throws on damage.
    virtual void verify(std::vector<std::string>& faults) = 0;
};

// A production (structural) or other .CDX file.
class CompoundIndex {
public:
    virtual ~CompoundIndex() = default;

    // Open an existing file. Throws Error (Corrupt, Io, NotFound) naming the file.
    static std::unique_ptr<CompoundIndex> open(const std::string& path, bool readOnly);
    // Create an empty compound index (tag directory only), replacing any file.
    static std::unique_ptr<CompoundIndex> create(const std::string& path);

    virtual const std::string& path() const = 0;
    virtual int tagCount() const = 0;                 // tags in creation order
    virtual IndexTree& tag(int i) = 0;                // 0-based, creation order
    virtual int findTag(std::string_view name) const = 0; // case-insensitive, -1 if absent
    virtual IndexTree& addTag(const TagInfo& info) = 0;   // new empty tag, appended
    virtual void removeTag(std::string_view name) = 0;

    // False when the file was open for writing and was not closed cleanly
    // (a crash): its pages may be stale and it must be rebuilt.
    virtual bool trustworthy() const = 0;
    // Empty, or what is wrong with a tag whose tree cannot be reached (its
    // root outside the file, say): the file still opens and its other tags
    // work, uses of that tag are errors, and rebuilding it repairs it.
    virtual std::string damage() const = 0;
    // Puts the open-for-writing mark on disk now, ahead of a change to the
    // table that the index does not follow entry by entry (a pack replacing
    // the table): if the process dies before the tags are rebuilt, the next
    // open knows they are stale.
    virtual void markChanging() = 0;

    // Write every changed page to the file (the file stays marked open-for-writing).
    virtual void flush() = 0;
    // Flush, clear the open-for-writing mark and close. Also done by the destructor.
    virtual void close() = 0;
};

// A compact single-order .IDX file (temporary indexes).
class IdxFile {
public:
    virtual ~IdxFile() = default;
    static std::unique_ptr<IdxFile> open(const std::string& path, bool readOnly);
    static std::unique_ptr<IdxFile> create(const std::string& path, const TagInfo& info);
    virtual const std::string& path() const = 0;
    virtual IndexTree& tree() = 0;
    // Bytes of decoded pages kept in memory (32 MB unless set); a file that
    // is only walked once needs far less.
    virtual void setCacheBudget(size_t bytes) = 0;
    virtual void flush() = 0;
    virtual void close() = 0;
};

} // namespace xbase

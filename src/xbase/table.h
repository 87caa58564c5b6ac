// A work area: one open DBF table with its memo file, its production CDX
// index (opened with the table) and any temporary IDX index, a current record,
// a current order, a filter, scopes and the SET switches that navigation and
// seeks obey. This is the engine's public interface; everything above it
// (the program's dataset layer, xbtool) goes through this class.
//
// Values cross this interface as raw bytes (Windows-1252 text); conversion to
// Unicode is the caller's business.
#pragma once

#include "xbase/error.h"
#include "xbase/expr.h"
#include "xbase/index_tree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xbase {

enum class TableVersion : uint8_t {
    DBase3 = 0x03,        // also FoxPro 2.x without memo
    DBase3Memo = 0x83,    // DBT memo
    FoxPro2Memo = 0xF5,   // FPT memo
    VisualFoxPro = 0x30,
    VisualFoxProAuto = 0x31,
};

struct OpenOptions {
    // An operating-system lock refuses a second opener. A shared opener
    // reads, and changes records only of a table without an index: adding
    // records, packing, emptying and anything that changes an index need an
    // exclusive open.
    bool exclusive = true;
    bool readOnly = false;
    bool openProductionIndex = true;
};

// Progress of long operations (pack, index builds): a monotone 0..100 per
// operation, 100 reported last.
using ProgressHook = std::function<void(int percent)>;

// The text a numeric (N or F) field `f` stores for `value`: right-aligned
// in the field's width, rounded to its decimals with halves away from zero,
// all asterisks when the value does not fit.
std::string numberText(const FieldDef& f, double value);

class Table {
public:
    // ---- life cycle -------------------------------------------------------
    // Throws Error: NotFound, Locked ("... is in use by another process"),
    // Corrupt (with the cause), Io.
    static std::unique_ptr<Table> open(const std::string& path, const OpenOptions& options = {});
    // Create a new empty FoxPro 2.x table (0x03, or 0xF5 with an FPT memo file
    // when a field is M), code page byte 0x03. Field names are upper-cased.
    // Replaces nothing: throws when the file exists. No index is created.
    static void create(const std::string& path, const std::vector<FieldDef>& fields);
    virtual ~Table() = default;
    // Commit the current record, flush, write the header date and count,
    // clear the index's open-for-writing mark, release the lock.
    virtual void close() = 0;

    virtual const std::string& path() const = 0;
    virtual TableVersion version() const = 0;
    virtual uint8_t codePage() const = 0;
    virtual bool readOnly() const = 0;

    // ---- structure --------------------------------------------------------
    virtual const std::vector<FieldDef>& fields() const = 0;
    virtual int fieldIndex(std::string_view name) const = 0; // case-insensitive, -1 if absent
    virtual int recordLength() const = 0;
    virtual int headerLength() const = 0;

    // ---- reading the current record ----------------------------------------
    // Character, date, numeric (as stored) and logical fields as text with
    // trailing blanks removed; all blanks read as empty. Logical: "T"/"F"/"".
    virtual std::string getString(int field) const = 0;
    virtual double getNumber(int field) const = 0;   // N F I B Y; blank = 0
    virtual bool getLogical(int field) const = 0;    // 'T','t','Y','y' true
    virtual std::string getMemo(int field) = 0;      // empty when no memo
    virtual bool isEmpty(int field) = 0;             // sx_Empty semantics
    virtual const uint8_t* recordBuffer() const = 0; // current record bytes

    // ---- writing the current record -----------------------------------------
    // Changes go to the record buffer; they reach the file and every tag when
    // the record is committed (commit(), navigation, append, close).
    virtual void putString(int field, std::string_view value) = 0; // cut to width
    virtual void putNumber(int field, double value) = 0;  // formatted to width/decimals
    virtual void putLogical(int field, bool value) = 0;
    virtual void putMemo(int field, std::string_view text) = 0;
    virtual void commit() = 0;

    // ---- records -----------------------------------------------------------
    virtual uint32_t recCount() const = 0;
    virtual uint32_t recno() const = 0;   // recCount()+1 at end of file
    virtual bool eof() const = 0;
    virtual bool bof() const = 0;
    // A new blank record at the end; it becomes current (keys go in on commit).
    // Needs the table opened exclusively, as pack() and zap() do.
    virtual void appendBlank() = 0;
    virtual void deleteRecord() = 0;      // set the deletion mark
    virtual void recall() = 0;
    virtual bool deleted() const = 0;
    // Remove marked records, compact the memo file, rebuild every open tag.
    virtual void pack() = 0;
    virtual void zap() = 0;
    // A new empty table at `path` with the same fields (no index).
    virtual void copyStructure(const std::string& path) const = 0;

    // ---- navigation (obeys order, scope, filter, SET DELETED) ----------------
    virtual void goTop() = 0;
    virtual void goBottom() = 0;
    virtual void skip(long n = 1) = 0;
    // Physical record number; ignores filter and order (like GO).
    virtual void go(uint32_t recno) = 0;

    // ---- orders ------------------------------------------------------------
    virtual int tagCount() const = 0;                    // of the production index
    virtual TagInfo tagInfo(int order) const = 0;        // order 1..tagCount
    virtual int tagOrder(std::string_view name) const = 0; // 1-based, 0 when absent (sx_TagArea)
    virtual void setOrder(int order) = 0;                // 0 = physical order
    virtual void setOrder(std::string_view tagName) = 0; // "" = physical; throws if absent
    virtual int order() const = 0;
    virtual std::string orderName() const = 0;           // "" in physical order
    // The file of the current order (sx_IndexName): the temporary IDX when it
    // is the current order, else the production CDX, or "" without one.
    virtual std::string indexFileName() const = 0;
    virtual void closeIndexes() = 0;                     // production and temporary
    virtual void deleteIndexFile() = 0;                  // close and remove the production CDX
    // New tag in the production index (created when missing; the table's CDX
    // flag is set). Built from the table's records in one pass.
    virtual void createTag(const std::string& name, const std::string& keyExpr,
                           const std::string& forExpr = "", bool descending = false,
                           bool unique = false) = 0;
    virtual void reindex() = 0;                          // rebuild every tag
    // False when the production index was left open for writing by a process
    // that did not close it (its pages may be stale), or when one of its tags
    // cannot be read: either way it must be rebuilt (reindex).
    virtual bool indexTrustworthy() const = 0;
    // Why the production index is not trustworthy, naming the file; empty
    // when it is.
    virtual std::string indexProblem() const = 0;

    // Temporary single-order IDX index (sx_Index / sx_KeyAdd / sx_IndexClose):
    // createTempIndex builds it from `keyExpr` over the records (or empty with
    // `empty`), and makes it the current order. Built from the records, it is
    // kept up to date like a tag; created empty, it holds only the records
    // given to tempKeyAdd (pack renumbers them and drops the removed ones).
    virtual void createTempIndex(const std::string& path, const std::string& keyExpr,
                                 bool empty = false) = 0;
    virtual void tempKeyAdd() = 0;   // add the current record's key
    virtual void closeTempIndex() = 0;

    // ---- seeks -------------------------------------------------------------
    // Key bytes as in the tag: character text (shorter = prefix unless exact),
    // numeric/date tags take the text of a number / yyyymmdd, logical "T"/"F".
    virtual bool seek(std::string_view key) = 0;
    virtual bool found() const = 0;
    virtual void setScope(std::optional<std::string> top, std::optional<std::string> bottom) = 0;
    virtual void clearScope() = 0;

    // ---- filters and conditions ----------------------------------------------
    virtual void setFilter(const std::string& expr) = 0; // "" clears; throws ExpressionError
    virtual const std::string& filter() const = 0;
    // Visible records: those navigation reaches under scope, filter and
    // SET DELETED (sx_QueryRecCount).
    virtual uint32_t countVisible() = 0;
    virtual bool evalLogical(const std::string& expr) = 0; // on the current record

    // ---- SET switches ------------------------------------------------------
    virtual void setDeleted(bool hide) = 0;     // hide marked records
    virtual bool deletedHidden() const = 0;
    virtual void setExact(bool on) = 0;
    virtual bool exact() const = 0;
    virtual void setSoftSeek(bool on) = 0;
    virtual bool softSeek() const = 0;
    virtual void setTurboRead(bool on) = 0;
    virtual void setProgressHook(ProgressHook hook) = 0;

    // ---- verification (xbtool, tests) ----------------------------------------
    // The key bytes of the current record's entry in the current order; empty
    // in physical order, at end of file, or when the record has no entry.
    virtual std::string currentKey() = 0;
    // Check the table, its memo pointers and every tag of the production index
    // (tree structure, one correct key per record, order); appends one line
    // per fault, naming the tag. Never throws on damage it can describe.
    virtual void check(std::vector<std::string>& faults) = 0;
};

} // namespace xbase

// The table dataset: one open DBF table (or none) seen by the windows as a
// current record with named fields, an edit buffer and change notifications.
//
// The engine (xbase::Table) speaks Windows-1252 bytes; everything on this
// side is Unicode. Conversion happens here and nowhere else.
//
// States:
//   Inactive  no table open
//   Browse    positioned on a record (or on nothing when the view is empty)
//   Edit      the current record's values live in the edit buffer
//   Insert    a new record lives in the edit buffer only; it is appended to
//             the table by post(), so cancel() leaves nothing behind
// A failed post() keeps the state and the buffer as they were, so the user
// can correct the cause and try again without retyping.
//
// Notifications. The handler events afterOpen, afterClose, afterEdit,
// afterInsert, afterPost, afterCancel always fire. The view notifications
// (stateChanged, dataChanged, fieldChanged, afterScroll) are held back
// while controls are disabled (disableControls(), nestable) and replaced by
// one refresh when the last enableControls() runs: bulk work moves through
// thousands of records without repainting anything.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace xbase {
class Table;
}

namespace qb {

class TableDataset;

// One field of the dataset: a stored table field or a calculated one.
struct DatasetField {
    QString name;    // table fields upper case; calculated fields as registered
    char type = 'C'; // xBase type: C N F L D M; calculated: C (string) or L (boolean)
    int size = 0;    // width in characters (memo: 10)
    int decimals = 0;
    QString displayLabel; // caption; the field name when none was given
    int displayWidth = 0; // grid column width in characters; 0 = the field's size
    bool visible = true;
    bool calculated = false;
    int tableIndex = -1; // engine field index, -1 for calculated fields
};

// Where a dataset stood: order, filter and record. Restoring reopens nothing;
// it re-selects the order, re-applies the filter and goes back to the record.
struct DatasetState {
    bool valid = false; // false when saved from a closed dataset
    QString order;      // tag name, "" = physical order
    QString filter;     // engine filter expression, "" = none
    uint32_t recno = 0; // physical record number, 0 = none
};

// Values of one record read without moving the dataset (for grid models).
struct RecordValues {
    uint32_t recno = 0;
    bool deleted = false;
    QHash<QString, QVariant> values; // by upper-cased field name, calculated included
};

// Unicode <-> Windows-1252. Characters outside the code page become '?'.
std::string ToDisk(const QString& text);
QString FromDisk(std::string_view bytes);

class TableDataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)

    explicit TableDataset(QObject* parent = nullptr);
    ~TableDataset() override;

    // ---- where and how -----------------------------------------------------
    // The directory (stored with a trailing '/') and the file name ("ADD0001.DBF").
    void setDirectory(const QString& dir);
    QString directory() const;
    void setFileName(const QString& name);
    QString tableName() const;  // the file name as set
    QString filePath() const;   // directory() + tableName()
    void setExclusive(bool on); // default true
    bool exclusive() const;
    void setReadOnly(bool on); // default false
    bool readOnly() const;
    // Tag selected when the table opens ("" = physical order).
    void setInitialOrder(const QString& tagName);
    // Whether open() opens the production index too (default true); off for
    // repairs of an index file the engine cannot read.
    void setOpenProductionIndex(bool on);

    // ---- life cycle ----------------------------------------------------------
    // Opens directory()+tableName() with its production index and moves to the
    // first record. False with errorText() set when the engine refuses.
    bool open();
    // Takes over an engine table opened elsewhere (a temporary copy, a table
    // wrapped to watch or fail the engine's calls) as if open() had opened it.
    bool attach(std::unique_ptr<xbase::Table> table);
    // Cancels a pending edit or insert and closes the table (no error).
    void close();
    bool isOpen() const;
    // The engine's text for the last failure of open/post/setOrder/setFilter...
    QString errorText() const;

    // The engine table for direct calls (seeks, tags, pack, ...). Null while
    // closed. After moving the engine directly, call resync().
    xbase::Table* engine() const;
    // Re-reads the current engine record (calculated fields included) and
    // refreshes the views, e.g. after a seek or a direct engine call.
    void resync();

    // ---- fields -----------------------------------------------------------------
    // Display definitions kept across open/close: label, grid width, visibility
    // of a stored field by name (applied now and at every open).
    void defineField(const QString& name, const QString& displayLabel, int displayWidth,
                     bool visible = true);
    // A calculated field (type 'C' with a size, or 'L'); its value is computed
    // by the calc handler each time a record is fetched. Kept across open/close.
    void addCalculatedField(const QString& name, char type, int size, const QString& displayLabel,
                            bool visible = true);
    // Called after every record fetch; sets calculated values with setCalcValue().
    void setCalcHandler(std::function<void(TableDataset&)> handler);
    // Order of fieldNames(); names not listed follow in table order, then the
    // remaining calculated fields. Kept across open/close.
    void setFieldOrder(const QStringList& names);

    QStringList fieldNames() const; // in dataset order (empty while closed)
    int fieldCount() const;
    const DatasetField& fieldAt(int i) const;
    bool hasField(const QString& name) const;
    // The field's definition (case-insensitive); throws std::out_of_range if absent.
    const DatasetField& field(const QString& name) const;
    void setFieldVisible(const QString& name, bool visible);
    bool isFieldVisible(const QString& name) const;

    // ---- values of the current record -------------------------------------------------
    // C D M: QString (trailing blanks removed); N F: double; L: bool.
    // In Edit/Insert the edit buffer is read. Unknown names throw std::out_of_range.
    QVariant value(const QString& name) const;
    QString asString(const QString& name) const; // L reads "T"/"F"/""
    bool asBool(const QString& name) const;
    double asNumber(const QString& name) const;
    QString memo(const QString& name) const;
    // Writes go to the edit buffer; in Browse they start an edit first (false
    // with errorText() when the dataset is closed, empty or read-only).
    bool setValue(const QString& name, const QVariant& value);
    bool setString(const QString& name, const QString& value) { return setValue(name, value); }
    bool setBool(const QString& name, bool value) { return setValue(name, value); }
    bool setMemo(const QString& name, const QString& text) { return setValue(name, text); }
    // For the calc handler only: the value of a calculated field (strings cut to size).
    void setCalcValue(const QString& name, const QVariant& value);

    // ---- editing ----------------------------------------------------------------------
    State state() const;
    bool isEditing() const; // Edit or Insert
    bool hasRecord() const; // Browse/Edit on an existing record
    bool edit();            // Browse -> Edit (false when no record)
    bool insert();          // -> Insert (posts a pending edit first)
    bool append() { return insert(); }
    // Writes the buffer through the engine. On failure the dataset stays in its
    // state with the buffer intact and errorText() holds the engine's text.
    bool post();
    void cancel();
    // Sets the engine's deletion mark on the current record (a pending insert
    // is cancelled, a pending edit posted first). When deleted records are
    // hidden the dataset moves to the next visible record (or the last one).
    bool deleteRecord();

    // ---- navigation (posts a pending edit first; false if that fails) -----------------
    bool first();
    bool last();
    bool next();
    bool prior();
    bool moveBy(long n);
    bool gotoRecno(uint32_t recno); // physical record number
    bool bof() const;               // moved before the first record (or empty)
    bool eof() const;               // moved past the last record (or empty)
    uint32_t recno() const;         // 0 while inserting or with no record
    uint32_t recordCount();         // visible records (order, filter, deletion)
    uint32_t physicalCount() const; // all records in the file
    bool isEmpty();                 // no visible record

    // ---- order, filter, position -------------------------------------------------------
    QString order() const;                 // current tag name, "" = physical
    bool setOrder(const QString& tagName); // stays on the same record
    // Looks `key` up in the current order (posting a pending edit first).
    // Found: that record becomes current. Not found: the record stays as it
    // was, unless the engine's soft seek is on, which lands on the next key.
    // With exact comparison off a key also matches longer stored keys that
    // begin with it. False when not found or on failure (errorText()).
    bool seek(const QString& key);
    QString filterText() const;
    // Sets an engine filter ("" clears) and moves to the first visible record.
    bool setFilter(const QString& expression);
    void setShowDeleted(bool show); // engine SET DELETED OFF/ON
    bool showDeleted() const;
    using Bookmark = uint32_t;
    Bookmark bookmark() const; // the current record number
    bool gotoBookmark(Bookmark mark);
    DatasetState save() const;
    bool restore(const DatasetState& state);

    // Every visible record number in the current order (4 bytes per record).
    std::vector<uint32_t> visibleRecnos();
    // A stretch of visible records in the current order: start at `from`
    // (RunFromTop, RunFromBottom or a record number; a hidden record stands
    // for the next visible one), move `offset` visible records (back when
    // negative; stops at either end), then collect up to
    // `count` record numbers forward. Nothing moves and no one is notified.
    static constexpr uint32_t RunFromTop = 0;
    static constexpr uint32_t RunFromBottom = UINT32_MAX;
    struct VisibleRun {
        std::vector<uint32_t> recnos;
        bool atTop = false;    // recnos[0] is the first visible record
        bool atBottom = false; // the collection ran into the end
    };
    VisibleRun visibleRun(uint32_t from, long offset, size_t count);
    // One record's values without moving the dataset or notifying anyone.
    RecordValues readRecord(uint32_t recno);

    // ---- display suspension -------------------------------------------------------------
    void disableControls();
    void enableControls();
    bool controlsDisabled() const;

signals:
    void afterOpen();
    void afterClose();
    void afterEdit();
    void afterInsert();
    void afterPost();
    void afterCancel();
    void afterDelete();
    void stateChanged(qb::TableDataset::State state);
    void afterScroll();                     // the current record changed
    void dataChanged();                     // what the views show changed
    void fieldChanged(const QString& name); // a buffer value changed

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Saves a dataset's order, filter and record and restores them on scope exit.
class DatasetStateGuard {
public:
    explicit DatasetStateGuard(TableDataset& dataset) : dataset_(dataset), state_(dataset.save()) {}
    ~DatasetStateGuard() { dataset_.restore(state_); }
    DatasetStateGuard(const DatasetStateGuard&) = delete;
    DatasetStateGuard& operator=(const DatasetStateGuard&) = delete;
    const DatasetState& saved() const { return state_; }

private:
    TableDataset& dataset_;
    DatasetState state_;
};

} // namespace qb

// "Address Browse": the address file as a read-only grid. The grid is a view
// of the main window's table: the row count is the table's count of visible
// records, and the record numbers of the rows are fetched in blocks on demand,
// each walked from the nearest block already known (or from either end), so
// opening the grid reads no more than the rows on screen and its memory does
// not grow with the file. The grid's current row is the table's current
// record, both ways.
#pragma once

#include "storage/dataset.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QPushButton;
class QTableView;

namespace qb {

// ---- column order file ------------------------------------------------------------

// ProgramDirectory() + "sysdata/FIELDS.LST".
QString FieldsListPath();
// The names listed in a column order file, one a line; empty when it is
// missing or unreadable. Blank lines are kept as names that match nothing.
QStringList ReadFieldsList(const QString& path);
// One name a line, each ended by CR LF. False when the file cannot be written.
bool WriteFieldsList(const QString& path, const QStringList& names);
// `fields` reordered by a list: the field named on line i is moved to
// position i; names that match no field (case ignored) are skipped.
QStringList ApplyFieldsList(QStringList fields, const QStringList& lines);
// The full field list after the grid's columns were moved: the visible
// fields (`columnsInViewOrder`) take the places visible fields held in
// `fields`, in their new order; hidden fields keep their places.
QStringList MergeColumnOrder(const QStringList& fields, const QStringList& columnsInViewOrder);

// ---- the grid model ------------------------------------------------------------------

class AddressBrowseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int CacheRows = 512;
    // Record numbers are fetched and kept in blocks of BlockRows rows, at
    // most CacheBlocks blocks at a time.
    static constexpr int BlockRows = 128;
    static constexpr int CacheBlocks = 256;

    // `fieldOrder`: the table's fields in the order to show; the visible ones
    // become the columns.
    AddressBrowseModel(TableDataset& table, const QStringList& fieldOrder,
                       QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const QStringList& fieldOrder() const { return fieldOrder_; }
    const QStringList& columns() const { return columns_; }
    uint32_t recnoAt(int row) const;
    int rowOfRecno(uint32_t recno) const; // -1 when not shown
    // The row of the table's current record (-1 when none).
    int currentRow() const { return currentRow_; }
    // Rows held in the cache now (never more than CacheRows).
    int cachedRows() const { return static_cast<int>(cache_.size()); }
    // Blocks of record numbers held now (never more than CacheBlocks).
    int cachedBlocks() const { return static_cast<int>(blocks_.size()); }

    // Fetches the record numbers again (order, filter or records changed).
    void reload();
    // Forgets cached values and repaints every row (records rewritten).
    void refreshValues();
    // Follows the table's current record; returns its row.
    int syncCurrentRow();

private:
    const RecordValues& fetch(int row) const;
    const std::vector<uint32_t>& block(int b) const;
    void forgetRecnos();
    void watchTable();

    TableDataset& table_;
    QStringList fieldOrder_;
    QStringList columns_;
    int rows_ = 0;
    mutable QHash<int, std::vector<uint32_t>> blocks_;
    mutable std::deque<int> blockAge_;
    mutable QHash<uint32_t, int> rowOf_; // the rows of the record numbers in blocks_
    int currentRow_ = -1;
    QString shownOrder_, shownFilter_;
    uint32_t shownPhysical_ = 0;
    mutable QHash<int, RecordValues> cache_;
    mutable std::deque<int> cacheAge_;
};

// ---- the window ----------------------------------------------------------------------

class TBrowseWindow : public QDialog {
    Q_OBJECT
public:
    // `toggleTag` toggles the tag of the table's current record (the main
    // window's ToggleTag). The column order comes from `fieldOrder`.
    TBrowseWindow(TableDataset& table, const QStringList& fieldOrder,
                  std::function<void()> toggleTag, QWidget* parent = nullptr);

    QTableView* grid() const { return grid_; }
    AddressBrowseModel* model() const { return model_; }
    // The table's fields in the order the grid shows them now.
    QStringList currentFieldOrder() const;

public slots:
    void FirstButtonClick();
    void PriorButtonClick();
    void NextButtonClick();
    void LastButtonClick();
    void TagButtonClick();
    void HelpButtonClick();

private:
    void followTable();
    void gridRowChanged(int row);

    TableDataset& table_;
    std::function<void()> toggleTag_;
    AddressBrowseModel* model_;
    QTableView* grid_;
    bool syncing_ = false;
};

// The "Browse" command: reads the column order file, beeps and stops while
// `editing`, else shows the window and writes the column order file when it
// closes. `fieldsListPath` defaults to FieldsListPath(); `run` shows the
// window (exec() when empty). False when it only beeped.
bool RunBrowse(TableDataset& table, bool editing, const std::function<void()>& toggleTag,
               QWidget* parent, const QString& fieldsListPath = QString(),
               const std::function<void(TBrowseWindow&)>& run = {});

} // namespace qb

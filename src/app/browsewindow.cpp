#include "app/browsewindow.h"

#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/home.h"
#include "storage/settings.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace qb {

// ---- column order file ------------------------------------------------------------

QString FieldsListPath() {
    return ProgramDirectory() + QStringLiteral("sysdata/FIELDS.LST");
}

QStringList ReadFieldsList(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == lines.size() - 1 && line.isEmpty())
            break; // text after the last line break
        out << QString::fromLatin1(line).trimmed();
    }
    return out;
}

bool WriteFieldsList(const QString& path, const QStringList& names) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const QString& n : names)
        bytes += n.toLatin1() + "\r\n";
    f.write(bytes);
    return f.commit();
}

QStringList ApplyFieldsList(QStringList fields, const QStringList& lines) {
    for (int i = 0; i < lines.size() && i < fields.size(); ++i) {
        const QString& wanted = lines[i];
        if (wanted.isEmpty())
            continue;
        for (int j = 0; j < fields.size(); ++j)
            if (fields[j].compare(wanted, Qt::CaseInsensitive) == 0) {
                fields.move(j, i);
                break;
            }
    }
    return fields;
}

QStringList MergeColumnOrder(const QStringList& fields, const QStringList& columnsInViewOrder) {
    QStringList out = fields;
    int next = 0;
    for (QString& f : out)
        if (columnsInViewOrder.contains(f) && next < columnsInViewOrder.size())
            f = columnsInViewOrder[next++];
    return out;
}

// ---- the grid model ------------------------------------------------------------------

AddressBrowseModel::AddressBrowseModel(TableDataset& table, const QStringList& fieldOrder,
                                       QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    // Every field of the table, in the given order first.
    fieldOrder_ = ApplyFieldsList(table.fieldNames(), fieldOrder);
    for (const QString& name : fieldOrder_)
        if (table.isFieldVisible(name))
            columns_ << name;
    reload();
    watchTable();
}

void AddressBrowseModel::watchTable() {
    // Order, filter and record set changes reach the grid as data changes or
    // moves; compare what the rows were fetched for with what holds now.
    auto check = [this] {
        if (!table_.isOpen()) {
            if (rows_ > 0)
                reload();
            return;
        }
        if (table_.order() != shownOrder_ || table_.filterText() != shownFilter_ ||
            table_.physicalCount() != shownPhysical_)
            reload();
        else
            syncCurrentRow();
    };
    connect(&table_, &TableDataset::afterScroll, this, check);
    connect(&table_, &TableDataset::dataChanged, this, [this, check] {
        refreshValues();
        check();
    });
    connect(&table_, &TableDataset::afterPost, this, [this, check] {
        refreshValues();
        check();
    });
    connect(&table_, &TableDataset::afterDelete, this, [this] { reload(); });
    connect(&table_, &TableDataset::afterOpen, this, [this] { reload(); });
    connect(&table_, &TableDataset::afterClose, this, [this] { reload(); });
}

void AddressBrowseModel::reload() {
    beginResetModel();
    cache_.clear();
    cacheAge_.clear();
    if (table_.isOpen()) {
        forgetRecnos();
        rows_ = static_cast<int>(std::min<uint32_t>(table_.recordCount(), INT_MAX));
        shownOrder_ = table_.order();
        shownFilter_ = table_.filterText();
        shownPhysical_ = table_.physicalCount();
    } else {
        forgetRecnos();
        rows_ = 0;
        shownOrder_.clear();
        shownFilter_.clear();
        shownPhysical_ = 0;
    }
    currentRow_ = -1;
    endResetModel();
    syncCurrentRow();
}

void AddressBrowseModel::forgetRecnos() {
    blocks_.clear();
    blockAge_.clear();
    rowOf_.clear();
}

void AddressBrowseModel::refreshValues() {
    cache_.clear();
    cacheAge_.clear();
    // A rewritten key may have moved records within the order.
    forgetRecnos();
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int AddressBrowseModel::syncCurrentRow() {
    const int old = currentRow_;
    currentRow_ = table_.isOpen() && table_.hasRecord() ? rowOfRecno(table_.recno()) : -1;
    if (old != currentRow_) {
        if (old >= 0 && old < rowCount())
            emit headerDataChanged(Qt::Vertical, old, old);
        if (currentRow_ >= 0)
            emit headerDataChanged(Qt::Vertical, currentRow_, currentRow_);
    }
    return currentRow_;
}

int AddressBrowseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int AddressBrowseModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const std::vector<uint32_t>& AddressBrowseModel::block(int b) const {
    auto it = blocks_.constFind(b);
    if (it != blocks_.constEnd())
        return *it;
    // Walk from the nearest known row: either end or the first row of a
    // block held now.
    const int target = b * BlockRows;
    uint32_t from = TableDataset::RunFromTop;
    long offset = target;
    if (rows_ - 1 - target < offset) {
        from = TableDataset::RunFromBottom;
        offset = static_cast<long>(target) - (rows_ - 1);
    }
    for (auto k = blocks_.constBegin(); k != blocks_.constEnd(); ++k) {
        if (k->empty())
            continue;
        const long d = static_cast<long>(target) - static_cast<long>(k.key()) * BlockRows;
        if (std::labs(d) < std::labs(offset)) {
            from = k->front();
            offset = d;
        }
    }
    std::vector<uint32_t> recnos = table_.visibleRun(from, offset, BlockRows).recnos;
    if (static_cast<int>(blocks_.size()) >= CacheBlocks) {
        const int old = blockAge_.front();
        blockAge_.pop_front();
        const int first = old * BlockRows;
        const std::vector<uint32_t>& gone = blocks_[old];
        for (size_t i = 0; i < gone.size(); ++i) {
            auto r = rowOf_.find(gone[i]);
            if (r != rowOf_.end() && *r == first + static_cast<int>(i))
                rowOf_.erase(r);
        }
        blocks_.remove(old);
    }
    for (size_t i = 0; i < recnos.size(); ++i)
        rowOf_.insert(recnos[i], target + static_cast<int>(i));
    blockAge_.push_back(b);
    return *blocks_.insert(b, std::move(recnos));
}

uint32_t AddressBrowseModel::recnoAt(int row) const {
    if (row < 0 || row >= rowCount())
        return 0;
    const std::vector<uint32_t>& recnos = block(row / BlockRows);
    const size_t i = static_cast<size_t>(row % BlockRows);
    return i < recnos.size() ? recnos[i] : 0;
}

int AddressBrowseModel::rowOfRecno(uint32_t recno) const {
    if (recno == 0 || rows_ == 0)
        return -1;
    auto known = rowOf_.constFind(recno);
    if (known != rowOf_.constEnd())
        return *known;
    // The first rows are shown first anyway, and their start is where a
    // filter that hides a long stretch of the order costs the most to find.
    if (!blocks_.contains(0)) {
        block(0);
        known = rowOf_.constFind(recno);
        if (known != rowOf_.constEnd())
            return *known;
    }
    // Look around the record for a row already known or for either end,
    // widening the stretch each time: the cost follows the distance.
    for (long reach = BlockRows;; reach *= 4) {
        const TableDataset::VisibleRun before =
            table_.visibleRun(recno, -reach, static_cast<size_t>(reach) + 1);
        const auto at = std::find(before.recnos.begin(), before.recnos.end(), recno);
        if (at == before.recnos.end())
            return -1; // not shown: hidden by the filter or deleted
        const long i = at - before.recnos.begin();
        for (long j = i - 1; j >= 0; --j) {
            auto k = rowOf_.constFind(before.recnos[static_cast<size_t>(j)]);
            if (k != rowOf_.constEnd())
                return *k + static_cast<int>(i - j);
        }
        if (before.atTop)
            return static_cast<int>(i);
        const TableDataset::VisibleRun after =
            table_.visibleRun(recno, 0, static_cast<size_t>(reach) + 1);
        for (size_t j = 1; j < after.recnos.size(); ++j) {
            auto k = rowOf_.constFind(after.recnos[j]);
            if (k != rowOf_.constEnd())
                return *k - static_cast<int>(j);
        }
        if (after.atBottom)
            return std::max(-1, rows_ - static_cast<int>(after.recnos.size()));
        if (reach >= static_cast<long>(rows_))
            return -1;
    }
}

const RecordValues& AddressBrowseModel::fetch(int row) const {
    auto it = cache_.find(row);
    if (it != cache_.end())
        return *it;
    if (static_cast<int>(cache_.size()) >= CacheRows) {
        cache_.remove(cacheAge_.front());
        cacheAge_.pop_front();
    }
    cacheAge_.push_back(row);
    return *cache_.insert(row, table_.readRecord(recnoAt(row)));
}

QVariant AddressBrowseModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::CheckStateRole && role != Qt::ToolTipRole)
        return {};
    const QString& name = columns_[index.column()];
    const QVariant v = fetch(index.row()).values.value(name.toUpper());
    const bool logical = table_.isOpen() && table_.hasField(name) && table_.field(name).type == 'L';
    if (logical) {
        if (role == Qt::CheckStateRole)
            return v.toBool() ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::CheckStateRole)
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'f', table_.field(name).decimals);
    QString text = v.toString();
    if (role == Qt::DisplayRole) {
        const int cut = text.indexOf(QLatin1Char('\n'));
        if (cut >= 0)
            text = text.left(cut).trimmed() + QStringLiteral(" ..."); // memo: first line
    }
    return text;
}

QVariant AddressBrowseModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount() || !table_.isOpen())
            return {};
        return table_.field(columns_[section]).displayLabel;
    }
    // The row indicator: a marker on the current record's row.
    return section == currentRow_ ? QStringLiteral("\u25B6") : QString();
}

Qt::ItemFlags AddressBrowseModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

// ---- the window ----------------------------------------------------------------------

TBrowseWindow::TBrowseWindow(TableDataset& table, const QStringList& fieldOrder,
                             std::function<void()> toggleTag, QWidget* parent)
    : QDialog(parent), table_(table), toggleTag_(std::move(toggleTag)),
      model_(new AddressBrowseModel(table, fieldOrder, this)), grid_(new QTableView(this)) {
    setWindowTitle(QStringLiteral("Address Browse"));
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setShowGrid(true);
    grid_->setWordWrap(false);
    grid_->horizontalHeader()->setSectionsMovable(true);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->verticalHeader()->setMinimumWidth(
        grid_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 2);
    const int charWidth = grid_->fontMetrics().averageCharWidth();
    for (int c = 0; c < model_->columnCount(); ++c) {
        const DatasetField& f = table.field(model_->columns()[c]);
        const int chars = std::max(f.displayWidth > 0 ? f.displayWidth : f.size,
                                   static_cast<int>(f.displayLabel.size()));
        grid_->setColumnWidth(c, std::min(chars, 40) * charWidth + 12);
    }

    auto addButton = [this](const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* ok = addButton(QStringLiteral("Ok"), QString());
    ok->setDefault(true);
    QPushButton* first = addButton(QStringLiteral("|<"), QStringLiteral("First record"));
    QPushButton* prior = addButton(QStringLiteral("<"), QStringLiteral("Previous record"));
    QPushButton* next = addButton(QStringLiteral(">"), QStringLiteral("Next record"));
    QPushButton* last = addButton(QStringLiteral(">|"), QStringLiteral("Last record"));
    QPushButton* tag =
        addButton(QStringLiteral("&Tag"), QStringLiteral("Tag or untag this record"));
    QPushButton* help = addButton(QStringLiteral("Help"), QString());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(first, &QPushButton::clicked, this, &TBrowseWindow::FirstButtonClick);
    connect(prior, &QPushButton::clicked, this, &TBrowseWindow::PriorButtonClick);
    connect(next, &QPushButton::clicked, this, &TBrowseWindow::NextButtonClick);
    connect(last, &QPushButton::clicked, this, &TBrowseWindow::LastButtonClick);
    connect(tag, &QPushButton::clicked, this, &TBrowseWindow::TagButtonClick);
    connect(help, &QPushButton::clicked, this, &TBrowseWindow::HelpButtonClick);
    connect(grid_, &QTableView::doubleClicked, this,
            [this](const QModelIndex&) { TagButtonClick(); });
    // Esc closes with Ok as well (the dialog's reject would too, but the
    // result is the same: the grid never edits, there is nothing to undo).
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch();
    for (QPushButton* b : {first, prior, next, last})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(tag);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    resize(760, 440);

    connect(
        grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current, const QModelIndex&) { gridRowChanged(current.row()); });
    connect(&table_, &TableDataset::afterScroll, this, &TBrowseWindow::followTable);
    connect(model_, &QAbstractItemModel::modelReset, this, &TBrowseWindow::followTable);
    followTable();
}

QStringList TBrowseWindow::currentFieldOrder() const {
    QStringList shown;
    const QHeaderView* header = grid_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual)
        shown << model_->columns()[header->logicalIndex(visual)];
    return MergeColumnOrder(model_->fieldOrder(), shown);
}

void TBrowseWindow::followTable() {
    if (syncing_)
        return;
    const int row = model_->syncCurrentRow();
    syncing_ = true;
    if (row >= 0) {
        const QModelIndex at = model_->index(row, std::max(0, grid_->currentIndex().column()));
        grid_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        grid_->scrollTo(at);
    } else {
        grid_->selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void TBrowseWindow::gridRowChanged(int row) {
    if (syncing_ || row < 0)
        return;
    syncing_ = true;
    table_.gotoRecno(model_->recnoAt(row));
    model_->syncCurrentRow();
    syncing_ = false;
}

void TBrowseWindow::FirstButtonClick() {
    table_.first();
}

void TBrowseWindow::PriorButtonClick() {
    table_.prior();
    if (table_.bof()) {
        Beep();
        table_.first();
    }
}

void TBrowseWindow::NextButtonClick() {
    table_.next();
    if (table_.eof()) {
        Beep();
        table_.last();
    }
}

void TBrowseWindow::LastButtonClick() {
    table_.last();
}

void TBrowseWindow::TagButtonClick() {
    if (!table_.hasRecord())
        return;
    if (toggleTag_)
        toggleTag_();
    model_->refreshValues();
    followTable();
}

void TBrowseWindow::HelpButtonClick() {
    RequestHelpTopic(HelpTopic::Finding);
}

bool RunBrowse(TableDataset& table, bool editing, const std::function<void()>& toggleTag,
               QWidget* parent, const QString& fieldsListPath,
               const std::function<void(TBrowseWindow&)>& run) {
    const QString path = fieldsListPath.isEmpty() ? FieldsListPath() : fieldsListPath;
    const QStringList order = ReadFieldsList(path);
    if (editing || !table.isOpen()) {
        Beep();
        return false;
    }
    TBrowseWindow window(table, order, toggleTag, parent);
    if (run) {
        run(window);
    } else {
        CenterOnScreen(&window);
        window.exec();
    }
    WriteFieldsList(path, window.currentFieldOrder());
    return true;
}

} // namespace qb

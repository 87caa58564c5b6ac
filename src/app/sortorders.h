// The fourteen sort orders of the address file and the state of the "&Sort"
// menu: which order is in force, which item is checked and what the sort
// status panel reads.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace qb {

class TableDataset;

struct SortOrderDef {
    const char* caption;   // menu caption with its accelerator ("&Last Name")
    const char* orderText; // what a caption selects, upper case ("LAST NAME")
    const char* tag;       // index tag of the order
    const char* key;       // the tag's key expression
};

// The orders in menu order; the first is the one a newly opened file shows.
const std::vector<SortOrderDef>& SortOrders();
// A caption without its accelerator ("Last Name"), as the menu code passes it on.
QString SortCaptionText(int index);
// The captions without accelerators, in menu order.
QStringList SortCaptionTexts();

// The sort choice of the main window over its table.
class SortOrderState {
public:
    explicit SortOrderState(TableDataset* table = nullptr) : table_(table) {}
    void setTable(TableDataset* table) { table_ = table; }

    // A menu caption: from its second character, at most 30 characters.
    void SetMenuOrder(const QString& caption);
    // Selects the order whose text matches `text` (case ignored). A text that
    // matches none leaves the order in force; the status text and the checked
    // item follow the text either way. True when an order matched.
    bool SetOrderTo(const QString& text);
    // Remembers the tag and selects it when it is not empty; a tag the index
    // lacks leaves the table in its previous order.
    void SetCurrentOrder(const QString& tagName);

    const QString& currentOrder() const { return currentOrder_; }
    // "Sorted by " + the text as passed in; empty before the first choice.
    const QString& statusText() const { return status_; }
    // The menu position checked, -1 when none.
    int checkedIndex() const { return checked_; }
    bool isChecked(int index) const { return index == checked_; }

private:
    TableDataset* table_;
    QString currentOrder_;
    QString status_;
    int checked_ = -1;
};

// The "&Sort" menu: one checkable action per order. Choosing one runs
// SetMenuOrder on the state, re-checks the items and hands the status text
// to `onChanged` (the caller shows it and refreshes its view).
class SortMenu : public QObject {
    Q_OBJECT
public:
    SortMenu(SortOrderState& state, QWidget* parent,
             std::function<void(const QString& status)> onChanged = {});
    QMenu* menu() const { return menu_; }
    const QList<QAction*>& actions() const { return actions_; }
    // Checks the items from the state (after a change made elsewhere, e.g. search).
    void syncChecks();
    // Runs the item at `index` as if it had been chosen.
    void choose(int index);

private:
    SortOrderState& state_;
    QMenu* menu_;
    QList<QAction*> actions_;
    std::function<void(const QString&)> onChanged_;
};

} // namespace qb

// "Search": jump to the first record whose key in a chosen order begins with
// the typed text.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

namespace qb {

class SortOrderState;
class TableDataset;

// Selects the order at `orderIndex` (a position of the "&Sort" menu) through
// `state` and looks the upper-cased text up as the start of a key. Found:
// the first such record in key order becomes current. Not found: the record
// that was current stays current, silently. An empty text changes nothing.
// True when a record was found.
bool SearchFor(TableDataset& table, SortOrderState& state, int orderIndex, const QString& text);

class TSearchDialog : public QDialog {
    Q_OBJECT
public:
    // `checkedIndex`: the order checked in the "&Sort" menu (-1: the first).
    explicit TSearchDialog(int checkedIndex, QWidget* parent = nullptr);

    int orderIndex() const;
    QString searchText() const;
    QComboBox* orderCombo() const { return order_; }
    QLineEdit* searchEdit() const { return edit_; }
    QLabel* searchLabel() const { return label_; }

public slots:
    // The label follows the picked order and the edit takes the focus.
    void OrderChange();
    void HelpButtonClick();

private:
    QComboBox* order_;
    QLineEdit* edit_;
    QLabel* label_;
};

// The whole command: the dialog, then the search on "Ok" with a text.
// `afterSearch` runs with the chosen order position once the order is in
// force and the search done (the main window re-checks its "&Sort" menu
// and shows the sort status). `run` shows the dialog (exec() when empty).
// True when it searched.
bool RunSearchDialog(TableDataset& table, SortOrderState& state, QWidget* parent,
                     const std::function<void(int)>& afterSearch = {},
                     const std::function<void(TSearchDialog&)>& run = {});

} // namespace qb

// "Address Filter": the query form, one entry per criterion laid over the
// main window's own fields, with a test run that shows the match count.
#pragma once

#include "app/addressfilter.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace qb {

// Where one entry goes: its caption and, when known, the rectangles of the
// entry and of its caption on the form (the caller derives them from the
// main window's fields). Without rectangles the entries are laid out as a form.
struct QueryEntryPlace {
    QString caption;
    QRect entry;
    QRect label;
};

// The rectangle of a query entry laid over a main-window field at `field`
// (in the main window's client coordinates): same left edge and width, 25
// pixels lower, and lower again by `pageShift` for fields on the address
// page (the height of the name panel above it).
QRect QueryEntryRect(const QRect& field, int pageShift = 0);

class TAddressQueryForm : public QDialog {
    Q_OBJECT
public:
    static const QString HintText;
    static const QString DateHint;

    // `afterTest` runs after every test of the filter (the main window goes
    // to its first record and refreshes). `places` is indexed by
    // AddressFilter::Criterion; `taggedPlace` is the "Tagged" box's rectangle.
    TAddressQueryForm(AddressFilter& filter, FilterTarget& target,
                      std::function<void()> afterTest = {},
                      const QVector<QueryEntryPlace>& places = {}, QRect taggedPlace = {},
                      QRect area = {}, QWidget* parent = nullptr);

    // The entries show the criteria and the flag of the filter.
    void loadFromFilter();
    QLineEdit* entry(AddressFilter::Criterion c) const { return entries_[c]; }
    QCheckBox* taggedBox() const { return tagged_; }
    QLabel* countLabel() const { return count_; }
    QLabel* dateFormatLabel() const { return dateFormat_; }
    // Default captions of the entries, by criterion.
    static QString defaultCaption(AddressFilter::Criterion c);

public slots:
    // "Test": copies the entries into the filter, applies it and shows the
    // count. False when an entry could not be used (told to the user).
    bool qSetFilterButtonClick();
    void qClearButtonClick();
    void OKButtonClick();
    void CancelbuttonClick();
    void HelpButtonClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AddressFilter& filter_;
    FilterTarget& target_;
    std::function<void()> afterTest_;
    std::array<QLineEdit*, AddressFilter::CriterionCount> entries_{};
    std::array<QString, AddressFilter::CriterionCount> captions_;
    QCheckBox* tagged_;
    QLabel* count_;
    QLabel* dateFormat_;
};

// "Set &Filter" after the editing check: keeps a copy of the criteria, shows
// the form (through `run`, exec() when empty), puts the copy back on Cancel
// and applies the filter. Returns the number of records the filter shows
// (0 when no filter is set).
int RunFilterForm(AddressFilter& filter, FilterTarget& target, std::function<void()> afterTest,
                  const QVector<QueryEntryPlace>& places, QRect taggedPlace, QRect area,
                  QWidget* parent, const std::function<void(TAddressQueryForm&)>& run = {});

} // namespace qb

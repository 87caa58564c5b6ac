// The small dialogs of the main window: the name of a new address file, the
// first values of a new record, the date picker and the memo search window.
#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qb {

// "Create new database": asks for the name of a new address file.
class TNewDataBaseName : public QDialog {
    Q_OBJECT
public:
    explicit TNewDataBaseName(const QString& proposal, QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* nameEdit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QLabel* invalidLabel() const { return invalid_; }

public slots:
    void EditChange();
    void OKButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* edit_;
    QPushButton* ok_;
    QLabel* invalid_;
};

// "New Record": the zip code (for the city and state look-up) and the names
// (for the duplicate check) asked before a record is added.
class TNewRecordDialog : public QDialog {
    Q_OBJECT
public:
    TNewRecordDialog(bool askZip, bool askNames, QWidget* parent = nullptr);
    QString zip() const;
    QString lastName() const;
    QString firstName() const;
    QLineEdit* zipEdit() const { return zip_; }
    QLineEdit* lastEdit() const { return last_; }
    QLineEdit* firstEdit() const { return first_; }

public slots:
    void OKButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool askZip_;
    QLineEdit* zip_;
    QLineEdit* last_;
    QLineEdit* first_;
};

// "Select a Date".
class TSelectDate : public QDialog {
    Q_OBJECT
public:
    enum Choice { Cancelled, NoDate, Chosen };
    explicit TSelectDate(const QDate& start, QWidget* parent = nullptr);
    Choice choice() const { return choice_; }
    QDate date() const;
    // The stored value the choice gives: yyyymmdd, or empty for "No Date".
    QString storedValue() const;
    QCalendarWidget* calendar() const { return calendar_; }
    QString dateCaption() const;

public slots:
    void YearBackClick();
    void MonthBackClick();
    void TodayClick();
    void MonthForwardClick();
    void YearForwardClick();
    void OKButtonClick();
    void NoDateClick();
    void CancelButtonClick();

private:
    void showDate();
    QCalendarWidget* calendar_;
    QLabel* caption_;
    Choice choice_ = Cancelled;
};

// "Searching": shown while the memos are searched; "Cancel" stops the search.
class TMemoSearching : public QDialog {
    Q_OBJECT
public:
    explicit TMemoSearching(const QString& searchText, QWidget* parent = nullptr);
    bool cancelled() const { return cancelled_; }
public slots:
    void CancelButtonClick() { cancelled_ = true; }

private:
    bool cancelled_ = false;
};

} // namespace qb

// Tags: the window that tags every record a dataset shows, and clearing all
// tags at once by changing the current tag id.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace qb {

class IniFile;
class TableDataset;

// "Tagging": tags every record the dataset shows, from its first record,
// counting as it goes. "Cancel" asks before stopping; when the run ends
// "Ok" replaces "Cancel" and closes the window. The window cannot be closed
// otherwise while it runs.
class TTagAllRecords : public QDialog {
    Q_OBJECT
public:
    explicit TTagAllRecords(TableDataset& table, QWidget* parent = nullptr);

    // The run; starts by itself when the window is first shown.
    void run();
    bool running() const { return running_; }
    bool finished() const { return finished_; }
    bool cancelled() const { return cancelled_; }
    int taggedCount() const { return count_; }

    QLabel* statusLabel() const { return status_; }
    QLabel* progressLabel() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* okButton() const { return ok_; }

public slots:
    void CancelButtonClick();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TableDataset& table_;
    QLabel* status_;
    QLabel* progress_;
    QPushButton* cancel_;
    QPushButton* ok_;
    bool started_ = false;
    bool running_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    int count_ = 0;
};

// "&Tag All Filter Matches": asks, then tags every record the table shows
// with its display suspended and goes to the first record. `run` shows the
// window (exec() when empty). False when the user said No.
bool TagAllFilterMatches(TableDataset& table, QWidget* parent,
                         const std::function<void(TTagAllRecords&)>& run = {});

// "Clear &Tags": a new current tag id, written to the settings file at once.
// No record is written: records tagged with the old id simply stop counting.
void ClearAllTags(IniFile& ini);

} // namespace qb

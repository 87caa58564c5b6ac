// Index rebuilding: the address file's dialog (pack, then the 26 tags made by
// the routine the caller passes in) and the system tables' dialog (pack and
// one tag per table). Both show the engine's progress; neither can be
// cancelled once "Reindex" is pressed.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qb {

class TableDataset;

// The gauge of the address file's rebuild. While packing it shows the
// engine's percentage; while indexing the percentages of successive tags add
// up (Accumulated grows by each rise over LastProgress, so a tag starting
// again at 0 subtracts nothing) and the gauge shows Accumulated * 100 / 2100,
// rounded, at most 100.
class ReindexProgress {
public:
    enum class Phase { Pack, Index };
    void setPhase(Phase phase) { phase_ = phase; }
    Phase phase() const { return phase_; }
    // One report of the engine's current operation; returns the gauge value.
    int report(int percent);
    int accumulated() const { return accumulated_; }
    int lastProgress() const { return lastProgress_; }
    void reset();

private:
    Phase phase_ = Phase::Pack;
    int accumulated_ = 0;
    int lastProgress_ = 0;
};

// "Rebuild indexes for <file>": packs the open address table and recreates
// its tags with `createIndexes` (which tells its own failure).
class TQBReindex : public QDialog {
    Q_OBJECT
public:
    using IndexCreator = std::function<bool(TableDataset&)>;
    TQBReindex(TableDataset& table, IndexCreator createIndexes, QWidget* parent = nullptr);

    QString statusText() const;
    int gaugeValue() const;
    const ReindexProgress& progress() const { return progress_; }
    // True when the last run created the tags.
    bool succeeded() const { return succeeded_; }

public slots:
    void DoitClick();

private:
    void onProgress(int percent);

    TableDataset& table_;
    IndexCreator createIndexes_;
    ReindexProgress progress_;
    bool succeeded_ = false;
    QLabel* status_;
    QProgressBar* gauge_;
    QPushButton* doit_;
    QPushButton* cancel_;
    QPushButton* help_;
};

// "Rebuild System Indexes": packs each system table and recreates its tag.
class TSystemReindex : public QDialog {
    Q_OBJECT
public:
    explicit TSystemReindex(QWidget* parent = nullptr);
    ~TSystemReindex() override;

    // Rebuilds sysdata/<name>.DBF: opens it, deletes its index file, packs it
    // when `pack`, creates `tag` on `expression`, closes it. False (and the
    // table left as it was where possible) on any failure; nothing is told.
    bool DoExtra(const QString& name, const QString& tag, bool pack, const QString& expression);

    QString statusText() const;
    int gaugeValue() const;
    // The status texts shown during the last run, in order.
    const QStringList& statusHistory() const { return history_; }

public slots:
    void DoitClick();

private:
    void onProgress(int percent);
    void setStatus(const QString& text);

    TableDataset* table_;
    QLabel* status_;
    QProgressBar* gauge_;
    QPushButton* doit_;
    QPushButton* cancel_;
    QPushButton* help_;
    QStringList history_;
};

} // namespace qb

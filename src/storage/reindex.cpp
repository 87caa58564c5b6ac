#include "storage/reindex.h"

#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"
#include "xbase/table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

namespace {

// Lays out the status line, the gauge and the three buttons both dialogs share.
void buildDialog(QDialog* dialog, QLabel*& status, QProgressBar*& gauge, QPushButton*& doit,
                 QPushButton*& cancel, QPushButton*& help) {
    auto* layout = new QVBoxLayout(dialog);
    status = new QLabel(dialog);
    status->setObjectName(QStringLiteral("Status"));
    status->setMinimumWidth(320);
    gauge = new QProgressBar(dialog);
    gauge->setObjectName(QStringLiteral("Gauge"));
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setVisible(false);
    auto* buttons = new QHBoxLayout;
    doit = new QPushButton(QStringLiteral("Reindex"), dialog);
    doit->setObjectName(QStringLiteral("Doit"));
    cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    help = new QPushButton(QStringLiteral("Help"), dialog);
    help->setObjectName(QStringLiteral("HelpButton"));
    buttons->addStretch();
    buttons->addWidget(doit);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addWidget(status);
    layout->addWidget(gauge);
    layout->addLayout(buttons);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    doit->setDefault(true);
}

void letMessagesRun() {
    QCoreApplication::processEvents();
}

QString indexFileOf(const QString& directory, const QString& tableFile) {
    const QString base = QFileInfo(tableFile).completeBaseName();
    const QString found = findFileCaseInsensitive(directory, base + QStringLiteral(".CDX"));
    return found.isEmpty() ? directory + base + QStringLiteral(".CDX") : found;
}

} // namespace

// ---- progress --------------------------------------------------------------------------

int ReindexProgress::report(int percent) {
    if (phase_ == Phase::Pack)
        return qBound(0, percent, 100);
    if (percent > lastProgress_)
        accumulated_ += percent - lastProgress_;
    lastProgress_ = percent;
    if (accumulated_ <= 0)
        return 0;
    const int gauge = (accumulated_ * 100 + 1050) / 2100;
    return qMin(gauge, 100);
}

void ReindexProgress::reset() {
    phase_ = Phase::Pack;
    accumulated_ = 0;
    lastProgress_ = 0;
}

// ---- the address file -----------------------------------------------------------------

TQBReindex::TQBReindex(TableDataset& table, IndexCreator createIndexes, QWidget* parent)
    : QDialog(parent), table_(table), createIndexes_(std::move(createIndexes)) {
    setWindowTitle(QStringLiteral("Rebuild indexes for ") + table.tableName());
    buildDialog(this, status_, gauge_, doit_, cancel_, help_);
    connect(doit_, &QPushButton::clicked, this, &TQBReindex::DoitClick);
}

QString TQBReindex::statusText() const {
    return status_->text();
}
int TQBReindex::gaugeValue() const {
    return gauge_->value();
}

void TQBReindex::onProgress(int percent) {
    gauge_->setValue(progress_.report(percent));
    letMessagesRun();
}

void TQBReindex::DoitClick() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    succeeded_ = false;
    gauge_->setVisible(true);
    doit_->setEnabled(false);
    cancel_->setVisible(false);
    help_->setVisible(false);
    status_->setText(QStringLiteral("Cleaning out old deleted records"));
    letMessagesRun();

    if (table_.isEditing() && !table_.post())
        table_.cancel();
    xbase::Table* t = table_.engine();
    if (t) {
        // Without its index the pack has no tags to rebuild, and the tags
        // are made afresh below anyway.
        try {
            if (!t->indexFileName().empty())
                t->deleteIndexFile();
            t->closeIndexes();
        } catch (const std::exception&) {
        }
        const QString cdx = indexFileOf(table_.directory(), table_.tableName());
        if (QFileInfo::exists(cdx))
            QFile::remove(cdx);

        progress_.setPhase(ReindexProgress::Phase::Pack);
        gauge_->setValue(0);
        t->setProgressHook([this](int p) { onProgress(p); });
        try {
            t->pack();
        } catch (const std::exception& e) {
            // The records stay as they were; the index is still rebuilt so
            // the file remains usable.
            t->setProgressHook(nullptr);
            Warn(FromDisk(e.what()));
        }
        t->setProgressHook(nullptr);
        table_.first();

        status_->setText(QStringLiteral("Rebuilding indexes"));
        letMessagesRun();
        progress_.setPhase(ReindexProgress::Phase::Index);
        t->setProgressHook([this](int p) { onProgress(p); });
        succeeded_ = createIndexes_ ? createIndexes_(table_) : false;
        if (table_.engine())
            table_.engine()->setProgressHook(nullptr);
        table_.first();
    }

    gauge_->setVisible(false);
    gauge_->setValue(0);
    doit_->setEnabled(true);
    cancel_->setVisible(true);
    progress_.reset();
    QApplication::restoreOverrideCursor();
    accept();
}

// ---- the system tables -----------------------------------------------------------------

TSystemReindex::TSystemReindex(QWidget* parent) : QDialog(parent), table_(new TableDataset(this)) {
    setWindowTitle(QStringLiteral("Rebuild System Indexes"));
    buildDialog(this, status_, gauge_, doit_, cancel_, help_);
    connect(doit_, &QPushButton::clicked, this, &TSystemReindex::DoitClick);
}

TSystemReindex::~TSystemReindex() = default;

QString TSystemReindex::statusText() const {
    return status_->text();
}
int TSystemReindex::gaugeValue() const {
    return gauge_->value();
}

void TSystemReindex::onProgress(int percent) {
    gauge_->setValue(qBound(0, percent, 100));
    letMessagesRun();
}

void TSystemReindex::setStatus(const QString& text) {
    status_->setText(text);
    history_ << text;
    letMessagesRun();
}

bool TSystemReindex::DoExtra(const QString& name, const QString& tag, bool pack,
                             const QString& expression) {
    table_->close();
    const QString dir = SystemDirectory();
    const QString wanted = name + QStringLiteral(".DBF");
    const QString existing = findFileCaseInsensitive(dir, wanted);
    table_->setDirectory(dir);
    table_->setFileName(existing.isEmpty() ? wanted : QFileInfo(existing).fileName());
    table_->setExclusive(true);
    table_->setInitialOrder(QString());
    table_->setOpenProductionIndex(true);
    if (!table_->open()) {
        // An index file the engine cannot read must not keep the table from
        // being repaired: try again without it.
        table_->setOpenProductionIndex(false);
        const bool opened = table_->open();
        table_->setOpenProductionIndex(true);
        if (!opened) {
            table_->close();
            return false;
        }
    }
    xbase::Table* t = table_->engine();
    try {
        if (t->tagOrder(tag.toStdString()) > 0)
            t->setOrder(std::string_view(tag.toStdString()));
        if (!t->indexFileName().empty())
            t->deleteIndexFile();
        t->closeIndexes();
    } catch (const std::exception&) {
    }
    const QString cdx = indexFileOf(dir, table_->tableName());
    if (QFileInfo::exists(cdx))
        QFile::remove(cdx);
    try {
        t->setProgressHook([this](int p) { onProgress(p); });
        if (pack)
            t->pack();
        t->createTag(tag.toStdString(), expression.toStdString());
        t->setProgressHook(nullptr);
    } catch (const std::exception&) {
        t->setProgressHook(nullptr);
        table_->close();
        return false;
    }
    table_->close();
    return true;
}

void TSystemReindex::DoitClick() {
    history_.clear();
    gauge_->setVisible(true);
    doit_->setEnabled(false);
    cancel_->setVisible(false);
    help_->setVisible(false);
    status_->clear();
    status_->setVisible(true);

    struct Job {
        const char* status;
        const char* table;
        const char* tag;
        const char* expression;
    };
    static const Job jobs[] = {
        {"Rebuilding Letters File indexes", "LETTER", "DESCRIPT", "UPPER(DESCRIPT)"},
        {"Rebuilding Label File indexes", "LABEL", "DESCRIPT", "UPPER(DESCRIPT)"},
        {"Rebuilding State/Province File indexes", "CSZ", "STATE", "UPPER(STATE)"},
        {"Rebuilding Label Setup File indexes", "LBLTPL", "DESCRIPT", "UPPER(descript)"},
        {"Rebuilding Envelope File indexes", "ENVELOPE", "DESCRIPT", "UPPER(descript)"},
        {"Rebuilding Report File indexes", "REPORT", "DESCRIPT", "UPPER(descript)"},
    };
    for (const Job& job : jobs) {
        setStatus(QLatin1String(job.status));
        DoExtra(QLatin1String(job.table), QLatin1String(job.tag), true,
                QLatin1String(job.expression));
    }

    table_->close();
    gauge_->setValue(0);
    doit_->setEnabled(true);
    cancel_->setVisible(true);
    gauge_->setVisible(false);
    accept();
}

} // namespace qb

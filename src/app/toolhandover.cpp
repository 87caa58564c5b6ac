#include "app/toolhandover.h"

#include "printing/printers.h"
#include "storage/dataset.h"
#include "xbase/table.h"

#include <QDir>

namespace qb {

// ---- the commands ----------------------------------------------------------

ToolHandOver ToolHandOver::Labels() {
    ToolHandOver h;
    // The order is put back too: a presorted run leaves the table on a
    // temporary order, and the user expects the file as it was.
    h.steps = SuspendDisplay | EventsOff | KeepPosition | KeepEngineFilter | SetEngineFilter |
              ExtraFields | KeepPrinter | ClearKeyScope | ReselectOrder;
    h.engineFilter = QStringLiteral("not DELETED()");
    return h;
}

ToolHandOver ToolHandOver::Reports() {
    return Labels();
}

ToolHandOver ToolHandOver::Letters() {
    ToolHandOver h;
    h.steps = SuspendDisplay | EventsOff | KeepPrinter;
    return h;
}

ToolHandOver ToolHandOver::Envelopes() {
    ToolHandOver h;
    // The display stays live: the envelope window navigates the file itself.
    h.steps = EventsOff | ExtraFields | KeepPrinter;
    return h;
}

ToolHandOver ToolHandOver::FileImport() {
    ToolHandOver h;
    h.steps = KeepDirectory | ReopenFile | EventsOff | ReselectOrder | ApplyMainFilter |
              FirstRecord | SetButtons;
    return h;
}

ToolHandOver ToolHandOver::ImportOlder() {
    ToolHandOver h;
    h.steps = KeepDirectory | SuspendDisplay | EventsOff | SetEngineFilter | ReselectOrder |
              ApplyMainFilter | SetButtons;
    return h;
}

ToolHandOver ToolHandOver::CopyOut() {
    ToolHandOver h;
    h.steps = KeepDirectory | EventsOff | SuspendDisplay | KeepPosition | ReselectOrder;
    return h;
}

ToolHandOver ToolHandOver::CountZipCodes() {
    ToolHandOver h;
    h.steps = SuspendDisplay | ReselectOrder;
    return h;
}

ToolHandOver ToolHandOver::StateZipCheck() {
    ToolHandOver h;
    h.steps = EventsOff | SuspendDisplay | KeepEngineFilter | SetEngineFilter | ReselectOrder;
    h.engineFilter = QStringLiteral("!ISDEL");
    return h;
}

ToolHandOver ToolHandOver::DuplicateCheck() {
    ToolHandOver h;
    h.steps = EventsOff | SuspendDisplay | SetEngineFilter | ApplyMainFilter | ReselectOrder;
    h.engineFilter = QStringLiteral("!ISDEL");
    return h;
}

ToolHandOver ToolHandOver::ConvertCase() {
    ToolHandOver h;
    h.steps = EventsOff | KeepPosition | SuspendDisplay;
    return h;
}

ToolHandOver ToolHandOver::BulkEdit(const QString& filterExpression) {
    ToolHandOver h;
    h.steps = EventsOff | SetEngineFilter | SuspendDisplay | ApplyMainFilter | FirstRecord |
              ReselectOrder | SetButtons;
    h.engineFilter = filterExpression;
    return h;
}

ToolHandOver ToolHandOver::Reindex() {
    ToolHandOver h;
    h.steps = SuspendDisplay | ReselectOrder | ApplyMainFilter;
    return h;
}

// ---- the session -------------------------------------------------------------

ToolSession::ToolSession(MainWindowState& main, const ToolHandOver& handOver)
    : main_(main), handOver_(handOver) {
    TableDataset& table = main_.table();
    const bool open = main_.fileOpen() && table.isOpen();
    if (handOver_.has(KeepDirectory))
        directory_ = QDir::currentPath();
    if (handOver_.has(KeepPrinter))
        printer_ = CurrentPrinterName();
    if (handOver_.has(SuspendDisplay)) {
        table.disableControls();
        displaySuspended_ = true;
    }
    eventsWereOn_ = main_.eventsOn();
    if (handOver_.has(EventsOff))
        main_.setEventsOn(false);
    if (open && handOver_.has(KeepPosition))
        recno_ = table.recno();
    if (open && handOver_.has(KeepEngineFilter))
        engineFilter_ = table.filterText();
    if (open && handOver_.has(SetEngineFilter))
        table.setFilter(handOver_.engineFilter);
    extraWereOn_ = main_.extraFieldsOn();
    if (handOver_.has(ExtraFields))
        main_.setExtraFields(true);
}

ToolSession::~ToolSession() {
    restore();
}

namespace {

// Runs one restoration step; a failure there must not keep the others from
// running, nor escape from a destructor.
template <typename F> void step(F&& f) {
    try {
        f();
    } catch (...) {
    }
}

// True when the dataset stands on a record its filter and deletion setting let
// the user see.
bool visibleHere(TableDataset& table) {
    xbase::Table* t = table.engine();
    if (!t || !table.hasRecord())
        return false;
    if (t->deletedHidden() && t->deleted())
        return false;
    return t->filter().empty() || t->evalLogical(t->filter());
}

} // namespace

void ToolSession::restore() {
    if (restored_)
        return;
    restored_ = true;
    TableDataset& table = main_.table();

    if (handOver_.has(KeepDirectory) && !directory_.isEmpty())
        step([&] { QDir::setCurrent(directory_); });
    if (handOver_.has(ReopenFile))
        step([&] { main_.reopenFile(); });
    if (handOver_.has(ExtraFields))
        step([&] { main_.setExtraFields(extraWereOn_); });
    const bool open = [&] {
        try {
            return main_.fileOpen() && table.isOpen();
        } catch (...) {
            return false;
        }
    }();
    if (open) {
        // A change the tool left pending is kept, as moving the table would
        // keep it; one the engine refuses is dropped rather than block the rest.
        if (table.isEditing())
            step([&] {
                if (!table.post())
                    table.cancel();
            });
        if (handOver_.has(KeepEngineFilter))
            step([&] {
                if (table.filterText() != engineFilter_)
                    table.setFilter(engineFilter_);
            });
        if (handOver_.has(ClearKeyScope))
            step([&] {
                if (xbase::Table* t = table.engine()) {
                    t->clearScope();
                    table.resync();
                }
            });
        if (handOver_.has(ApplyMainFilter))
            step([&] { main_.applyFilter(); });
        if (handOver_.has(ReselectOrder))
            step([&] { main_.reselectOrder(); });
        if (handOver_.has(KeepPosition) && recno_ != 0)
            step([&] {
                // Only a record that still exists and is still shown.
                const bool valid = recno_ <= table.physicalCount() && table.gotoRecno(recno_) &&
                                   visibleHere(table);
                if (!valid)
                    table.first();
            });
        if (handOver_.has(FirstRecord))
            step([&] { table.first(); });
    }
    if (displaySuspended_)
        step([&] { table.enableControls(); });
    if (handOver_.has(EventsOff))
        step([&] { main_.setEventsOn(eventsWereOn_ || handOver_.has(ReopenFile)); });
    else if (handOver_.has(ReopenFile))
        step([&] { main_.setEventsOn(true); });
    if (handOver_.has(SetButtons))
        step([&] { main_.setButtons(); });
    if (handOver_.has(KeepPrinter))
        step([&] {
            // A printer chosen inside the tool does not outlast it.
            SelectCurrentPrinter(DefaultPrinterName());
            if (!printer_.isEmpty())
                SelectCurrentPrinter(printer_);
        });
}

void RunTool(MainWindowState& main, const ToolHandOver& handOver,
             const std::function<void()>& tool) {
    ToolSession session(main, handOver);
    if (tool)
        tool();
}

} // namespace qb

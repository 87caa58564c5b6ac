// Handing the open address file to a tool window and taking it back.
//
// Every printing, import and maintenance window works on the main window's
// own table: it moves it, filters it and orders it. Around such a window the
// main window prepares the table (display suspended, refreshes off, an engine
// filter of the tool's, the calculated name fields on ...) and afterwards
// puts back what the user had: order, filter, record, directory, printer.
// One descriptor per command says which of these steps apply; a ToolSession
// performs the preparation when it is made and the restoration when it ends,
// also when the tool throws.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace qb {

class TableDataset;

// What a tool session needs of the main window. The main window implements
// it; tests implement it over a bare dataset.
struct MainWindowState {
    virtual ~MainWindowState() = default;

    // The open address table (the one the tool receives).
    virtual TableDataset& table() = 0;
    // Whether a file is open at all.
    virtual bool fileOpen() const = 0;

    // The switch that lets per-record posts refresh the main window.
    virtual bool eventsOn() const = 0;
    virtual void setEventsOn(bool on) = 0;

    // The tag of the current sort order ("" for physical order).
    virtual QString currentOrder() const = 0;
    // Selects the tag of the current order again; may fail or throw, which
    // the session ignores.
    virtual void reselectOrder() = 0;

    // Applies the main window's filter to the table (its own conditions plus
    // the hiding of deleted records).
    virtual void applyFilter() = 0;

    // The calculated name and city-state-zip fields.
    virtual bool extraFieldsOn() const = 0;
    virtual void setExtraFields(bool on) = 0;

    // Closes nothing; opens the current file again after a tool closed it.
    virtual bool reopenFile() = 0;

    // Enables and disables the main window's buttons for the current state.
    virtual void setButtons() = 0;
};

// The steps of a hand-over. Preparation steps are carried out in the order
// listed, restoration steps in the order noted at the restore flags.
enum ToolStep : uint32_t {
    // ---- preparation (each with its matching restoration) ----
    SuspendDisplay = 1u << 0,   // disableControls() / enableControls()
    EventsOff = 1u << 1,        // EventsOn off / back to what it was
    KeepPosition = 1u << 2,     // physical record number, restored when still valid
    KeepEngineFilter = 1u << 3, // the engine filter text, put back as it was
    SetEngineFilter = 1u << 4,  // engine filter := ToolHandOver::engineFilter
    ExtraFields = 1u << 5,      // calculated fields on / back to what they were
    KeepDirectory = 1u << 6,    // the process's current directory
    KeepPrinter = 1u << 7,      // printer selection: default, then the remembered one
    // ---- restoration only ----
    ClearKeyScope = 1u << 8,    // the engine's key scope cleared
    ReopenFile = 1u << 9,       // the current file opened again (after imports)
    ReselectOrder = 1u << 10,   // the current order's tag selected again
    ApplyMainFilter = 1u << 11, // the main window's filter applied again
    FirstRecord = 1u << 12,     // moved to the first record
    SetButtons = 1u << 13,      // the main window's buttons brought up to date
};

// What one command prepares and restores.
struct ToolHandOver {
    uint32_t steps = 0;
    QString engineFilter; // used with SetEngineFilter ("" clears the filter)

    bool has(ToolStep step) const { return (steps & step) != 0; }

    // ---- the commands of the main window ----
    static ToolHandOver Labels();
    static ToolHandOver Reports();
    static ToolHandOver Letters();
    static ToolHandOver Envelopes();
    static ToolHandOver FileImport();  // ASCII and DBF import
    static ToolHandOver ImportOlder(); // version-1 files
    static ToolHandOver CopyOut();
    static ToolHandOver CountZipCodes();
    static ToolHandOver StateZipCheck();
    static ToolHandOver DuplicateCheck();
    static ToolHandOver ConvertCase();
    // Delete records and search-and-replace: the engine filter is the user's
    // filter expression alone, so records marked ISDEL are reached too.
    static ToolHandOver BulkEdit(const QString& filterExpression);
    static ToolHandOver Reindex();
};

// Prepares the main window for a tool on construction and restores it on
// destruction (or earlier through restore(), which runs once). Restoration
// never throws: a failing step is skipped and the rest still run.
class ToolSession {
public:
    ToolSession(MainWindowState& main, const ToolHandOver& handOver);
    ~ToolSession();
    ToolSession(const ToolSession&) = delete;
    ToolSession& operator=(const ToolSession&) = delete;

    void restore();
    bool restored() const { return restored_; }

    // What was remembered (for the tool window: e.g. whether a filter was set).
    uint32_t savedRecno() const { return recno_; }
    const QString& savedEngineFilter() const { return engineFilter_; }
    const QString& savedDirectory() const { return directory_; }
    const QString& savedPrinter() const { return printer_; }

private:
    MainWindowState& main_;
    ToolHandOver handOver_;
    bool restored_ = false;
    bool displaySuspended_ = false;
    bool eventsWereOn_ = true;
    bool extraWereOn_ = false;
    uint32_t recno_ = 0;
    QString engineFilter_;
    QString directory_;
    QString printer_;
};

// Runs `tool` inside a session; exceptions from the tool pass on after the
// restoration.
void RunTool(MainWindowState& main, const ToolHandOver& handOver,
             const std::function<void()>& tool);

} // namespace qb

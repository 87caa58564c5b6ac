// The main window: one address file open at a time, one record shown in a
// form of edit fields, and the place every other window starts from.
#pragma once

#include "app/addressfilter.h"
#include "app/queryform.h"
#include "app/recordrules.h"
#include "app/sortorders.h"
#include "app/toolhandover.h"
#include "storage/settings.h"

#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace qb {

class TableDataset;

// An edit bound to one field of the address file. Typing replaces the
// character after the caret unless insert mode is on (the Insert key).
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    FieldEdit(const QString& field, const QString& caption, QWidget* parent);
    const QString& field() const { return field_; }
    const QString& caption() const { return caption_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString field_;
    QString caption_;
};

class TAddressMain : public QMainWindow, public MainWindowState {
    Q_OBJECT
public:
    explicit TAddressMain(QWidget* parent = nullptr);
    ~TAddressMain() override;

    // ---- the open file ----------------------------------------------------------
    TableDataset& table() const { return *TableQBX; }
    TableDataset& table() override { return *TableQBX; }
    bool OpenQBXDBF(const QString& path);
    bool OpenQBXFile(const QString& path, TableDataset& table);
    bool CheckValidIndex();
    void OnOpenQBXFile(bool active);
    QString GetDatabasePath() const;
    void SetExtraFields(bool on);
    const QString& currentFileName() const { return CurrentFileName; }
    bool indexValid() const { return IndexValid; }

    // ---- recently used files ----------------------------------------------------
    QStringList GetMRUList() const;
    void PutMRUList(const QStringList& list);
    void UpdateMRUList(const QString& path);
    void UpdateMenuMRUList();
    QString GetMRUFile() const;
    QList<QAction*> mruActions() const { return mruActions_; }

    // ---- start-up ---------------------------------------------------------------------
    // The work of the first activation (also run by the first show).
    void FormActivate();
    void LoadPreferences();
    void SaveTagPref();
    bool CheckPrinters();
    const AddingOptions& addingOptions() const { return adding_; }

    // ---- sort order and filter -----------------------------------------------------
    void SetOrderTo(const QString& text);
    void SetCurrentOrder(const QString& tagName);
    QString currentOrder() const override { return sort_.currentOrder(); }
    const SortOrderState& sortState() const { return sort_; }
    int ApplyFilter();
    void UpdateFilterStatus();
    AddressFilter& filter() { return filter_; }

    // ---- state -------------------------------------------------------------------------------
    bool Editing() const;
    bool HasRecord() const;
    bool Browsing() const;
    bool eventsOn() const override { return EventsOn; }

    // ---- what a tool window needs of the main window ------------------------------
    bool fileOpen() const override;
    void setEventsOn(bool on) override { EventsOn = on; }
    void reselectOrder() override { SetCurrentOrder(currentOrder()); }
    void applyFilter() override { ApplyFilter(); }
    bool extraFieldsOn() const override;
    void setExtraFields(bool on) override { SetExtraFields(on); }
    bool reopenFile() override { return OpenQBXDBF(CurrentFileName); }
    void setButtons() override { SetButtons(); }

    // ---- controls (for tests and tools) ----------------------------------------------
    FieldEdit* fieldEdit(const QString& caption) const { return edits_.value(caption); }
    QList<FieldEdit*> fieldEdits() const { return editList_; }
    QPlainTextEdit* memoEdit() const { return memo_; }
    QCheckBox* taggedBox() const { return tagged_; }
    QPushButton* button(const QString& caption) const { return buttons_.value(caption); }
    QAction* action(const QString& caption) const { return actions_.value(caption); }
    QLabel* sortStatus() const { return sortStatus_; }
    QLabel* filterStatus() const { return filterStatus_; }
    QWidget* noDataPanel() const { return noData_; }
    QTabWidget* pages() const { return pages_; }

public slots:
    // ---- commands --------------------------------------------------------------------
    void mnuNewClick();
    void mnuOpenClick();
    void OpenSelectedFile(const QString& path);
    void CreateNewDatabase(const QString& name);
    void RecordFirstClick();
    void RecordPrevClick();
    void RecordNextClick();
    void RecordLastClick();
    void AddButtonClick();
    void EditButtonClick();
    void SaveButtonClick();
    void CancelButtonClick();
    void DeleteButtonClick();
    void mnuCloneClick();
    void DateLabelClick();
    void SearchMemoButtonClick();
    void SearchMemoNextButtonClick();
    void ToggleTag();
    void ClearTags1Click();
    void BrowseButtonClick();
    void SearchButtonClick();
    void FilterButtonClick();
    void mnuSaveFilterClick();
    void mnuRestoreFilterClick();
    void mnuTagAllFilterMatchesClick();
    void mnuPrintCurrentRecordClick();
    void mnuPrintLabelsClick(); // app/labelscommand.cpp
    void mnuCopyToClipboardClick();
    void DialPhone1Click();
    void DialPhone2Click();
    void mnuClearFilterClick();
    void mnuPreferencesClick();
    void mnuRebuildIndexesClick();
    void mnuRebuildSystemIndexesClick();
    void SetButtons();

public:
    bool FindTextInMemo(bool fromStart);
    bool CheckDupName(const QString& first, const QString& last);
    QPair<QString, QString> FillCityState(const QString& zip);
    void SetSkipFields(bool on);
    bool memoFound() const { return MemoFound; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FormKeyDown(QKeyEvent* event);
    void FormCreate();
    void buildMenus();
    void buildForm();
    void DataSourceQBXDataChange();
    void refreshFields();
    void MemoChange();
    void EditFieldClick();
    void fieldEdited(FieldEdit* edit, const QString& text);
    QAction* addAction(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {});
    // A command whose window comes with the tool hand-over: shown, disabled.
    QAction* addLaterAction(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {});
    QPushButton* addButton(QWidget* parent, const QString& caption, const QRect& geometry);
    void focusField(const QString& caption);
    void layoutForm();
    // The query form's entries laid over the fields they stand for.
    QVector<QueryEntryPlace> queryPlaces() const;
    void dial(const char* field);
    // The sort status and the checked Sort item from the sort state.
    void showSortState();

    TableDataset* TableQBX;
    TableDataset* TAbleCreate;
    AddressFilter filter_;
    AddingOptions adding_;
    CarryForward carry_;

    bool FirstActivate = true;
    bool EventsOn = true;
    bool MemoLoading = false;
    bool IndexValid = false;
    bool MemoFound = false;
    bool gettingStartedOff_ = false;
    QString CurrentFileName;
    SortOrderState sort_;
    QString filterDirectory_; // where the last filter file dialog ended
    QString SearchText;

    QHash<QString, FieldEdit*> edits_;
    QList<FieldEdit*> editList_;
    QHash<QString, QPushButton*> buttons_;
    QHash<QString, QAction*> actions_;
    QList<QAction*> laterActions_;
    QList<QAction*> sortActions_;
    QList<QAction*> mruActions_;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* recordMenu_ = nullptr;
    QMenu* sortMenu_ = nullptr;
    QMenu* utilitiesMenu_ = nullptr;
    QMenu* printMenu_ = nullptr;
    QAction* exitSeparator_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QCheckBox* tagged_ = nullptr;
    QLabel* sortStatus_ = nullptr;
    QLabel* filterStatus_ = nullptr;
    QLabel* noData_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QWidget* form_ = nullptr;
    QWidget* memoPage_ = nullptr;
    QList<QPushButton*> bottomBar_;
};

} // namespace qb

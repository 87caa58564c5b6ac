// The "Print Labels" window: the user's label definitions with their stock
// details, and the commands that create, change, copy and remove them. The
// printing controls sit in the window's print panel slot.
#pragma once

#include "labels/labeldefinition.h"
#include "labels/labelstockdialogs.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace qb {

class TableDataset;

// The record commands of the label list, without a window. Questions and
// messages go through the message routines.
class LabelListCommands {
public:
    // `labelTable`: LABEL.DBF, open. `sysdataDir`: where layout files live.
    explicit LabelListCommands(TableDataset& labelTable, QString sysdataDir = QString());

    TableDataset& Table() { return table_; }
    const QString& SystemDir() const { return sysdata_; }

    // The working copy of the current record (the built-in default stock
    // while the table holds no definition), refreshed from the record.
    const LabelDefinition& Working() const { return working_; }
    const LabelDefinition& Refresh();
    bool HasDefinitions();

    // "New": the definition the designer starts with (description
    // "<New Label>", a fresh layout file name). False after a message when
    // no layout file name is free.
    bool PrepareNew(LabelDefinition& out);
    // "Modify": the current definition; when its layout file is missing
    // (or its name is unusable) a new name is chosen and the designer starts
    // empty. False when there is nothing to modify or no name is free.
    bool PrepareModify(LabelDefinition& out);
    // "Clone" and "Delete" with their questions; true when a record was
    // added / removed.
    bool Clone();
    bool Delete();

    // The layout file of the working copy when it exists, else "" after
    // telling why (missing file, unusable name). Print and preview use it.
    QString ExistingLayoutPath();

private:
    TableDataset& table_;
    QString sysdata_;
    LabelDefinition working_;
};

class TLabelSetupScreen : public QDialog {
    Q_OBJECT
public:
    // `addressTable`: the main window's address file (may be null in tests).
    explicit TLabelSetupScreen(TableDataset* addressTable, QWidget* parent = nullptr);
    ~TLabelSetupScreen() override;

    // Opens LABEL.DBF (created when missing); false after its message.
    bool OpenLabelTable();

    TableDataset& LabelTable() { return *labelTable_; }
    TableDataset* AddressTable() const { return addressTable_; }
    LabelListCommands& Commands() { return *commands_; }
    // The current definition, refreshed from its record.
    LabelDefinition CurrentDefinition();
    bool HasDefinitions() const { return hasDefinitions_; }

    // The area below the stock details where the printing controls go
    // ("What to Print", "Printer", print and preview buttons). Hidden while
    // the table holds no definition.
    QWidget* PrintPanelSlot() const { return printSlot_; }
    QVBoxLayout* PrintPanelLayout() const { return printLayout_; }

    // Opens the label designer on a definition and stores it when the
    // designer saved it; true then. By default the label design window,
    // then the record; tests replace it.
    std::function<bool(TLabelSetupScreen&, LabelDefinition&)> OpenDesigner;

    QTableWidget* Grid() const { return grid_; }
    QPushButton* Button(const QString& caption) const;
    // The value shown beside a detail caption ("Sheet Name", "# Across" ...).
    QString DetailText(const QString& caption) const;
    // Descriptions in the grid, top to bottom.
    QStringList Descriptions() const;

signals:
    // The current definition changed (another row, a save, a clone ...).
    void CurrentDefinitionChanged();

public slots:
    void ModifyClick();
    void NewClick();
    void CloneClick();
    void DeleteClick();
    void OKButtonClick() { accept(); }
    // Reloads the grid and selects the record `recno` (0: stay).
    void RefreshList(uint32_t recno = 0);

private:
    void showDetails();
    void gridRowChanged(int row);
    std::unique_ptr<TableDataset> labelTable_;
    TableDataset* addressTable_;
    std::unique_ptr<LabelListCommands> commands_;
    std::vector<uint32_t> recnos_;
    bool hasDefinitions_ = false;
    QTableWidget* grid_;
    QList<QPair<QString, QLabel*>> details_;
    QList<QPushButton*> buttons_;
    QWidget* printSlot_;
    QVBoxLayout* printLayout_;
};

} // namespace qb

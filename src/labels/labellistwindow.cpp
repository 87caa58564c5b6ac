#include "labels/labellistwindow.h"

#include "app/messages.h"
#include "labelobjects/panels.h"
#include "labels/designscreen.h"
#include "labels/labelprintpanel.h"
#include "storage/dataset.h"
#include "storage/home.h"
#include "storage/systemtables.h"

#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qb {

// ---- LabelListCommands ---------------------------------------------------------------

LabelListCommands::LabelListCommands(TableDataset& labelTable, QString sysdataDir)
    : table_(labelTable), sysdata_(sysdataDir.isEmpty() ? SystemDirectory() : sysdataDir),
      working_(LabelDefinition::BuiltInDefault()) {
    Refresh();
}

bool LabelListCommands::HasDefinitions() {
    return table_.isOpen() && table_.hasRecord();
}

const LabelDefinition& LabelListCommands::Refresh() {
    working_ =
        HasDefinitions() ? LabelDefinition::FromRecord(table_) : LabelDefinition::BuiltInDefault();
    return working_;
}

bool LabelListCommands::PrepareNew(LabelDefinition& out) {
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.descript = QStringLiteral("<New Label>");
    def.binary = NewLayoutFileName(sysdata_);
    if (def.binary.isEmpty()) {
        Inform(NoFreeLayoutNameMessage());
        return false;
    }
    out = def;
    return true;
}

bool LabelListCommands::PrepareModify(LabelDefinition& out) {
    if (!HasDefinitions())
        return false;
    LabelDefinition def = Refresh();
    const bool safe = IsSafeLayoutFileName(def.binary);
    if (!safe && !def.binary.isEmpty())
        Inform(UnsafeLayoutNameMessage(def.binary));
    if (!safe || !LayoutFileExists(def.binary, sysdata_)) {
        def.binary = NewLayoutFileName(sysdata_);
        if (def.binary.isEmpty()) {
            Inform(NoFreeLayoutNameMessage());
            return false;
        }
    }
    out = def;
    return true;
}

QString LabelListCommands::ExistingLayoutPath() {
    const LabelDefinition& def = Refresh();
    if (!def.binary.isEmpty() && !IsSafeLayoutFileName(def.binary)) {
        Inform(UnsafeLayoutNameMessage(def.binary));
        return QString();
    }
    if (!LayoutFileExists(def.binary, sysdata_)) {
        Inform(MissingLayoutFileMessage());
        return QString();
    }
    return LayoutFilePath(def.binary, sysdata_);
}

bool LabelListCommands::Clone() {
    if (!HasDefinitions())
        return false;
    const LabelDefinition old = Refresh();
    if (!Confirm(QStringLiteral("Clone \"") + old.descript + QStringLiteral("\"?"),
                 QStringLiteral("CLONE")))
        return false;
    const QString from = ExistingLayoutPath();
    if (from.isEmpty())
        return false;
    LabelDefinition copy = old;
    copy.descript =
        (QStringLiteral("Clone of :") + old.descript).left(LabelDefinition::DescriptionLength);
    copy.isNew = true;
    copy.recno = 0;
    copy.binary = NewLayoutFileName(sysdata_);
    if (copy.binary.isEmpty()) {
        Inform(NoFreeLayoutNameMessage());
        return false;
    }
    QWidget host;
    TKLabelPanel panel(&host, &host);
    panel.resize(LabelPanelSize(copy));
    panel.SetShape(copy.Shape());
    try {
        panel.LoadFromFile(from);
    } catch (const std::exception& e) {
        Inform(QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (!SaveLabelDefinition(table_, copy, panel, sysdata_))
        return false;
    Refresh();
    return true;
}

bool LabelListCommands::Delete() {
    if (!HasDefinitions())
        return false;
    const LabelDefinition def = Refresh();
    if (!Confirm(QStringLiteral("Delete \"") + def.descript + QStringLiteral("\"?"),
                 QStringLiteral("DELETE")))
        return false;
    if (!table_.deleteRecord()) {
        Inform(QStringLiteral("The label could not be deleted: %1").arg(table_.errorText()));
        return false;
    }
    if (IsSafeLayoutFileName(def.binary)) {
        if (LayoutFileExists(def.binary, sysdata_))
            QFile::remove(LayoutFilePath(def.binary, sysdata_));
    } else if (!def.binary.isEmpty()) {
        // Never follow a name that leads out of sysdata/.
        Inform(UnsafeLayoutNameMessage(def.binary));
    }
    Refresh();
    return true;
}

// ---- TLabelSetupScreen -----------------------------------------------------------------

namespace {
const char* const kDetailCaptions[] = {"Sheet Name", "Label Height", "Label Width", "# Across",
                                       "# Down",     "Paper Size",   "Paper Width", "Paper Height"};
}

TLabelSetupScreen::TLabelSetupScreen(TableDataset* addressTable, QWidget* parent)
    : QDialog(parent), labelTable_(std::make_unique<TableDataset>()), addressTable_(addressTable) {
    setWindowTitle(QStringLiteral("Print Labels"));
    labelTable_->setObjectName(QStringLiteral("LabelTable"));
    // The designer writes the layout file; the record follows here.
    OpenDesigner = [](TLabelSetupScreen& window, LabelDefinition& def) {
        if (!TLabelDesignScreen::Edit(def, window.AddressTable(), &window))
            return false;
        return StoreLabelRecord(window.LabelTable(), def, window.Commands().SystemDir());
    };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    grid_ = new QTableWidget(0, 1, this);
    grid_->setObjectName(QStringLiteral("LabelGrid"));
    grid_->setHorizontalHeaderLabels({QStringLiteral("Description")});
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setMinimumWidth(280);
    top->addWidget(grid_, 1);

    auto* right = new QVBoxLayout;
    auto* detailsBox = new QGroupBox(QStringLiteral("Label Sheet"), this);
    auto* form = new QFormLayout(detailsBox);
    for (const char* caption : kDetailCaptions) {
        auto* value = new QLabel(detailsBox);
        value->setMinimumWidth(150);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromLatin1(caption), value);
        details_.append({QString::fromLatin1(caption), value});
    }
    right->addWidget(detailsBox);
    auto* commands = new QGridLayout;
    const char* captions[] = {"Modify", "New", "Delete", "Clone"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setAutoDefault(false);
        buttons_ << b;
        commands->addWidget(b, i / 2, i % 2);
    }
    right->addLayout(commands);
    right->addStretch();
    top->addLayout(right);
    layout->addLayout(top, 1);

    printSlot_ = new QWidget(this);
    printSlot_->setObjectName(QStringLiteral("PrintPanelSlot"));
    printLayout_ = new QVBoxLayout(printSlot_);
    printLayout_->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(printSlot_);
    InstallLabelPrintPanel(*this);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    ok->setAutoDefault(false);
    help->setAutoDefault(false);
    buttons_ << ok << help;
    bottom->addWidget(ok);
    bottom->addWidget(help);
    layout->addLayout(bottom);

    connect(Button(QStringLiteral("Modify")), &QPushButton::clicked, this,
            &TLabelSetupScreen::ModifyClick);
    connect(Button(QStringLiteral("New")), &QPushButton::clicked, this,
            &TLabelSetupScreen::NewClick);
    connect(Button(QStringLiteral("Delete")), &QPushButton::clicked, this,
            &TLabelSetupScreen::DeleteClick);
    connect(Button(QStringLiteral("Clone")), &QPushButton::clicked, this,
            &TLabelSetupScreen::CloneClick);
    connect(ok, &QPushButton::clicked, this, &TLabelSetupScreen::OKButtonClick);
    connect(help, &QPushButton::clicked, this, [] { RequestHelpTopic(HelpTopic::Labels); });
    connect(grid_, &QTableWidget::currentCellChanged, this,
            [this](int row) { gridRowChanged(row); });
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &TLabelSetupScreen::ModifyClick);
    resize(720, 460);
    RefreshList();
}

TLabelSetupScreen::~TLabelSetupScreen() = default;

bool TLabelSetupScreen::OpenLabelTable() {
    labelTable_->setInitialOrder(QStringLiteral("DESCRIPT"));
    if (!qb::OpenLabelTable(*labelTable_))
        return false;
    if (labelTable_->order().isEmpty())
        labelTable_->setOrder(QStringLiteral("DESCRIPT"));
    // Records marked deleted stay hidden.
    labelTable_->setFilter(QStringLiteral("not DELETED()"));
    labelTable_->first();
    commands_ = std::make_unique<LabelListCommands>(*labelTable_);
    RefreshList();
    return true;
}

QPushButton* TLabelSetupScreen::Button(const QString& caption) const {
    for (QPushButton* b : buttons_)
        if (b->text() == caption)
            return b;
    return nullptr;
}

QString TLabelSetupScreen::DetailText(const QString& caption) const {
    for (const auto& d : details_)
        if (d.first == caption)
            return d.second->text();
    return QString();
}

QStringList TLabelSetupScreen::Descriptions() const {
    QStringList out;
    for (int r = 0; r < grid_->rowCount(); ++r)
        out << (grid_->item(r, 0) ? grid_->item(r, 0)->text() : QString());
    return out;
}

LabelDefinition TLabelSetupScreen::CurrentDefinition() {
    if (!commands_)
        return LabelDefinition::BuiltInDefault();
    return commands_->Refresh();
}

void TLabelSetupScreen::RefreshList(uint32_t recno) {
    recnos_.clear();
    QStringList names;
    TableDataset& t = *labelTable_;
    if (t.isOpen()) {
        if (recno == 0 && t.hasRecord())
            recno = t.bookmark();
        for (bool more = t.first(); more && !t.eof(); more = t.next()) {
            recnos_.push_back(t.bookmark());
            names << LabelDefinition::FromRecord(t).descript;
        }
    }
    int row = 0;
    for (size_t i = 0; i < recnos_.size(); ++i)
        if (recnos_[i] == recno)
            row = static_cast<int>(i);
    {
        QSignalBlocker block(grid_);
        grid_->setRowCount(names.size());
        for (int i = 0; i < names.size(); ++i)
            grid_->setItem(i, 0, new QTableWidgetItem(names[i]));
        if (!recnos_.empty())
            grid_->setCurrentCell(row, 0);
    }
    hasDefinitions_ = !recnos_.empty();
    if (hasDefinitions_)
        t.gotoBookmark(recnos_[static_cast<size_t>(row)]);
    grid_->setEnabled(hasDefinitions_);
    for (const char* caption : {"Modify", "Delete", "Clone"})
        Button(QString::fromLatin1(caption))->setEnabled(hasDefinitions_);
    Button(QStringLiteral("New"))->setEnabled(commands_ != nullptr);
    printSlot_->setVisible(hasDefinitions_);
    if (commands_)
        commands_->Refresh();
    showDetails();
    emit CurrentDefinitionChanged();
}

void TLabelSetupScreen::gridRowChanged(int row) {
    if (row < 0 || row >= static_cast<int>(recnos_.size()))
        return;
    labelTable_->gotoBookmark(recnos_[static_cast<size_t>(row)]);
    if (commands_)
        commands_->Refresh();
    showDetails();
    emit CurrentDefinitionChanged();
}

void TLabelSetupScreen::showDetails() {
    if (!hasDefinitions_ || !commands_) {
        for (auto& d : details_)
            d.second->clear();
        return;
    }
    const LabelDefinition& def = commands_->Working();
    auto n3 = [](double v) { return QString::number(v, 'f', 3); };
    const QString values[] = {def.SheetName(),
                              n3(def.lblHeight),
                              n3(def.lblWidth),
                              QString::number(def.nbrAcross),
                              QString::number(def.nbrDown),
                              def.paperSize,
                              n3(def.sheetWidth),
                              n3(def.sheetDepth)};
    for (int i = 0; i < details_.size(); ++i)
        details_[i].second->setText(values[i]);
}

void TLabelSetupScreen::ModifyClick() {
    if (!commands_ || !hasDefinitions_)
        return;
    LabelDefinition def;
    if (!commands_->PrepareModify(def))
        return;
    const uint32_t recno = def.recno;
    const bool saved = OpenDesigner && OpenDesigner(*this, def);
    RefreshList(saved && def.recno ? def.recno : recno);
}

void TLabelSetupScreen::NewClick() {
    if (!commands_)
        return;
    LabelDefinition def;
    if (!commands_->PrepareNew(def))
        return;
    if (OpenDesigner && OpenDesigner(*this, def) && def.recno)
        RefreshList(def.recno);
    else
        RefreshList();
}

void TLabelSetupScreen::CloneClick() {
    if (!commands_ || !hasDefinitions_)
        return;
    if (commands_->Clone())
        RefreshList(labelTable_->bookmark());
}

void TLabelSetupScreen::DeleteClick() {
    if (!commands_ || !hasDefinitions_)
        return;
    const int row = grid_->currentRow();
    if (!commands_->Delete())
        return;
    // Stay near the deleted row.
    RefreshList(0);
    if (!recnos_.empty()) {
        const int next = std::min(row, static_cast<int>(recnos_.size()) - 1);
        grid_->setCurrentCell(std::max(0, next), 0);
    }
}

} // namespace qb

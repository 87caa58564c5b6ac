#include "app/preferences.h"

#include "app/helpviewer.h"
#include "app/messages.h"
#include "app/whatsthis.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

namespace {

struct BoxSpec {
    const char* caption;
    const char* key;
};

const BoxSpec kAddingBoxes[] = {
    {"Enter today's date in the date field", "PlugDate"},
    {"Automatically insert city and state/province", "PlugCityState"},
    {"Automatically check for duplicate names", "AutoDupCheck"},
};

const BoxSpec kCarryBoxes[] = {
    {"Organization", "CarryOrg"}, {"Address 1", "CarrySA1"},        {"Address 2", "CarrySA2"},
    {"City", "CarryCity"},        {"State/Province", "CarryState"}, {"Zip/Postal Code", "CarryZip"},
    {"Country", "CarryCountry"},
};

const BoxSpec kSkipBoxes[] = {
    {"Last Name", "SkipLastName"},
    {"First Name", "SkipfirstName"},
    {"Middle Initial", "SkipMiddleInitial"},
    {"Prefix", "SkipPrefix"},
    {"Title", "Skiptitle"},
    {"Organization", "SkipOrganization"},
    {"Address 2", "SkipAddress2"},
    {"State/Province", "SkipState"},
    {"Zip/Postal Code", "SkipZip"},
    {"Country", "SkipCountry"},
    {"Phone #1", "SkipPhone1"},
    {"Phone #2", "SkipPhone2"},
    {"Fax", "SkipFax"},
    {"E-Mail", "SkipEmail"},
    {"Codes", "SkipCodes"},
    {"Comments #1", "SkipComments1"},
    {"Comments #2", "Skipcomments2"},
    {"Date", "SkipDate"},
};

// The option each key stands for.
bool AddingOptions::*memberFor(const QString& key) { return AddingOptionForKey(key); }

} // namespace

TPreferences::TPreferences(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("Preferences"));

    auto* adding = new QGroupBox(QStringLiteral(" When adding new records"), this);
    auto* addingLayout = new QGridLayout(adding);
    for (int i = 0; i < int(std::size(kAddingBoxes)); ++i)
        addBox(addingLayout, i, 1, QString::fromLatin1(kAddingBoxes[i].caption),
               kAddingBoxes[i].key);
    auto* countryLabel = new QLabel(QStringLiteral("Default Country Name"), adding);
    defaultCountry_ = new QLineEdit(adding);
    defaultCountry_->setMaxLength(30);
    defaultCountry_->setObjectName(QStringLiteral("DefaultCountry"));
    countryLabel->setBuddy(defaultCountry_);
    auto* countryRow = new QHBoxLayout;
    countryRow->addWidget(countryLabel);
    countryRow->addWidget(defaultCountry_, 1);
    addingLayout->addLayout(countryRow, int(std::size(kAddingBoxes)), 0);
    SetWhatsThis(defaultCountry_,
                 QStringLiteral("The country put into every new record when no country is "
                                "carried forward from the record you were on. Leave it blank "
                                "for none."));

    auto* carry = new QGroupBox(QStringLiteral("Carry forward the following fields:"), this);
    auto* carryLayout = new QGridLayout(carry);
    for (int i = 0; i < int(std::size(kCarryBoxes)); ++i)
        addBox(carryLayout, i, 1, QString::fromLatin1(kCarryBoxes[i].caption), kCarryBoxes[i].key);
    SetWhatsThis(carry, QStringLiteral("Ticked fields are copied from the record you were on "
                                       "into each new record you add."));

    auto* skip = new QGroupBox(QStringLiteral("Skip through the following fields:"), this);
    auto* skipLayout = new QGridLayout(skip);
    for (int i = 0; i < int(std::size(kSkipBoxes)); ++i)
        addBox(skipLayout, i, 2, QString::fromLatin1(kSkipBoxes[i].caption), kSkipBoxes[i].key);
    SetWhatsThis(skip, QStringLiteral("While you enter a new record, the Tab key passes over "
                                      "the ticked fields. You can still click into them."));

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &TPreferences::OKButtonClick);
    connect(cancel_, &QPushButton::clicked, this, &TPreferences::CancelButtonClick);
    connect(help_, &QPushButton::clicked, this, &TPreferences::HelpButtonClick);

    auto* left = new QVBoxLayout;
    left->addWidget(adding);
    left->addWidget(carry);
    left->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(skip);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help_);
    auto* main = new QVBoxLayout(this);
    main->addLayout(columns);
    main->addLayout(buttons);

    LoadPreferences();
    adjustSize();
    setFixedSize(sizeHint());
    CenterOnScreen(this);
}

QCheckBox* TPreferences::addBox(QGridLayout* grid, int index, int columns, const QString& caption,
                                const char* key) {
    auto* box = new QCheckBox(caption, grid->parentWidget());
    box->setObjectName(QString::fromLatin1(key));
    const int rows = (columns == 1) ? 1 << 30 : 9;
    grid->addWidget(box, columns == 1 ? index : index % rows, columns == 1 ? 0 : index / rows);
    boxes_.insert(QString::fromLatin1(key), box);
    return box;
}

QCheckBox* TPreferences::checkBoxForKey(const QString& key) const {
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it)
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it.value();
    return nullptr;
}

AddingOptions TPreferences::options() const {
    AddingOptions o;
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it)
        if (auto member = memberFor(it.key()))
            o.*member = it.value()->isChecked();
    o.defaultCountry = defaultCountry_->text();
    return o;
}

void TPreferences::setOptions(const AddingOptions& o) {
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it)
        if (auto member = memberFor(it.key()))
            it.value()->setChecked(o.*member);
    defaultCountry_->setText(o.defaultCountry.left(30));
}

void TPreferences::LoadPreferences() {
    setOptions(AddingOptions::load());
}

void TPreferences::SavePreferences() {
    options().save();
}

void TPreferences::OKButtonClick() {
    SavePreferences();
    accept();
}

void TPreferences::CancelButtonClick() {
    reject();
}

void TPreferences::HelpButtonClick() {
    ShowHelpTopic(HelpTopic::Preferences);
}

bool ShowPreferences(QWidget* parent) {
    TPreferences dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qb

#include "app/sortorders.h"

#include "storage/dataset.h"

#include <QAction>
#include <QMenu>

namespace qb {

const std::vector<SortOrderDef>& SortOrders() {
    static const std::vector<SortOrderDef> orders = {
        {"&Last Name", "LAST NAME", "LNAME", "UPPER(LNAME)+UPPER(FNAME)"},
        {"&First Name", "FIRST NAME", "FNAME", "UPPER(FNAME)"},
        {"&Title", "TITLE", "TITLE", "UPPER(TITLE)"},
        {"&Organization", "ORGANIZATION", "ORG", "UPPER(ORG)"},
        {"&Street", "STREET", "STREET", "UPPER(STREET)"},
        {"&City", "CITY", "CITY", "UPPER(CITY+STATE)"},
        {"&State", "STATE", "STATE", "UPPER(STATE)"},
        {"&Zip", "ZIP", "ZIP", "UPPER(ZIP)"},
        {"&Country", "COUNTRY", "COUNTRY", "UPPER(COUNTRY)"},
        {"&Phone", "PHONE", "PHONE", "UPPER(PHONE)"},
        {"&E-mail", "E-MAIL", "EMAIL", "UPPER(EMAIL)"},
        {"&Fax", "FAX", "FAX", "UPPER(FAX)"},
        {"&Date", "DATE", "DATE", "UPPER(DATE)"},
        {"&Codes", "CODES", "CODES", "UPPER(CODES)"},
    };
    return orders;
}

QString SortCaptionText(int index) {
    return QString::fromLatin1(SortOrders().at(static_cast<size_t>(index)).caption).mid(1);
}

QStringList SortCaptionTexts() {
    QStringList out;
    for (int i = 0; i < static_cast<int>(SortOrders().size()); ++i)
        out << SortCaptionText(i);
    return out;
}

void SortOrderState::SetMenuOrder(const QString& caption) {
    SetOrderTo(caption.mid(1).left(30));
}

bool SortOrderState::SetOrderTo(const QString& text) {
    const QString wanted = text.toUpper();
    bool matched = false;
    for (const SortOrderDef& o : SortOrders())
        if (wanted == QLatin1String(o.orderText)) {
            SetCurrentOrder(QString::fromLatin1(o.tag));
            matched = true;
            break;
        }
    status_ = QStringLiteral("Sorted by ") + text;
    checked_ = -1;
    for (int i = 0; i < static_cast<int>(SortOrders().size()); ++i)
        if (SortCaptionText(i).toUpper() == wanted) {
            checked_ = i;
            break;
        }
    return matched;
}

void SortOrderState::SetCurrentOrder(const QString& tagName) {
    currentOrder_ = tagName;
    if (!tagName.isEmpty() && table_ && table_->isOpen())
        table_->setOrder(tagName); // refused: the previous order stays in force
}

SortMenu::SortMenu(SortOrderState& state, QWidget* parent,
                   std::function<void(const QString&)> onChanged)
    : QObject(parent), state_(state), menu_(new QMenu(QStringLiteral("&Sort"), parent)),
      onChanged_(std::move(onChanged)) {
    for (int i = 0; i < static_cast<int>(SortOrders().size()); ++i) {
        QAction* a =
            menu_->addAction(QString::fromLatin1(SortOrders()[static_cast<size_t>(i)].caption));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { choose(i); });
        actions_ << a;
    }
    syncChecks();
}

void SortMenu::syncChecks() {
    for (int i = 0; i < actions_.size(); ++i)
        actions_[i]->setChecked(state_.isChecked(i));
}

void SortMenu::choose(int index) {
    state_.SetMenuOrder(actions_.at(index)->text());
    syncChecks();
    if (onChanged_)
        onChanged_(state_.statusText());
}

} // namespace qb

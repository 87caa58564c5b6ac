#include "app/searchdialog.h"

#include "app/messages.h"
#include "app/modal.h"
#include "app/sortorders.h"
#include "storage/dataset.h"
#include "storage/home.h"
#include "xbase/table.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

bool SearchFor(TableDataset& table, SortOrderState& state, int orderIndex, const QString& text) {
    if (text.isEmpty() || !table.isOpen() || orderIndex < 0 ||
        orderIndex >= static_cast<int>(SortOrders().size()))
        return false;
    state.SetOrderTo(SortCaptionText(orderIndex));
    xbase::Table* engine = table.engine();
    const bool wasExact = engine->exact();
    const bool wasSoft = engine->softSeek();
    engine->setExact(false); // a key matches when it begins with the text
    engine->setSoftSeek(true);
    const TableDataset::Bookmark here = table.bookmark();
    bool found = false;
    try {
        found = table.seek(text.toUpper());
    } catch (const std::exception&) {
        found = false; // a failed seek is the same as no match for the user
    }
    if (!found && here != 0)
        table.gotoBookmark(here);
    engine->setSoftSeek(wasSoft);
    engine->setExact(wasExact);
    return found;
}

TSearchDialog::TSearchDialog(int checkedIndex, QWidget* parent)
    : QDialog(parent), order_(new QComboBox(this)), edit_(new QLineEdit(this)),
      label_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Search"));
    order_->addItems(SortCaptionTexts());
    order_->setCurrentIndex(checkedIndex >= 0 && checkedIndex < order_->count() ? checkedIndex : 0);
    auto* orderLabel = new QLabel(QStringLiteral("Search &Order"), this);
    orderLabel->setBuddy(order_);
    label_->setBuddy(edit_);

    QDialogButtonBox* buttons = DialogButtons(*this, [this] { HelpButtonClick(); });
    connect(order_, &QComboBox::activated, this, &TSearchDialog::OrderChange);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(orderLabel);
    layout->addWidget(order_);
    layout->addWidget(label_);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    OrderChange();
}

int TSearchDialog::orderIndex() const {
    return order_->currentIndex();
}

QString TSearchDialog::searchText() const {
    return edit_->text();
}

void TSearchDialog::OrderChange() {
    label_->setText(QStringLiteral("Search ") + order_->currentText() +
                    QStringLiteral(" starting with..."));
    edit_->setFocus();
}

void TSearchDialog::HelpButtonClick() {
    RequestHelpTopic(HelpTopic::Finding);
}

bool RunSearchDialog(TableDataset& table, SortOrderState& state, QWidget* parent,
                     const std::function<void(int)>& afterSearch,
                     const std::function<void(TSearchDialog&)>& run) {
    TSearchDialog dialog(state.checkedIndex(), parent);
    if (run) {
        run(dialog);
    } else {
        CenterOnScreen(&dialog);
        dialog.exec();
    }
    if (dialog.result() != QDialog::Accepted || dialog.searchText().isEmpty())
        return false;
    SearchFor(table, state, dialog.orderIndex(), dialog.searchText());
    if (afterSearch)
        afterSearch(dialog.orderIndex());
    return true;
}

} // namespace qb

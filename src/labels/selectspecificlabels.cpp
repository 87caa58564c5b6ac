#include "labels/selectspecificlabels.h"

#include "app/messages.h"
#include "printing/printers.h"
#include "storage/home.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace qb {

namespace {
int Px(double inches) {
    // The fraction is dropped, as the picture has always been drawn.
    return static_cast<int>(inches * TSheetPicture::Scale);
}
} // namespace

// ---- picture --------------------------------------------------------------------------------

TSheetPicture::TSheetPicture(const LabelSheet& sheet, PositionMask& mask, QWidget* parent)
    : QWidget(parent), sheet_(sheet), mask_(mask) {
    setObjectName(QStringLiteral("SheetPicture"));
    setFixedSize(sizeHint());
}

QRect TSheetPicture::SheetRect(const LabelSheet& s) {
    return QRect(QPoint(Offset, Offset),
                 QPoint(Offset + Px(s.sheetWidth), Offset + Px(s.sheetDepth)));
}

QRect TSheetPicture::PositionRect(const LabelSheet& s, int col, int row) {
    int x = Offset + Px(s.leftMarg) + col * Px(s.horizPitch);
    if (s.midExtraX > 0 && col >= s.Across() / 2)
        x += Px(s.midExtraX);
    int y = Offset + Px(s.topMarg) + row * Px(s.vertPitch);
    if (s.midExtraY > 0 && row >= s.Down() / 2)
        y += Px(s.midExtraY);
    return QRect(x, y, Px(s.lblWidth), Px(s.lblHeight));
}

int TSheetPicture::PositionAt(const LabelSheet& s, const QPoint& p) {
    for (int row = 0; row < s.Down(); ++row)
        for (int col = 0; col < s.Across(); ++col)
            if (PositionRect(s, col, row).contains(p))
                return row * s.Across() + col;
    return -1;
}

QSize TSheetPicture::sizeHint() const {
    // Letter size at least; larger sheets enlarge the picture.
    const int w = Px(std::max(8.5, sheet_.sheetWidth));
    const int h = Px(std::max(11.0, sheet_.sheetDepth));
    return QSize(w + 2 * Offset + 1, h + 2 * Offset + 1);
}

bool TSheetPicture::ClickAt(const QPoint& p) {
    const int index = PositionAt(sheet_, p);
    if (index < 0)
        return false;
    mask_.Toggle(index);
    update();
    emit Changed();
    return true;
}

void TSheetPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(SheetRect(sheet_));
    for (int row = 0; row < sheet_.Down(); ++row)
        for (int col = 0; col < sheet_.Across(); ++col) {
            painter.setBrush(mask_.On(row * sheet_.Across() + col) ? QColor(Qt::red)
                                                                   : QColor(Qt::white));
            painter.drawRect(PositionRect(sheet_, col, row));
        }
}

void TSheetPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        ClickAt(event->position().toPoint());
}

// ---- dialog ---------------------------------------------------------------------------------

TSelectSpecificLabels::TSelectSpecificLabels(const LabelSheet& sheet, const PositionMask& mask,
                                             const QStringList& printers,
                                             const QString& currentPrinter, bool presort,
                                             QWidget* parent)
    : QDialog(parent), sheet_(sheet), mask_(mask) {
    setWindowTitle(QStringLiteral("Labels Print"));
    setModal(true);
    auto* layout = new QHBoxLayout(this);

    auto* sheetBox = new QGroupBox(QStringLiteral(" Select Labels To Print"), this);
    auto* sheetLayout = new QVBoxLayout(sheetBox);
    picture_ = new TSheetPicture(sheet_, mask_, sheetBox);
    sheetLayout->addWidget(picture_);
    layout->addWidget(sheetBox);

    auto* side = new QVBoxLayout;
    auto* all = new QPushButton(QStringLiteral("&All"), this);
    auto* none = new QPushButton(QStringLiteral("&None"), this);
    connect(all, &QPushButton::clicked, this, &TSelectSpecificLabels::AllClick);
    connect(none, &QPushButton::clicked, this, &TSelectSpecificLabels::NoneClick);
    side->addWidget(all);
    side->addWidget(none);

    side->addWidget(new QLabel(QStringLiteral("Printer"), this));
    printers_ = new QComboBox(this);
    printers_->addItems(printers);
    printers_->setCurrentIndex(std::max(0, static_cast<int>(printers.indexOf(currentPrinter))));
    side->addWidget(printers_);
    // A choice selects the printer at once, as the list window's list does.
    connect(printers_, &QComboBox::activated, this,
            [this](int) { SelectCurrentPrinter(printers_->currentText()); });

    copiesCaption_ = new QLabel(QStringLiteral("Number of each label to print"), this);
    copies_ = new QSpinBox(this);
    copies_->setRange(1, 99);
    copies_->setValue(1);
    copiesCaption_->setBuddy(copies_);
    side->addWidget(copiesCaption_);
    side->addWidget(copies_);
    copiesCaption_->setVisible(!presort);
    copies_->setVisible(!presort);
    side->addStretch(1);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    ok->setDefault(true); // Enter acts as "Ok", Escape as "Cancel"
    connect(ok, &QPushButton::clicked, this, &TSelectSpecificLabels::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, &TSelectSpecificLabels::HelpClick);
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addWidget(help);
    layout->addLayout(side);
}

int TSelectSpecificLabels::Copies() const {
    return std::max(1, copies_->value());
}

QString TSelectSpecificLabels::PrinterName() const {
    return printers_->currentText();
}

void TSelectSpecificLabels::AllClick() {
    mask_.SetAll(sheet_.PositionCount(), true);
    picture_->update();
}

void TSelectSpecificLabels::NoneClick() {
    mask_.SetAll(sheet_.PositionCount(), false);
    picture_->update();
}

void TSelectSpecificLabels::OKButtonClick() {
    if (!mask_.AnyOn(sheet_.PositionCount())) {
        Inform(QStringLiteral("You must select at least one card to print"));
        return;
    }
    accept();
}

void TSelectSpecificLabels::HelpClick() {
    RequestHelpTopic(HelpTopic::Labels);
}

} // namespace qb

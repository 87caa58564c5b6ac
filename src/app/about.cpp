#include "app/about.h"

#include "app/messages.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef QB_VERSION
#error "QB_VERSION must be defined by the build"
#endif

namespace qb {

QString ProgramVersion() {
    return QStringLiteral(QB_VERSION);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Quillbury"));
    setObjectName(QStringLiteral("About"));

    auto* name = new QLabel(QStringLiteral("Quillbury"), this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);

    auto* purpose = new QLabel(QStringLiteral("Mailing lists, labels, envelopes, letters and "
                                              "reports"),
                               this);
    purpose->setAlignment(Qt::AlignCenter);
    version_ = new QLabel(QStringLiteral("Version ") + ProgramVersion(), this);
    version_->setAlignment(Qt::AlignCenter);
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(purpose);
    layout->addWidget(version_);
    layout->addSpacing(8);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CenterOnScreen(this);
}

void ShowAbout(QWidget* parent) {
    TAboutBox box(parent);
    box.exec();
}

} // namespace qb

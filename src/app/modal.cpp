#include "app/modal.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPushButton>

namespace qb {

namespace {
ModalScript* g_script = nullptr;
}

ModalScript::ModalScript(ModalHook hook) : hook_(std::move(hook)), previous_(g_script) {
    g_script = this;
}

ModalScript::~ModalScript() {
    g_script = previous_;
}

int RunModal(QDialog& dialog) {
    if (g_script) {
        ++g_script->dialogsShown;
        const int result = g_script->hook_(dialog);
        dialog.setResult(result);
        return result;
    }
    // Callers that complete a new object keep its first settings on a cancel.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        dialog.setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return dialog.exec();
}

QDialogButtonBox* DialogButtons(QDialog& dialog, std::function<void()> help) {
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (help) {
        QPushButton* b = buttons->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
        QObject::connect(b, &QPushButton::clicked, &dialog, std::move(help));
    }
    return buttons;
}

} // namespace qb

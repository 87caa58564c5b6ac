#include "app/modal.h"

#include <QDialog>
#include <QGuiApplication>

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

} // namespace qb

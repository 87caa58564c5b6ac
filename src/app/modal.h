// Runs every modal dialog of the program. A test installs a hook that fills in
// and answers each dialog instead of running its event loop, so no test ever
// waits for a user.
#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;

namespace qb {

// Receives the dialog (constructed, not shown) and returns its result code
// (QDialog::Accepted or Rejected); it may call the dialog's slots.
using ModalHook = std::function<int(QDialog&)>;

// Runs `dialog` modally (or through the installed hook) and returns its result.
// Without a screen (the offscreen platform) and without a hook nobody could
// answer it: it is cancelled then instead of waiting for ever.
int RunModal(QDialog& dialog);

// Installs a hook for the lifetime of the object; scripts nest, the newest
// answers.
class ModalScript {
public:
    explicit ModalScript(ModalHook hook);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    int dialogsShown = 0;

private:
    ModalHook hook_;
    ModalScript* previous_;
    friend int RunModal(QDialog&);
};

// The button row of the program's dialogs, owned by `dialog` (the caller lays
// it out): "Ok" (the default, accepts), "Cancel" (rejects) and, when `help`
// is given, "Help", which calls it.
QDialogButtonBox* DialogButtons(QDialog& dialog, std::function<void()> help = {});

} // namespace qb

// "Print Labels": the label list window on the open address file.
#include "app/addressmain.h"
#include "app/modal.h"
#include "app/toolhandover.h"
#include "labels/designscreen.h"
#include "labels/labellistwindow.h"
#include "labels/labelprintpanel.h"
#include "storage/dataset.h"

namespace qb {

void TAddressMain::mnuPrintLabelsClick() {
    if (!Browsing() || !CheckPrinters())
        return;
    RunTool(*this, ToolHandOver::Labels(), [this] {
        TLabelSetupScreen window(TableQBX, this);
        window.ShowModal = [](QDialog& d) { return RunModal(d); };
        if (!window.OpenLabelTable())
            return;
        // "Records matching filter" prints the records of the main window's
        // filter; without one the choice is off.
        if (auto* printing = window.findChild<TLabelPrintPanel*>())
            printing->SetMainFilter(filter_.isSet() ? filter_.engineFilter() : QString());
        // The designer runs through the same modal runner as every other
        // window of the program (unless a caller installed its own).
        TLabelDesignScreen::RunHook previous =
            TLabelDesignScreen::SetRunHook([](TLabelDesignScreen& s) { return RunModal(s); });
        if (previous)
            TLabelDesignScreen::SetRunHook(previous);
        struct Restore {
            TLabelDesignScreen::RunHook hook;
            bool ours;
            ~Restore() {
                if (ours)
                    TLabelDesignScreen::SetRunHook(hook);
            }
        } restore{previous, !previous};
        RunModal(window);
    });
    refreshFields();
}

} // namespace qb

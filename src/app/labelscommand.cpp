// "Print Labels": the label list window on the open address file.
#include "app/addressmain.h"
#include "app/modal.h"
#include "app/toolhandover.h"
#include "labels/labellistwindow.h"
#include "labels/labelprintpanel.h"
#include "storage/dataset.h"

namespace qb {

void TAddressMain::mnuPrintLabelsClick() {
    if (!Browsing() || !CheckPrinters())
        return;
    RunTool(*this, ToolHandOver::Labels(), [this] {
        TLabelSetupScreen window(TableQBX, this);
        if (!window.OpenLabelTable())
            return;
        // "Records matching filter" prints the records of the main window's
        // filter; without one the choice is off.
        if (auto* printing = window.findChild<TLabelPrintPanel*>())
            printing->SetMainFilter(filter_.isSet() ? filter_.engineFilter() : QString());
        RunModal(window);
    });
    refreshFields();
}

} // namespace qb

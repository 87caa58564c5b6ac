#include "printing/printers.h"

#include <QPrinterInfo>

namespace qb {

QString PdfPrinterName() { return QStringLiteral("PDF file"); }

bool IsPdfPrinter(const QString& name) { return name == PdfPrinterName(); }

QStringList AvailablePrinterNames() {
    QStringList names = QPrinterInfo::availablePrinterNames();
    // A system printer that happens to carry our name would be unreachable;
    // the built-in one wins.
    names.removeAll(PdfPrinterName());
    names.append(PdfPrinterName());
    return names;
}

QString DefaultPrinterName() {
    const QString system = QPrinterInfo::defaultPrinterName();
    if (!system.isEmpty() && system != PdfPrinterName())
        return system;
    return PdfPrinterName();
}

} // namespace qb

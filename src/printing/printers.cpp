#include "printing/printers.h"

#include <QPrinterInfo>

namespace qb {

namespace {
struct SharedPrinterSettings {
    QString printer;
    int copies = 1;
    bool collate = true;
    QString pdfFile;
};
SharedPrinterSettings& shared() {
    static SharedPrinterSettings settings;
    return settings;
}
} // namespace

QString PdfPrinterName() {
    return QStringLiteral("PDF file");
}

bool IsPdfPrinter(const QString& name) {
    return name == PdfPrinterName();
}

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

namespace qb {

QString CurrentPrinterName() {
    auto& s = shared();
    if (s.printer.isEmpty())
        s.printer = DefaultPrinterName();
    return s.printer;
}

bool SelectCurrentPrinter(const QString& name) {
    if (!AvailablePrinterNames().contains(name))
        return false;
    shared().printer = name;
    return true;
}

int PrintCopies() {
    return shared().copies;
}
void SetPrintCopies(int copies) {
    shared().copies = copies < 1 ? 1 : copies;
}
bool PrintCollate() {
    return shared().collate;
}
void SetPrintCollate(bool on) {
    shared().collate = on;
}
QString PdfOutputFile() {
    return shared().pdfFile;
}
void SetPdfOutputFile(const QString& path) {
    shared().pdfFile = path;
}

} // namespace qb

// The printers the program can print to: every printer the system knows plus
// a built-in printer that writes PDF files, so that a machine without any
// installed printer can still print (to a file) and a user can always make a PDF.
#pragma once

#include <QString>
#include <QStringList>

namespace qb {

// Name of the built-in PDF-file printer as it appears in printer lists.
QString PdfPrinterName();
// The system's printers followed by the PDF-file printer; never empty.
QStringList AvailablePrinterNames();
// The system's default printer, or the PDF-file printer when there is none.
QString DefaultPrinterName();
// True when `name` is the built-in PDF-file printer.
bool IsPdfPrinter(const QString& name);

} // namespace qb

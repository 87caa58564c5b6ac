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

// The printer settings all print surfaces share: the selected printer, the
// number of copies with collation, and the file the PDF-file printer writes.
// The selected printer starts as the default printer.
QString CurrentPrinterName();
// Selects a printer of AvailablePrinterNames(); false (nothing changes) for
// an unknown name.
bool SelectCurrentPrinter(const QString& name);
int PrintCopies();
void SetPrintCopies(int copies); // at least 1
bool PrintCollate();
void SetPrintCollate(bool on);
// The file the next PDF-file job writes; empty means a new file named after
// the job in the user's documents folder.
QString PdfOutputFile();
void SetPdfOutputFile(const QString& path);

} // namespace qb

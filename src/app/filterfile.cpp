#include "app/filterfile.h"

#include "app/addressfilter.h"
#include "app/messages.h"
#include "app/modal.h"
#include "storage/dataset.h"
#include "storage/settings.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

namespace qb {

namespace {
constexpr int kLines = AddressFilter::CriterionCount;

QString upperSuffix(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toUpper();
}
} // namespace

bool SaveFilterTo(const QString& path, const AddressFilter& filter) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    std::string bytes;
    for (const QString& line : filter.savedLines())
        bytes += ToDisk(line) + "\r\n";
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return f.commit();
}

bool RestoreFilterFrom(const QString& path, AddressFilter& filter) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Inform(QStringLiteral("Unable to read the filter file ") + path +
               QStringLiteral(". The filter was not changed."));
        return false;
    }
    const QByteArray all = f.readAll();
    QStringList lines;
    const QList<QByteArray> raw = all.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        QByteArray line = raw[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == raw.size() - 1 && line.isEmpty())
            break; // nothing after the last line break
        lines << FromDisk(std::string_view(line.constData(), static_cast<size_t>(line.size())));
    }
    if (lines.size() < kLines) {
        Inform(QStringLiteral("The filter file ") + path + QStringLiteral(" holds only ") +
               QString::number(lines.size()) + QStringLiteral(" of the ") +
               QString::number(kLines) +
               QStringLiteral(" lines of a saved filter. The filter was not changed."));
        return false;
    }
    lines = lines.mid(0, kLines);
    return filter.restoreLines(lines);
}

QString FilterSaveName(const QString& chosen) {
    if (upperSuffix(chosen) == QLatin1String(".FLT"))
        return chosen;
    if (QFileInfo(chosen).fileName().contains(QLatin1Char('.'))) {
        Inform(QStringLiteral("Must have a .FLT extension"));
        return QString();
    }
    return chosen + QStringLiteral(".FLT");
}

bool SaveFilterAs(const QString& chosen, const AddressFilter& filter) {
    const QString path = FilterSaveName(chosen);
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path) &&
        !ConfirmDefaultNo(path + QStringLiteral(" already exists.\r\nDo you want to overwrite it?"),
                          QStringLiteral("Warning!")))
        return false;
    if (!SaveFilterTo(path, filter)) {
        Inform(QStringLiteral("Unable to write the filter file ") + path);
        return false;
    }
    return true;
}

bool RestoreFilterFile(const QString& chosen, AddressFilter& filter) {
    if (upperSuffix(chosen) != QLatin1String(".FLT")) {
        Inform(QStringLiteral("Must be a Filter (.FLT) file"));
        return false;
    }
    return RestoreFilterFrom(chosen, filter);
}

QString ChooseFilterSaveName(QWidget* parent, QString& directory) {
    QFileDialog dialog(parent, QString(), directory.isEmpty() ? ProgramDirectory() : directory,
                       QStringLiteral("Filter files (*.FLT)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("FLT"));
    dialog.selectFile(QStringLiteral("*.FLT"));
    // The name checks come afterwards, with their own messages.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    directory = dialog.directory().absolutePath();
    return dialog.selectedFiles().first();
}

QString ChooseFilterRestoreName(QWidget* parent, QString& directory) {
    QFileDialog dialog(parent, QString(), directory.isEmpty() ? ProgramDirectory() : directory,
                       QStringLiteral("Filter Files (*.flt *.FLT)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("FLT"));
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    directory = dialog.directory().absolutePath();
    return dialog.selectedFiles().first();
}

bool CriterionUnquotable(const QString& criterion) {
    return criterion.contains(QLatin1Char('"')) && criterion.contains(QLatin1Char('\'')) &&
           criterion.contains(QLatin1Char(']'));
}

} // namespace qb

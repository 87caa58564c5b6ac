#include "storage/home.h"
#include "storage/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

// The supplied system tables are compiled into the program as resources; a
// static library's resources must be registered explicitly.
static void registerSystemTables() {
    static const bool once = [] {
        Q_INIT_RESOURCE(sysdata);
        return true;
    }();
    (void)once;
}

namespace qb {

namespace {

std::optional<QString>& homeSetting() {
    static std::optional<QString> home;
    return home;
}

QString normalizedDirectory(const QString& dir) {
    QString path = QDir::cleanPath(QDir(dir).absolutePath());
    path = QDir::fromNativeSeparators(path);
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

// The supplied tables, as installed into a new home's sysdata/.
const char* const kSystemFiles[] = {"LBLTPL.DBF", "LBLTPL.CDX", "CSZ.DBF", "CSZ.CDX"};

std::function<void(int)>& helpHandler() {
    static std::function<void(int)> handler;
    return handler;
}

} // namespace

void RequestHelpTopic(int topic) {
    if (helpHandler())
        helpHandler()(topic);
}

std::function<void(int)> SetHelpTopicHandler(std::function<void(int)> handler) {
    std::function<void(int)> previous = std::move(helpHandler());
    helpHandler() = std::move(handler);
    return previous;
}

QString ProgramDirectory() {
    auto& home = homeSetting();
    if (!home) {
        const QStringList args =
            QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
        home = ResolveHomeDirectory(args);
    }
    return *home;
}

void SetProgramDirectory(const QString& dir) {
    homeSetting() = normalizedDirectory(dir);
}

QString ResolveHomeDirectory(const QStringList& args) {
    // The first argument is the program itself.
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--home") && i + 1 < args.size() && !args[i + 1].isEmpty())
            return normalizedDirectory(args[i + 1]);
        if (arg.startsWith(QLatin1String("--home=")) && arg.size() > 7)
            return normalizedDirectory(arg.mid(7));
    }
    const QString env = qEnvironmentVariable("QUILLBURY_HOME");
    if (!env.isEmpty())
        return normalizedDirectory(env);
    // A relative XDG_DATA_HOME is invalid and ignored, like an unset one.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return normalizedDirectory(data + QStringLiteral("/quillbury"));
}

QString IniFileName() {
    return ProgramDirectory() + QStringLiteral("QUILLB.ini");
}

QString findFileCaseInsensitive(const QString& dir, const QString& name) {
    QString current = QDir::fromNativeSeparators(dir);
    if (current.isEmpty())
        current = QStringLiteral(".");
    // Names stored by the Windows program may use backslashes.
    QString relative = name;
    relative.replace('\\', '/');
    const QStringList parts = relative.split('/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    for (const QString& part : parts) {
        const QDir d(current);
        QString match;
        if (QFileInfo::exists(d.filePath(part))) {
            match = part;
        } else {
            const QStringList entries = d.entryList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    match = entry;
                    break;
                }
            }
        }
        if (match.isEmpty())
            return QString();
        current = d.filePath(match);
    }
    return current;
}

void EnsureHomeLayout() {
    const QString home = ProgramDirectory();
    QDir().mkpath(home);
    if (findFileCaseInsensitive(home, QStringLiteral("DATA")).isEmpty())
        QDir(home).mkdir(QStringLiteral("DATA"));
    if (!findFileCaseInsensitive(home, QStringLiteral("sysdata")).isEmpty())
        return; // an existing home keeps what it has, even a removed table
    if (!QDir(home).mkdir(QStringLiteral("sysdata")))
        return;
    registerSystemTables();
    const QString target = home + QStringLiteral("sysdata/");
    for (const char* name : kSystemFiles) {
        const QString source = QStringLiteral(":/sysdata/") + QLatin1String(name);
        const QString dest = target + QLatin1String(name);
        if (QFile::copy(source, dest)) {
            // Resource files come out read-only; the tables must be writable.
            QFile::setPermissions(dest,
                                  QFile::permissions(dest) | QFile::WriteOwner | QFile::ReadOwner);
        }
    }
}

} // namespace qb

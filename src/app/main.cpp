// quillbury [--home DIR] [--help] [--version] [COMMAND ...]
#include "app/about.h"
#include "app/addressmain.h"
#include "app/cli.h"
#include "app/messages.h"
#include "storage/settings.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: quillbury [--home DIR] [--help] [--version]\n"
    "       quillbury [--home DIR] COMMAND [OPTIONS]   (the commands are below)\n"
    "\n"
    "Quillbury keeps mailing lists and prints labels, envelopes, letters and\n"
    "reports from them.\n"
    "\n"
    "  --home DIR   keep the address files (DATA/), the system tables (sysdata/)\n"
    "               and the settings (QUILLB.ini) in DIR. Without it the\n"
    "               directory named by QUILLBURY_HOME is used, else\n"
    "               $XDG_DATA_HOME/quillbury (~/.local/share/quillbury).\n"
    "  --help       show this text\n"
    "  --version    show the program's version\n"
    "\n";

const char* const kNoDisplay =
    "Quillbury is a windowed program and no display is available here.\n"
    "Run it on a desktop, or under a virtual display, for example:\n"
    "    xvfb-run -a quillbury [--home DIR]\n";

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // The program itself first, then its arguments.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // A command (such as print-labels) runs without the window.
    if (!qb::CommandOf(args).isEmpty())
        return qb::RunCommandLine(argc, argv, args);
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            std::fputs(qb::CommandUsage(), stdout);
            return 0;
        }
        if (a == QLatin1String("--version")) {
            std::printf("Quillbury %s\n", qPrintable(qb::ProgramVersion()));
            return 0;
        }
        if (a == QLatin1String("--home")) {
            if (i + 1 >= args.size()) {
                std::fputs("quillbury: --home needs a directory\n\n", stderr);
                std::fputs(kUsage, stderr);
                return 2;
            }
            ++i;
        } else if (!a.startsWith(QLatin1String("--home="))) {
            std::fprintf(stderr, "quillbury: unknown argument '%s'\n\n", qPrintable(a));
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!HasDisplay()) {
        std::fputs(kNoDisplay, stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbury"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillbury"));
    QApplication::setApplicationVersion(qb::ProgramVersion());
    QApplication::setOverrideCursor(Qt::WaitCursor);

    qb::SetProgramDirectory(qb::ResolveHomeDirectory(args));
    qb::EnsureHomeLayout();

    qb::TAddressMain window;
    qb::CenterOnScreen(&window);
    QApplication::restoreOverrideCursor();
    window.show();
    return app.exec();
}

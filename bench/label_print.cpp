// Prints demo labels to a PDF through the command line, as a batch user
// would: a fictional address file from qbgen, the demo label (30-up letter
// stock, address block and POSTNET bar code), then
//   quillbury --home H print-labels --label "Demo Address Labels" --pdf OUT
// for each record count. Reports wall time, the child's peak resident memory
// and the PDF's size and page count. Pages stream to the file, so the peak
// should stay flat as the count grows.
//
//   bench_label_print [COUNT ...]        (default: 10000 100000)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    double seconds = 0;
    long peakKb = 0;
};

// Runs a program to its end with stdout and stderr going where ours go.
Outcome Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(args[0], args.data());
        std::perror(args[0]);
        _exit(127);
    }
    Outcome o;
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.peakKb = usage.ru_maxrss;
    }
    o.seconds = clock.nsecsElapsed() / 1e9;
    return o;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::stol(argv[i]));
    if (counts.empty())
        counts = {10000, 100000};

    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a scratch directory\n");
        return 1;
    }
    const std::string h = home.path().toStdString();
    const std::string quillbury = QB_QUILLBURY;
    const std::string qbgen = QB_QBGEN;
    QDir(home.path()).mkpath(QStringLiteral("DATA"));
    if (Run({quillbury, "--home", h, "add-demo-label"}).status != 0)
        return 1;

    std::printf("%10s %10s %12s %12s %8s\n", "labels", "wall s", "peak RSS MB", "PDF MB", "pages");
    for (long n : counts) {
        const std::string dbf = h + "/DATA/BENCH" + std::to_string(n) + ".DBF";
        const std::string pdf = h + "/labels" + std::to_string(n) + ".pdf";
        if (Run({qbgen, dbf, "--records", std::to_string(n), "--seed", "7", "--force"}).status != 0)
            return 1;
        const Outcome o = Run({quillbury, "--home", h, "print-labels", "--label",
                               "Demo Address Labels", "--file", dbf, "--pdf", pdf});
        if (o.status != 0) {
            std::fprintf(stderr, "print-labels failed (%d)\n", o.status);
            return 1;
        }
        const double mb = QFileInfo(QString::fromStdString(pdf)).size() / 1048576.0;
        std::printf("%10ld %10.2f %12.1f %12.1f %8ld\n", n, o.seconds, o.peakKb / 1024.0, mb,
                    (n + 29) / 30);
        std::fflush(stdout);
        QFile::remove(QString::fromStdString(pdf));
    }
    return 0;
}

// GoogleTest entry point for program tests: a QApplication exists for the
// whole run (offscreen), so tests may build widgets and fonts.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void DefaultEnv(const char* name, const char* value) {
    if (qEnvironmentVariableIsEmpty(name))
        qputenv(name, QByteArray(value));
}
} // namespace

int main(int argc, char** argv) {
#ifdef QB_TEST_BINARY_DIR
    DefaultEnv("QB_SHARED_DIR", QB_TEST_SHARED_DIR);
    DefaultEnv("QB_SOURCE_DIR", QB_TEST_SOURCE_DIR);
    DefaultEnv("QB_BINARY_DIR", QB_TEST_BINARY_DIR);
#endif
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    // Every test program gets a program home of its own: tests never touch a
    // user's home, and test programs running side by side do not share the
    // home's scratch files (the label clipboard file, for one).
    QTemporaryDir home;
    if (home.isValid())
        qputenv("QUILLBURY_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

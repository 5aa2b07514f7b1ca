// Every test program runs with a real Qt application object: a QApplication
// on the offscreen platform where widgets are tested (log windows and menus
// are real widgets without a display), a QCoreApplication for the core.
#if defined(VELDRIN_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Line by line even into ctest's pipe, so that a test killed for taking
    // too long still shows how far it got.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without one, Qt (here and in the veldrin programs the tests start) makes
    // a runtime folder of its own and says so on stderr.
    const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // Everything a test writes goes below its own temporary HOME.
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qunsetenv(name);
    TestApplication app(argc, argv);
    TestApplication::setOrganizationName(QStringLiteral("Veldrin"));
    TestApplication::setApplicationName(QStringLiteral("Veldrin"));
#if defined(VELDRIN_TEST_WIDGETS)
    QApplication::setQuitOnLastWindowClosed(false);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// main() of a test program that drives the whole application: the settings
// in a file of a temporary folder (command lines the test starts read the
// same when they inherit the environment), no logo window, then the Qt Test
// object run inside the started application.
#pragma once
#include <QTemporaryDir>
#include <QtTest>

#include "shell/app/app_qt.h"

namespace apptest {

// beforeStart(folder) runs before the application starts, with the
// temporary folder that holds the settings (a test backend's configuration
// may go beside them).
template <class Test, class BeforeStart>
int RunInApplication(int argc, char** argv, BeforeStart beforeStart) {
    QTemporaryDir settings;
    qputenv("STITCHARA_INI", settings.filePath(QStringLiteral("stitchara.ini")).toUtf8());
    beforeStart(settings);
    CVandrelApp app(argc, argv);
    CVandrelApp::StartOptions options;
    options.showLogo = false;
    if (!app.InitInstance(options)) return 1;
    Test test;
    return QTest::qExec(&test, argc, argv);
}

template <class Test>
int RunInApplication(int argc, char** argv) {
    return RunInApplication<Test>(argc, argv, [](const QTemporaryDir&) {});
}

}  // namespace apptest

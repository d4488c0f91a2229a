// What the stitch tests that run the whole application share: the sample
// pair, the command line's picture for the same choices, and a main() that
// starts the application with its own settings file and runs a test object
// inside it.
#pragma once
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QAbstractButton>
#include <QMdiArea>
#include <QTabWidget>
#include <QtTest>

#include "display/mouse_tool_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "stitch/stitch_sheet_qt.h"

namespace stitchapptest {

inline QString Sample(const char* name) {
    return qEnvironmentVariable("STITCHARA_SOURCE_DIR") + "/samples/" + name;
}

// A sample picture read as the stitch sheet's pages take it.
inline std::unique_ptr<CPicture> LoadSample(const char* name) {
    return ReadImageFile(Sample(name).toStdString(), false);
}

// The stitch sheet opened with the sample pair on its image pages and the
// method chosen, on the Stitch Image page.
inline CStitchSheet* SheetWithSamples(int method) {
    theApp()->OnCommand(ID_STITCH);
    CStitchSheet* sheet = CurrentStitchSheet();
    sheet->page(0)->TakePicture(LoadSample("left.png"));
    sheet->page(1)->TakePicture(LoadSample("right.png"));
    sheet->tabs()->setCurrentIndex(2);
    sheet->stitchImage()->methodButton(method)->click();
    return sheet;
}

// Back to an idle application between test functions: no sheet, the
// default tool, every document window closed without asking.
inline void CloseSheetAndDocuments() {
    if (CStitchSheet* sheet = CurrentStitchSheet()) sheet->Destroy();
    SelectTool(nullptr, ID_TOOL_DEFAULT);
    QTRY_COMPARE(theApp()->stitchIdle, 1);
    for (Document* doc : theApp()->documents()) doc->setModified(false);
    theApp()->mainWindow()->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(theApp()->documents().isEmpty());
}

inline QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString CommandLineTool() { return qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/bin/stitchara-cli"; }

// stitchara-cli's stitch of the sample pair with these options, written to
// out; the bytes it wrote (empty when it failed, and it says why).
inline QByteArray CommandLineStitch(const QStringList& options, const QString& out) {
    QFile::remove(out);
    QProcess cli;
    cli.start(CommandLineTool(),
              QStringList{QStringLiteral("stitch"), Sample("left.png"), Sample("right.png"),
                          QStringLiteral("-o"), out, QStringLiteral("--quiet")} +
                  options);
    cli.waitForFinished(120000);
    if (cli.exitCode() != 0) qWarning() << cli.readAllStandardError();
    return Bytes(out);
}

// The test program's main(): settings in a temporary file (the command line
// started from the test reads the same), no logo window. Outside ctest the
// two directories are not set: it says so rather than fail every flow on an
// empty sheet.
template <class Test>
int RunInApplication(int argc, char** argv) {
    if (!QFile::exists(Sample("left.png")) || !QFile::exists(Sample("right.png")) ||
        !QFile::exists(CommandLineTool())) {
        qCritical("The sample pair or stitchara-cli is not found: set STITCHARA_SOURCE_DIR and "
                  "STITCHARA_BUILD_DIR (ctest does).");
        return 1;
    }
    return apptest::RunInApplication<Test>(argc, argv);
}

}  // namespace stitchapptest

// The stitchara program: the application on Qt Widgets, with the embedding
// service a container starts it for.
#include "platform/temporary_files.h"
#include "shell/app/app_qt.h"
#include "shell/app/translation_qt.h"
#include "shell/embed/embed_server_qt.h"

int main(int argc, char** argv) {
    // Swap files and save temporaries that a killed process left go first.
    platform::RemoveLeftTemporaries();
    CVandrelApp app(argc, argv);
    app.setEmbeddingService(&StartEmbeddingServer);
    // The user's language (LC_ALL, LC_MESSAGES, LANG); English without a
    // translation for it.
    InstallTranslation(app, QLocale::system(), TranslationDirectories());
    if (!app.InitInstance(CVandrelApp::ParseCommandLine(app.arguments()))) return 1;
    return app.exec();
}

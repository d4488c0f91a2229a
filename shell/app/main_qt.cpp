// The stitchara program: the application on Qt Widgets.
#include "shell/app/app_qt.h"

int main(int argc, char** argv) {
    CVandrelApp app(argc, argv);
    if (!app.InitInstance(CVandrelApp::ParseCommandLine(app.arguments()))) return 1;
    return app.exec();
}

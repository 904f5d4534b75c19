#include "MonitorApp.h"

int main(int argc, char** argv) {
    talvane::MonitorApp app(argc, argv);
    return app.InitInstance();
}

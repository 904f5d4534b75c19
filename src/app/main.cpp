#include "MonitorApp.h"

int main(int argc, char** argv) {
    MonitorApp app(argc, argv);
    return app.InitInstance();
}

#include "COrviApp.h"

int main(int argc, char** argv) {
    COrviApp app(argc, argv);
    if (!app.InitInstance()) return 0;
    return app.Run();
}

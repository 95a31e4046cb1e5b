#include "app/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // The command line is fetched whole, program path included, because its
    // arguments are read from the first one on.
    if (!StartApplication(instance, show, GetCommandLineW()))
        return 0;
    return RunMessageLoop();
}

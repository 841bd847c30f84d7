/* viewer_main.cpp - the viewer's entry point: the start-up sequence in order.
 * Defines wWinMain.
 */
#include "viewer.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showMode)
{
    (void)previous;
    (void)commandLine;   /* the viewer takes no arguments */
    g_viewer.instance = instance;
    if (!BindDirectoryLibrary())
        return 1;
    CreateMainWindow(showMode);
    OpenDefaultDatabase();
    return RunMessageLoop();
}

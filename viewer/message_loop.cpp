/* message_loop.cpp - the viewer's message loop: accelerators first, then the usual translation
 * and dispatch; no dialog-style keyboard handling. Defines RunMessageLoop.
 */
#include "viewer.h"

int RunMessageLoop(void)
{
    HACCEL accelerators = LoadAcceleratorsW(g_viewer.instance, MAKEINTRESOURCEW(IDA_VELKOR));
    MSG message;
    /* GetMessageW gives -1 on an error: that ends the loop too, rather than spinning. */
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        /* The command goes to the window the keystroke was for: whichever has the focus. */
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return message.message == WM_QUIT ? (int)message.wParam : 1;
}

/* message_boxes.cpp - the two ways the viewer speaks to the user: a plain box, and one with the
 * system's text for an error code. Defines ShowMessage and ShowSystemError.
 */
#include "viewer.h"

/* A modal box with an OK button and no icon; a null caption leaves the system's default. */
void ShowMessage(HWND owner, const WCHAR *text, const WCHAR *caption)
{
    MessageBoxW(owner, text, caption, MB_OK);
}

/* The system's own wording for code, in an ownerless box with the default caption. The text is
 * allocated by the system and freed as soon as the box is closed. */
void ShowSystemError(DWORD code)
{
    WCHAR *text = NULL;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    FormatMessageW(flags, NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (WCHAR *)&text, 0, NULL);
    ShowMessage(NULL, text != NULL ? text : L"", NULL);
    LocalFree(text);
}

// velkor_driver.h - drives the built velkor.exe from another process: a scratch folder to run it in,
// its windows and message boxes found by process, its controls read and pressed.
#ifndef SUPPORT_VELKOR_DRIVER_H
#define SUPPORT_VELKOR_DRIVER_H

#include <windows.h>

#include "windows_text.h"

#include <string>
#include <vector>

// A modal dialog of the viewer's process as the driver found it.
struct ForeignBox {
    HWND window = NULL;
    std::wstring text;      // the message (static 0xFFFF)
    std::wstring caption;
    HWND owner = NULL;
};

// The viewer's controls as found among its main window's children.
struct ViewerControls {
    HWND main = NULL, list = NULL, load = NULL, search = NULL, exit = NULL;
    std::vector<HWND> edits;   // left to right, which is record order
};

struct ViewerRun {
    PROCESS_INFORMATION process = {};
    std::wstring folder;
};

// The folder this program and the built velkor.exe and Dialbook.dll live in.
std::wstring BuildFolder();
// An empty scratch folder named name under the working directory, holding a copy of velkor.exe and,
// when withLibrary, of Dialbook.dll.
std::wstring MakeScratchFolder(const std::wstring &name, bool withLibrary);
// Writes lines (UTF-8 fields joined by FIELD_SEPARATOR) to path as Windows-1251 with CR LF.
void WriteDatabase(const std::wstring &path, const std::vector<std::string> &lines);

// Starts folder\velkor.exe with folder as its working directory.
bool StartViewer(const std::wstring &folder, ViewerRun *run);
// The exit code, or -1 when it does not end within timeoutMs (the process is then killed).
int WaitForExit(ViewerRun *run, DWORD timeoutMs = 15000);
void KillViewer(ViewerRun *run);

HWND WaitForMainWindow(const ViewerRun &run, DWORD timeoutMs = 15000);
// True and the box when a dialog of the process shows up within timeoutMs.
bool WaitForBox(const ViewerRun &run, ForeignBox *box, DWORD timeoutMs = 15000);
// Presses the box's OK and waits until it has gone.
void AnswerBox(const ForeignBox &box);
bool AnyDialogOf(const ViewerRun &run);

// What to do with an open-file dialog: cancel it, or type fileName into it and confirm.
struct DialogScript {
    bool cancel = true;
    std::wstring fileName;
};

// Presses button and waits until the viewer has handled the press, answering each message box with OK
// (and an open-file dialog as script says); gives the message boxes in the order they came.
std::vector<ForeignBox> PressAndAnswer(const ViewerRun &run, HWND button, const DialogScript &script = DialogScript());
// Types fields (UTF-8; missing ones empty) into the form, presses "Поиск" and answers what comes.
std::vector<ForeignBox> SearchFor(const ViewerRun &run, const ViewerControls &controls,
                                  const std::vector<std::string> &fields);

ViewerControls FindControls(HWND main);
std::wstring WindowText(HWND window);
void Press(HWND button);
void SetText(HWND control, const std::wstring &text);
// True once the control shows text, false after timeoutMs.
bool WaitForText(HWND control, const std::wstring &text, DWORD timeoutMs = 5000);
// Holds or releases Alt in the keyboard state the viewer's thread sees (shared with this thread).
void HoldAlt(const ViewerRun &run, bool down);
// Blocks until the viewer's thread is free again, then gives the list's row count.
int RowCount(HWND list);
std::vector<std::vector<std::wstring>> ReadRows(const ViewerRun &run, HWND list);
std::vector<std::wstring> ReadColumnTitles(const ViewerRun &run, HWND list);

#endif // SUPPORT_VELKOR_DRIVER_H

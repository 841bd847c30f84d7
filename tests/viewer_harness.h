// viewer_harness.h - shared helpers of the viewer's in-process tests: the message-box catcher,
// a scripted fake directory library, records from UTF-8 text, and a fresh main window per test.
#ifndef VIEWER_HARNESS_H
#define VIEWER_HARNESS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer.h"
#include "windows_text.h"

// One modal dialog as the catcher saw it on activation, before it dismissed it.
struct CaughtBox {
    std::wstring text;                  // the message (static 0xFFFF); empty for other dialogs
    std::wstring caption;
    HWND owner = NULL;
    std::vector<int> buttons;           // visible push buttons' identifiers
    bool hasIcon = false;
    bool isMessageBox = false;
};

// What the catcher does with an open-file dialog: cancel it, or type fileName and confirm.
struct FileDialogAnswer {
    bool cancel = true;
    std::wstring fileName;
};

// Installs the CBT hook on this thread; every message box is recorded and answered OK.
void StartCatchingBoxes();
void StopCatchingBoxes();
std::vector<CaughtBox> &CaughtBoxes();
void SetFileDialogAnswer(const FileDialogAnswer &answer);
// Windows of this class fail to be created while the catcher runs (empty: none).
void BlockWindowClass(const std::wstring &className);
// Makes caught boxes be written to stderr as "box: <text>" in UTF-8 (for tests in a child process).
void EchoCaughtBoxes(bool echo);

// A record from eight UTF-8 fields, each cut to its width like the library's own records.
DirectoryRecord MakeRecord(const std::vector<std::string> &fields);

// The scripted library: what it answers and what it was asked.
struct FakeLibrary {
    int openResult = 1;                         // OpenDatabase's answer
    int openCount = 0;                          // written through the count pointer
    std::vector<DirectoryRecord> matches;       // SearchInDatabase returns these in order
    size_t next = 0;                            // index of the next match to return
    std::vector<std::string> calls;             // "open", "close", "reset", "search" in call order
    std::vector<std::wstring> openedPaths;
    std::vector<DirectoryRecord> keys;          // the key of every key call
    std::vector<int> filled;                    // the count of every key call
};
FakeLibrary &Fake();
// Resets the fake and binds its entry points in g_viewer.
void BindFakeLibrary();

// Messages waiting in this thread's queue are dispatched; 1 and *code when a quit message was among them.
bool PumpMessages(int *quitCode = nullptr);

// A zeroed viewer state, the fake library bound, boxes caught, and a shown main window.
class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The texts of every cell of the result list, row by row.
std::vector<std::vector<std::wstring>> ResultRows();
void TypeInto(int field, const std::wstring &text);

#endif // VIEWER_HARNESS_H

// viewer_harness.cpp - the message-box catcher, the fake library and the window fixture.
#include "viewer_harness.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <set>

namespace {

struct Catcher {
    HHOOK hook = NULL;
    std::vector<CaughtBox> boxes;
    std::set<HWND> handled;
    FileDialogAnswer fileAnswer;
    std::wstring blockedClass;
    bool echo = false;
};
Catcher catcher;
FakeLibrary fake;

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {0};
    GetWindowTextW(window, text, 1024);
    return text;
}

BOOL CALLBACK CollectControl(HWND child, LPARAM data)
{
    CaughtBox *box = reinterpret_cast<CaughtBox *>(data);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    std::wstring cls = ClassName(child);
    if (_wcsicmp(cls.c_str(), L"Button") == 0 && (style & WS_VISIBLE) && (style & 0x0F) <= BS_DEFPUSHBUTTON)
        box->buttons.push_back(GetDlgCtrlID(child));
    // The box always has its icon control; a box without an icon leaves it empty.
    if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0)
        box->hasIcon = true;
    return TRUE;
}

// Fills the file dialog's name box (an edit, or the edit of a combo box) and confirms it.
void AnswerFileDialog(HWND dialog)
{
    if (catcher.fileAnswer.cancel) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    HWND name = GetDlgItem(dialog, 0x47c);            // cmb13, the explorer dialog's name box
    if (name == NULL)
        name = GetDlgItem(dialog, 0x480);             // edt1, the older dialog's
    SetWindowTextW(name, catcher.fileAnswer.fileName.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK CatchBoxes(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_CREATEWND && !catcher.blockedClass.empty()) {
        CBT_CREATEWNDW *create = reinterpret_cast<CBT_CREATEWNDW *>(lparam);
        const wchar_t *cls = create->lpcs->lpszClass;
        if (!IS_INTRESOURCE(cls) && _wcsicmp(cls, catcher.blockedClass.c_str()) == 0)
            return 1;
    }
    if (code == HCBT_ACTIVATE) {
        HWND dialog = reinterpret_cast<HWND>(wparam);
        if (ClassName(dialog) == L"#32770" && catcher.handled.insert(dialog).second) {
            CaughtBox box;
            box.caption = TextOf(dialog);
            box.owner = GetWindow(dialog, GW_OWNER);
            HWND message = GetDlgItem(dialog, 0xFFFF);
            box.isMessageBox = message != NULL;
            if (box.isMessageBox)
                box.text = TextOf(message);
            EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&box));
            if (catcher.echo)
                fprintf(stderr, "box: %s\n", Utf8FromWide(box.text).c_str());
            catcher.boxes.push_back(box);
            if (box.isMessageBox)
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            else
                AnswerFileDialog(dialog);
        }
    }
    return CallNextHookEx(catcher.hook, code, wparam, lparam);
}

int DIRECTORY_CALL FakeOpen(const DirectoryPathChar *path, int *count)
{
    fake.calls.push_back("open");
    fake.openedPaths.push_back(path);
    fake.next = 0;
    if (fake.openResult)
        *count = fake.openCount;
    return fake.openResult;
}

void DIRECTORY_CALL FakeClose(void)
{
    fake.calls.push_back("close");
}

int DIRECTORY_CALL FakeSearch(DirectoryRecord *result, const DirectoryRecord *key, int filled)
{
    if (result == NULL && key == NULL && filled == 0) {
        fake.calls.push_back("reset");
        fake.next = 0;
        return 0;
    }
    fake.calls.push_back("search");
    fake.keys.push_back(*key);
    fake.filled.push_back(filled);
    if (fake.next >= fake.matches.size())
        return 0;
    *result = fake.matches[fake.next++];
    return 1;
}

void DIRECTORY_CALL FakeFill(DirectoryRecord *, const char *, const char *, const char *, const char *, const char *,
                             const char *, const char *, const char *)
{
    fake.calls.push_back("fill");
}

} // namespace

void StartCatchingBoxes()
{
    catcher = Catcher();
    catcher.hook = SetWindowsHookExW(WH_CBT, CatchBoxes, NULL, GetCurrentThreadId());
}

void StopCatchingBoxes()
{
    if (catcher.hook != NULL)
        UnhookWindowsHookEx(catcher.hook);
    catcher.hook = NULL;
}

std::vector<CaughtBox> &CaughtBoxes() { return catcher.boxes; }
void SetFileDialogAnswer(const FileDialogAnswer &answer) { catcher.fileAnswer = answer; }
void BlockWindowClass(const std::wstring &className) { catcher.blockedClass = className; }
void EchoCaughtBoxes(bool echo) { catcher.echo = echo; }

DirectoryRecord MakeRecord(const std::vector<std::string> &fields)
{
    DirectoryRecord record;
    memset(&record, 0, sizeof record);
    for (size_t i = 0; i < fields.size() && i < RECORD_FIELDS; i++) {
        std::string bytes = Cp1251FromUtf8(fields[i]);
        char *field = reinterpret_cast<char *>(&record) + kFieldSpecs[i].offset;
        strncpy(field, bytes.c_str(), kFieldSpecs[i].longest);
    }
    return record;
}

FakeLibrary &Fake() { return fake; }

void BindFakeLibrary()
{
    fake = FakeLibrary();
    g_viewer.openDatabase = FakeOpen;
    g_viewer.closeDatabase = FakeClose;
    g_viewer.searchInDatabase = FakeSearch;
    g_viewer.fillDatabaseRecord = FakeFill;
}

bool PumpMessages(int *quitCode)
{
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            if (quitCode != nullptr)
                *quitCode = static_cast<int>(message.wParam);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

void ViewerWindowTest::SetUp()
{
    memset(&g_viewer, 0, sizeof g_viewer);
    g_viewer.instance = GetModuleHandleW(NULL);
    BindFakeLibrary();
    StartCatchingBoxes();
    CreateMainWindow(SW_SHOWNOACTIVATE);
    PumpMessages();
}

void ViewerWindowTest::TearDown()
{
    if (IsWindow(g_viewer.mainWindow))
        DestroyWindow(g_viewer.mainWindow);
    PumpMessages();
    StopCatchingBoxes();
}

std::vector<std::vector<std::wstring>> ResultRows()
{
    std::vector<std::vector<std::wstring>> rows;
    int count = static_cast<int>(SendMessageW(g_viewer.resultList, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < count; r++) {
        std::vector<std::wstring> row;
        for (int c = 0; c < RECORD_FIELDS; c++) {
            wchar_t text[256] = {0};
            LVITEMW item = {};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = 256;
            SendMessageW(g_viewer.resultList, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

void TypeInto(int field, const std::wstring &text)
{
    SetWindowTextW(g_viewer.edits[field], text.c_str());
}

// velkor_driver.cpp - the end-to-end driver's helpers: scratch folders, processes, windows of another process.
#include "velkor_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "record_fields.h"

namespace {

struct Search {
    DWORD pid;
    const wchar_t *cls;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data)
{
    Search *search = reinterpret_cast<Search *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {0};
    GetClassNameW(window, cls, 64);
    if (pid == search->pid && wcscmp(cls, search->cls) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(const ViewerRun &run, const wchar_t *cls)
{
    Search search = { run.process.dwProcessId, cls, NULL };
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM data)
{
    reinterpret_cast<std::vector<HWND> *>(data)->push_back(child);
    return TRUE;
}

// A buffer inside the viewer's process, for list messages whose pointers the system does not carry over.
struct RemoteBuffer {
    HANDLE process;
    char *address;
    RemoteBuffer(const ViewerRun &run, size_t bytes) : process(run.process.hProcess)
    {
        address = static_cast<char *>(VirtualAllocEx(process, NULL, bytes, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() { VirtualFreeEx(process, address, 0, MEM_RELEASE); }
    void Write(size_t offset, const void *data, size_t bytes)
    {
        WriteProcessMemory(process, address + offset, data, bytes, NULL);
    }
    void Read(size_t offset, void *data, size_t bytes) { ReadProcessMemory(process, address + offset, data, bytes, NULL); }
};

const size_t TEXT_CHARS = 256;

} // namespace

std::wstring BuildFolder()
{
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::wstring MakeScratchFolder(const std::wstring &name, bool withLibrary)
{
    wchar_t cwd[MAX_PATH] = {0};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    std::wstring root = std::wstring(cwd) + L"\\velkor-scratch";
    std::wstring folder = root + L"\\" + name;
    CreateDirectoryW(root.c_str(), NULL);
    CreateDirectoryW(folder.c_str(), NULL);
    WIN32_FIND_DATAW found;
    HANDLE walk = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (walk != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(walk, &found));
        FindClose(walk);
    }
    CopyFileW((BuildFolder() + L"\\velkor.exe").c_str(), (folder + L"\\velkor.exe").c_str(), FALSE);
    if (withLibrary)
        CopyFileW((BuildFolder() + L"\\Dialbook.dll").c_str(), (folder + L"\\Dialbook.dll").c_str(), FALSE);
    return folder;
}

void WriteDatabase(const std::wstring &path, const std::vector<std::string> &lines)
{
    std::string bytes;
    for (const std::string &line : lines)
        bytes += Cp1251FromUtf8(line) + "\r\n";
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool StartViewer(const std::wstring &folder, ViewerRun *run)
{
    std::wstring program = folder + L"\\velkor.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    run->folder = folder;
    return CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup,
                          &run->process) != 0;
}

int WaitForExit(ViewerRun *run, DWORD timeoutMs)
{
    if (run->process.hProcess == NULL)
        return -1;
    if (WaitForSingleObject(run->process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        KillViewer(run);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(run->process.hProcess, &code);
    CloseHandle(run->process.hProcess);
    CloseHandle(run->process.hThread);
    run->process = PROCESS_INFORMATION();
    return static_cast<int>(code);
}

void KillViewer(ViewerRun *run)
{
    if (run->process.hProcess == NULL)
        return;
    TerminateProcess(run->process.hProcess, 99);
    WaitForSingleObject(run->process.hProcess, 5000);
    CloseHandle(run->process.hProcess);
    CloseHandle(run->process.hThread);
    run->process = PROCESS_INFORMATION();
}

HWND WaitForMainWindow(const ViewerRun &run, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        HWND main = FindWindowOf(run, L"VELKOR");
        if (main != NULL)
            return main;
        if (WaitForSingleObject(run.process.hProcess, 20) == WAIT_OBJECT_0)
            return NULL;
    }
    return NULL;
}

bool AnyDialogOf(const ViewerRun &run)
{
    return FindWindowOf(run, L"#32770") != NULL;
}

bool WaitForBox(const ViewerRun &run, ForeignBox *box, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        HWND dialog = FindWindowOf(run, L"#32770");
        if (dialog != NULL) {
            Sleep(50);   // let the dialog finish setting itself up
            box->window = dialog;
            box->caption = WindowText(dialog);
            HWND message = GetDlgItem(dialog, 0xFFFF);
            box->text = message != NULL ? WindowText(message) : L"";
            box->owner = GetWindow(dialog, GW_OWNER);
            return true;
        }
        if (WaitForSingleObject(run.process.hProcess, 20) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

void AnswerBox(const ForeignBox &box)
{
    HWND ok = GetDlgItem(box.window, IDOK);
    if (ok != NULL)
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box.window, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && IsWindow(box.window); i++)
        Sleep(10);
}

namespace {

// The file dialog's name box: the combo box of the explorer-style dialog, or the older dialog's edit.
void AnswerFileDialog(HWND dialog, const DialogScript &script)
{
    if (script.cancel) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    HWND name = NULL;
    for (int i = 0; i < 200 && name == NULL; i++) {   // the dialog may still be building its controls
        name = GetDlgItem(dialog, 0x47c);
        if (name == NULL)
            name = GetDlgItem(dialog, 0x480);
        if (name == NULL)
            Sleep(10);
    }
    SetText(name, script.fileName);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

} // namespace

std::vector<ForeignBox> PressAndAnswer(const ViewerRun &run, HWND button, const DialogScript &script)
{
    // The press is sent, not posted, so its return says the viewer has finished with it; meanwhile
    // this thread answers the boxes the press brings up.
    std::atomic<bool> done(false);
    std::thread presser([&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 120000, &result);
        done = true;
    });
    std::vector<ForeignBox> boxes;
    while (!done) {
        ForeignBox box;
        if (WaitForBox(run, &box, 20)) {
            if (GetDlgItem(box.window, 0xFFFF) != NULL) {
                boxes.push_back(box);
                AnswerBox(box);
            } else {
                AnswerFileDialog(box.window, script);
                for (int i = 0; i < 500 && IsWindow(box.window); i++)
                    Sleep(10);
            }
        }
    }
    presser.join();
    return boxes;
}

std::vector<ForeignBox> SearchFor(const ViewerRun &run, const ViewerControls &controls,
                                  const std::vector<std::string> &fields)
{
    for (size_t i = 0; i < controls.edits.size(); i++)
        SetText(controls.edits[i], i < fields.size() ? WideFromUtf8(fields[i]) : L"");
    return PressAndAnswer(run, controls.search);
}

ViewerControls FindControls(HWND main)
{
    ViewerControls controls;
    controls.main = main;
    std::vector<HWND> children;
    EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (GetParent(child) != main)
            continue;   // the list's own header
        std::wstring cls = ClassName(child), text = WindowText(child);
        if (cls == L"SysListView32")
            controls.list = child;
        else if (cls == L"Edit")
            controls.edits.push_back(child);
        else if (text == WideFromUtf8("Загрузить базу"))
            controls.load = child;
        else if (text == WideFromUtf8("Поиск"))
            controls.search = child;
        else if (text == WideFromUtf8("Выход"))
            controls.exit = child;
    }
    std::sort(controls.edits.begin(), controls.edits.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return controls;
}

// Asked of the control itself: GetWindowTextW gives only the creation text of another process's controls.
std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {0};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &copied);
    return text;
}

void Press(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

void SetText(HWND control, const std::wstring &text)
{
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool WaitForText(HWND control, const std::wstring &text, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        if (WindowText(control) == text)
            return true;
        Sleep(10);
    }
    return false;
}

void HoldAlt(const ViewerRun &run, bool down)
{
    AttachThreadInput(GetCurrentThreadId(), run.process.dwThreadId, TRUE);
    BYTE keys[256] = {0};
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
    if (!down)
        AttachThreadInput(GetCurrentThreadId(), run.process.dwThreadId, FALSE);
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::vector<std::wstring>> ReadRows(const ViewerRun &run, HWND list)
{
    std::vector<std::vector<std::wstring>> rows;
    RemoteBuffer remote(run, sizeof(LVITEMW) + TEXT_CHARS * sizeof(wchar_t));
    int count = RowCount(list);
    for (int r = 0; r < count; r++) {
        std::vector<std::wstring> row;
        for (int c = 0; c < RECORD_FIELDS; c++) {
            LVITEMW item = {};
            item.iSubItem = c;
            item.pszText = reinterpret_cast<wchar_t *>(remote.address + sizeof(LVITEMW));
            item.cchTextMax = TEXT_CHARS;
            remote.Write(0, &item, sizeof item);
            SendMessageW(list, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(remote.address));
            wchar_t text[TEXT_CHARS] = {0};
            remote.Read(sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t));
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::wstring> ReadColumnTitles(const ViewerRun &run, HWND list)
{
    std::vector<std::wstring> titles;
    RemoteBuffer remote(run, sizeof(LVCOLUMNW) + TEXT_CHARS * sizeof(wchar_t));
    for (int c = 0;; c++) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = reinterpret_cast<wchar_t *>(remote.address + sizeof(LVCOLUMNW));
        column.cchTextMax = TEXT_CHARS;
        remote.Write(0, &column, sizeof column);
        if (!SendMessageW(list, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(remote.address)))
            break;
        wchar_t text[TEXT_CHARS] = {0};
        remote.Read(sizeof(LVCOLUMNW), text, sizeof text - sizeof(wchar_t));
        titles.push_back(text);
    }
    return titles;
}

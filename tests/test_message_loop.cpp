// The message loop: its exit code, the two accelerators, and ordinary keystrokes.
#include "viewer_harness.h"

namespace {

using MessageLoopTest = ViewerWindowTest;

struct Subclass {
    WNDPROC original = nullptr;
    std::vector<WORD> commands;   // identifiers of the commands the window received
};
Subclass subclass;

LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COMMAND)
        subclass.commands.push_back(LOWORD(wparam));
    return CallWindowProcW(subclass.original, window, message, wparam, lparam);
}

// The accelerator translation reads the keyboard state, which posted messages do not change.
void HoldAlt(bool down)
{
    BYTE keys[256] = {0};
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

const LPARAM ALT_DOWN = 1 | (1 << 29);   // repeat count 1, context code: Alt held

} // namespace

TEST_F(MessageLoopTest, returns_the_quit_code)
{
    PostQuitMessage(0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_TRUE(IsWindow(g_viewer.mainWindow));
}

TEST_F(MessageLoopTest, alt_characters_send_command_104_to_the_window_the_keystroke_was_for)
{
    struct Case {
        const char *what;
        UINT message;
        WPARAM key;
        LPARAM flags;
        std::vector<WORD> commands;   // what the edit box receives
        std::wstring typed;           // what ends up in the edit box
    } cases[] = {
        { "Alt+?", WM_SYSCHAR, '?', ALT_DOWN, { IDM_ACCELERATOR }, L"" },
        { "Alt+/", WM_SYSCHAR, '/', ALT_DOWN, { IDM_ACCELERATOR }, L"" },
        { "? alone", WM_CHAR, '?', 1, {}, L"?" },
        { "Alt+a", WM_SYSCHAR, 'a', ALT_DOWN, {}, L"" },
    };
    HWND edit = g_viewer.edits[FIELD_NAME];
    subclass.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordCommands)));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        subclass.commands.clear();
        SetWindowTextW(edit, L"");
        PostMessageW(edit, c.message, c.key, c.flags);
        PostQuitMessage(0);
        HoldAlt(c.message == WM_SYSCHAR);
        EXPECT_EQ(0, RunMessageLoop());
        HoldAlt(false);
        EXPECT_EQ(c.commands, subclass.commands);
        wchar_t text[16] = {0};
        GetWindowTextW(edit, text, 16);
        EXPECT_EQ(c.typed, text);
        EXPECT_TRUE(IsWindow(g_viewer.mainWindow));
        EXPECT_TRUE(CaughtBoxes().empty());
    }
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass.original));
}

// Binding Dialbook.dll by name: success, a missing library, and a library lacking an entry point.
#include "viewer_harness.h"

namespace {

// This program's folder holds no Dialbook.dll; each case names the folder the library comes from.
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

class LibraryBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(&g_viewer, 0, sizeof g_viewer);
        StartCatchingBoxes();
    }
    void TearDown() override
    {
        StopCatchingBoxes();
        HMODULE bound = GetModuleHandleW(L"Dialbook.dll");
        if (bound != NULL)
            FreeLibrary(bound);   // the viewer never unloads it; the next case needs a clean start
        SetDllDirectoryW(NULL);
    }
    int BindFrom(const std::wstring &folder)
    {
        CreateDirectoryW(folder.c_str(), NULL);
        SetDllDirectoryW(folder.c_str());
        return BindDirectoryLibrary();
    }
};

} // namespace

TEST_F(LibraryBindingTest, binds_the_four_entry_points_of_the_real_library)
{
    ASSERT_EQ(1, BindFrom(ProgramFolder() + L"\\..\\bin"));
    HMODULE library = GetModuleHandleW(L"Dialbook.dll");
    ASSERT_NE(nullptr, library);
    EXPECT_EQ((void *)GetProcAddress(library, "OpenDatabase"), (void *)g_viewer.openDatabase);
    EXPECT_EQ((void *)GetProcAddress(library, "CloseDatabase"), (void *)g_viewer.closeDatabase);
    EXPECT_EQ((void *)GetProcAddress(library, "SearchInDatabase"), (void *)g_viewer.searchInDatabase);
    EXPECT_EQ((void *)GetProcAddress(library, "FillDatabaseRecord"), (void *)g_viewer.fillDatabaseRecord);
    EXPECT_TRUE(CaughtBoxes().empty());
}

TEST_F(LibraryBindingTest, failures_show_the_system_text_in_an_ownerless_captionless_box)
{
    struct Case {
        const wchar_t *folder;   // under this program's folder
        DWORD error;             // whose system text the box shows
    } cases[] = {
        { L"\\no-library", ERROR_MOD_NOT_FOUND },
        { L"\\partial", ERROR_PROC_NOT_FOUND },   // Dialbook.dll without FillDatabaseRecord
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Utf8FromWide(c.folder));
        CaughtBoxes().clear();
        EXPECT_EQ(0, BindFrom(ProgramFolder() + c.folder));
        ASSERT_EQ(1u, CaughtBoxes().size());
        const CaughtBox &box = CaughtBoxes()[0];
        EXPECT_FALSE(SystemText(c.error).empty());
        EXPECT_EQ(Utf8FromWide(SystemText(c.error)), Utf8FromWide(box.text));
        EXPECT_EQ("Ошибка", Utf8FromWide(box.caption));
        EXPECT_EQ(nullptr, box.owner);
        EXPECT_EQ(std::vector<int>{ IDOK }, box.buttons);
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(nullptr, (void *)g_viewer.fillDatabaseRecord);
        HMODULE bound = GetModuleHandleW(L"Dialbook.dll");
        if (bound != NULL)
            FreeLibrary(bound);
    }
}

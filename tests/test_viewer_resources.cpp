// The viewer's strings, icons and accelerator table as the program's resources hold them.
#include "viewer_harness.h"

#include <algorithm>

namespace {

#pragma pack(push, 2)
struct IconDirectoryEntry {   // one image of an RT_GROUP_ICON resource
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconDirectory {
    WORD reserved, type, count;
    IconDirectoryEntry entries[1];
};
#pragma pack(pop)

std::vector<int> IconSizes(int id)
{
    HINSTANCE instance = GetModuleHandleW(NULL);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
    if (found == NULL)
        return {};
    const IconDirectory *group = static_cast<const IconDirectory *>(LockResource(LoadResource(instance, found)));
    std::vector<int> sizes;
    for (int i = 0; i < group->count; i++) {
        const IconDirectoryEntry &entry = group->entries[i];
        EXPECT_EQ(entry.width, entry.height) << "icon " << id << " image " << i << " is square";
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

} // namespace

TEST(viewer_resources, strings_hold_title_and_class_name)
{
    struct { int id; const wchar_t *text; } cases[] = {
        { IDS_APP_TITLE, L"velkor" },
        { IDS_WINDOW_CLASS, L"VELKOR" },
    };
    for (const auto &c : cases) {
        wchar_t text[100] = {0};
        LoadStringW(GetModuleHandleW(NULL), c.id, text, 100);
        EXPECT_EQ(std::wstring(c.text), text) << "string " << c.id;
    }
}

TEST(viewer_resources, icons_have_16_32_and_48_pixel_images)
{
    for (int id : { IDI_VELKOR, IDI_SMALL }) {
        EXPECT_EQ((std::vector<int>{ 16, 32, 48 }), IconSizes(id)) << "icon " << id;
        for (int size : { 16, 32, 48 }) {
            HICON icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(nullptr, icon) << "icon " << id << " at " << size;
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bitmap = {};
            GetObjectW(info.hbmColor != NULL ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            EXPECT_EQ(size, bitmap.bmWidth) << "icon " << id;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

TEST(viewer_resources, accelerators_are_alt_question_mark_and_alt_slash_characters)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDA_VELKOR));
    ASSERT_NE(nullptr, table);
    ACCEL entries[8] = {};
    int count = CopyAcceleratorTableW(table, entries, 8);
    ASSERT_EQ(2, count);
    const WORD keys[] = { '?', '/' };
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(keys[i], entries[i].key);
        EXPECT_EQ(IDM_ACCELERATOR, entries[i].cmd);
        // Alt with a character, not a virtual key: FVIRTKEY must be clear.
        EXPECT_EQ(FALT, entries[i].fVirt & ~0x80) << "entry " << i;
    }
}

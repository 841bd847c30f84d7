// Starts velkor.exe from a folder as a user would, from its own folder, and checks that it comes up
// with its database open: the start-up box says how many entries it holds, and the exit button ends
// it with status 0. Not a test: scripts/check-package runs it on the unpacked Windows zip.
// Usage: velkor_start_check FOLDER ENTRIES
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "velkor_driver.h"

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: velkor_start_check FOLDER ENTRIES\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring expected = L"Количество элементов: " + std::wstring(argv[2]);
    ViewerRun run;
    if (!StartViewer(folder, &run)) {
        fprintf(stderr, "velkor.exe did not start from %s\n", Utf8FromWide(folder).c_str());
        return 1;
    }
    ForeignBox box;
    HWND main = WaitForMainWindow(run, 60000);
    if (main == NULL || !WaitForBox(run, &box, 60000)) {
        fprintf(stderr, "velkor.exe showed no %s\n", main == NULL ? "main window" : "start-up message");
        KillViewer(&run);
        return 1;
    }
    printf("velkor.exe: \"%s\" under \"%s\"\n", Utf8FromWide(box.text).c_str(), Utf8FromWide(box.caption).c_str());
    AnswerBox(box);
    int ok = box.text == expected && box.caption == L"База данных загружена!";
    if (!ok)
        fprintf(stderr, "expected \"%s\" under \"База данных загружена!\"\n", Utf8FromWide(expected).c_str());
    Press(FindControls(main).exit);
    int status = WaitForExit(&run);
    if (status != 0) {
        fprintf(stderr, "velkor.exe ended with %d, not 0\n", status);
        ok = 0;
    }
    return ok ? 0 : 1;
}

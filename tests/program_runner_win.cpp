// program_runner_win.cpp - starts morwen.exe with CreateProcessW, its output redirected to files.
#ifdef _WIN32

#include "program_runner.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// A run that has not ended by then is ended, and counts as one that could not be run.
static const int kRunSeconds = 60;

const char kConsoleNewline[] = "\r\n";
const char kClearMark[] = "";

static std::string Slurp(const std::wstring &path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static std::wstring MorwenPath()
{
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"morwen.exe";
}

// The file name arguments of the tests are plain ASCII; quotes keep spaces together.
static std::wstring CommandLine(const std::wstring &program, const std::vector<std::string> &args)
{
    std::wstring line = L"\"" + program + L"\"";
    for (const std::string &arg : args)
        line += L" \"" + std::wstring(arg.begin(), arg.end()) + L"\"";
    return line;
}

static HANDLE InheritableFile(const std::wstring &path)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

ProgramResult RunMorwen(const std::vector<std::string> &args, const RunOptions &options)
{
    // Named after this process: test programs may run side by side in one folder.
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring out_path = L"morwen_stdout_" + id + L".tmp", err_path = L"morwen_stderr_" + id + L".tmp";
    ProgramResult result;
    HANDLE out = InheritableFile(out_path), err = INVALID_HANDLE_VALUE;
    if (options.closed_input_and_error)
        DeleteFileW(err_path.c_str());   // a run without standard error leaves none
    else
        err = InheritableFile(err_path);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::wstring line = CommandLine(MorwenPath(), args);
    BOOL started = out != INVALID_HANDLE_VALUE && (err != INVALID_HANDLE_VALUE || options.closed_input_and_error) &&
                   CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (!started)
        return result;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process.hProcess, kRunSeconds * 1000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.status = (int)code;
    result.out = Slurp(out_path);
    result.err = Slurp(err_path);
    return result;
}

bool CanLimitFileSize()
{
    return false;   // Windows sets no limit on the size of the files a process writes
}

const char *WhyStreamsCannotBeClosed()
{
    return nullptr;
}

bool RunMorwenCuttingInput(const std::string &, long long, ProgramResult *, std::string *)
{
    return false;   // no pipe here that the program opens by a path while this side reads it
}

bool MakeHardLink(const std::string &target, const std::string &path)
{
    DeleteFileA(path.c_str());
    return CreateHardLinkA(path.c_str(), target.c_str(), nullptr) != 0;
}

// "cls" writes a form feed to a redirected output on Windows and nothing under Wine: drop it.
std::string ConsoleText(const std::string &out)
{
    std::string text;
    for (char c : out)
        if (c != '\f')
            text += c;
    return text;
}

bool MakeSymbolicLink(const std::string &, const std::string &)
{
    return false;   // needs a privilege Windows rarely grants; the hard link stands for it
}

const char *FullDevicePath()
{
    return nullptr;
}

// The pipe's server end stays open, with nothing written into it, until the test program ends.
std::vector<std::string> NonDiskInputs(const std::string &pipe_path)
{
    std::vector<std::string> inputs = {"NUL"};
    std::string name = "\\\\.\\pipe\\" + pipe_path + "_" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES,
                                     4096, 4096, 0, nullptr);
    if (server != INVALID_HANDLE_VALUE)
        inputs.push_back(name);
    return inputs;
}

const char *ZeroSizedFileWithBytes()
{
    return nullptr;
}

std::string AttachLoopDevice(const std::string &)
{
    return "";
}

bool MakeDeviceNode(const std::string &, const std::string &)
{
    return false;
}

void DetachLoopDevice(const std::string &)
{
}

#endif  // _WIN32

// program_runner_posix.cpp - starts morwen with posix_spawn, its output redirected to files.
#ifndef _WIN32

#include "program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

extern char **environ;

// A run that has not ended by then is ended, and counts as one that could not be run.
static const int kRunSeconds = 60;

const char kConsoleNewline[] = "\n";
const char kClearMark[] = "\f";

static std::string Slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static std::string MorwenPath()
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "morwen";
    std::string path(self, (size_t)n);
    return path.substr(0, path.rfind('/') + 1) + "morwen";
}

// Output files named after this process: the test cases run side by side in one folder.
static std::string OutputPath(const char *stream)
{
    return std::string("morwen_") + stream + "_" + std::to_string(getpid()) + ".tmp";
}

// Starts morwen with args, standard output and error to files, the options' limits and closed
// streams, and dup_to_3 (when not -1) as its descriptor 3; its process id, or -1.
static pid_t StartMorwen(const std::vector<std::string> &args, const RunOptions &options, int dup_to_3)
{
    std::string program = MorwenPath(), out_path = OutputPath("stdout"), err_path = OutputPath("stderr");
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.closed_input_and_error)
        posix_spawn_file_actions_addclose(&actions, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (options.closed_input_and_error)
        posix_spawn_file_actions_addclose(&actions, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (dup_to_3 != -1)
        posix_spawn_file_actions_adddup2(&actions, dup_to_3, 3);
    // The child takes the limit from this process as it starts; this process writes nothing meanwhile.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    if (options.file_size_limit > 0) {
        struct rlimit limited = {(rlim_t)options.file_size_limit, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    pid_t pid = 0;
    int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    setrlimit(RLIMIT_FSIZE, &saved);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

// Waits for the run started as pid to end, or ends it after kRunSeconds; true when it ended by itself.
static bool AwaitMorwen(pid_t pid, int *wait_status)
{
    for (long waited_ms = 0; waited_ms < kRunSeconds * 1000L; waited_ms++) {
        pid_t ended = waitpid(pid, wait_status, WNOHANG);
        if (ended != 0)
            return ended == pid;
        usleep(1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, wait_status, 0);
    return false;
}

// Waits for the run started as pid and collects what it left.
static ProgramResult FinishMorwen(pid_t pid)
{
    ProgramResult result;
    int wait_status = 0;
    if (pid == -1 || !AwaitMorwen(pid, &wait_status))
        return result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    result.out = Slurp(OutputPath("stdout"));
    result.err = Slurp(OutputPath("stderr"));
    return result;
}

ProgramResult RunMorwen(const std::vector<std::string> &args, const RunOptions &options)
{
    std::remove(OutputPath("stderr").c_str());   // a run with standard error closed leaves none
    return FinishMorwen(StartMorwen(args, options, -1));
}

bool CanLimitFileSize()
{
    return true;
}

// Under valgrind (scripts/memcheck) a closed descriptor 2 stays valgrind's: the program can open nothing there.
const char *WhyStreamsCannotBeClosed()
{
    const char *preload = getenv("LD_PRELOAD");
    if (preload != nullptr && strstr(preload, "vgpreload") != nullptr)
        return "under valgrind a closed standard error cannot be opened again";
    return nullptr;
}

// The database goes into a pipe, which the program opens again through its descriptor 3: it can
// get no further than the pipe holds ahead of what is read here, so the cut comes in mid-run.
bool RunMorwenCuttingInput(const std::string &input, long long cut_to, ProgramResult *run, std::string *database)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    pid_t pid = StartMorwen({input, "/dev/fd/3"}, RunOptions(), ends[1]);
    close(ends[1]);
    char chunk[4096];
    ssize_t got;
    bool cut = false;
    database->clear();
    while ((got = read(ends[0], chunk, sizeof chunk)) > 0) {
        if (!cut && !(cut = truncate(input.c_str(), (off_t)cut_to) == 0))
            break;   // the program ends on the closed pipe
        database->append(chunk, (size_t)got);
    }
    close(ends[0]);
    *run = FinishMorwen(pid);
    return pid != -1 && cut;
}

bool MakeHardLink(const std::string &target, const std::string &path)
{
    unlink(path.c_str());
    return link(target.c_str(), path.c_str()) == 0;
}

std::string ConsoleText(const std::string &out)
{
    return out;
}

bool MakeSymbolicLink(const std::string &target, const std::string &path)
{
    unlink(path.c_str());
    return symlink(target.c_str(), path.c_str()) == 0;
}

const char *FullDevicePath()
{
    return access("/dev/full", W_OK) == 0 ? "/dev/full" : nullptr;
}

std::vector<std::string> NonDiskInputs(const std::string &pipe_path)
{
    std::vector<std::string> inputs;
    unlink(pipe_path.c_str());
    if (mkfifo(pipe_path.c_str(), 0600) == 0)
        inputs.push_back(pipe_path);
    for (const char *device : {"/dev/null", "/dev/zero", "/dev/urandom"})
        if (access(device, R_OK) == 0)
            inputs.push_back(device);
    return inputs;
}

const char *ZeroSizedFileWithBytes()
{
    struct stat st;
    return stat("/proc/self/mounts", &st) == 0 && st.st_size == 0 ? "/proc/self/mounts" : nullptr;
}

std::string AttachLoopDevice(const std::string &image)
{
    if (geteuid() != 0)
        return "";
    std::string command = "losetup -f --show '" + image + "' 2>/dev/null";
    FILE *output = popen(command.c_str(), "r");
    if (output == nullptr)
        return "";
    char device[256] = "";
    bool read = fgets(device, sizeof device, output) != nullptr;
    if (pclose(output) != 0 || !read)
        return "";
    std::string path(device);
    return path.substr(0, path.find('\n'));
}

bool MakeDeviceNode(const std::string &device, const std::string &path)
{
    struct stat st;
    unlink(path.c_str());
    return stat(device.c_str(), &st) == 0 && mknod(path.c_str(), st.st_mode, st.st_rdev) == 0;
}

void DetachLoopDevice(const std::string &device)
{
    std::string command = "losetup -d '" + device + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "cannot detach %s\n", device.c_str());
}

#endif  // !_WIN32

// program_runner_posix.cpp - starts morwen with posix_spawn, its output redirected to files.
#ifndef _WIN32

#include "program_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

extern char **environ;

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

ProgramResult RunMorwen(const std::vector<std::string> &args)
{
    // Named after this process: the test cases run side by side in one folder.
    const std::string id = std::to_string(getpid());
    const std::string out_path = "morwen_stdout_" + id + ".tmp", err_path = "morwen_stderr_" + id + ".tmp";
    std::string program = MorwenPath();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ProgramResult result;
    pid_t pid = 0;
    int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int wait_status = 0;
    if (started != 0 || waitpid(pid, &wait_status, 0) != pid)
        return result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    result.out = Slurp(out_path);
    result.err = Slurp(err_path);
    return result;
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

#endif  // !_WIN32

// program_runner.h - runs the built morwen on files for the program-level tests, natively and under Wine.
#ifndef TESTS_PROGRAM_RUNNER_H
#define TESTS_PROGRAM_RUNNER_H

#include <string>
#include <vector>

// What one run left behind.
struct ProgramResult {
    int status = -1;    // exit status, or -1 when the program could not be started
    std::string out;    // standard output, bytes as written
    std::string err;    // standard error, bytes as written
};

// Runs morwen (found beside the test program) with args, standard output and error each to a file.
ProgramResult RunMorwen(const std::vector<std::string> &args);

// A console line end as the program's text-mode standard output writes it.
extern const char kConsoleNewline[];

// What clearing the console leaves in the standard output as ConsoleText gives it back.
extern const char kClearMark[];

// Standard output as the tests compare it: what the platform's console clearing writes, made alike.
std::string ConsoleText(const std::string &out);

// Makes path another name (a hard link) for the existing file target; true on success.
bool MakeHardLink(const std::string &target, const std::string &path);

// Makes path a symbolic link to target; false where the system will not.
bool MakeSymbolicLink(const std::string &target, const std::string &path);

// A device that fails every write with "no space", or null where there is none.
const char *FullDevicePath();

#endif  // TESTS_PROGRAM_RUNNER_H

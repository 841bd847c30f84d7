// program_runner.h - runs the built morwen on files for the program-level tests, natively and under Wine.
#ifndef TESTS_PROGRAM_RUNNER_H
#define TESTS_PROGRAM_RUNNER_H

#include <string>
#include <vector>

// What one run left behind.
struct ProgramResult {
    int status = -1;    // exit status, or -1 when the program could not be started or did not end in a minute
    std::string out;    // standard output, bytes as written
    std::string err;    // standard error, bytes as written
};

// How a run is set up beyond its arguments; the defaults make a plain run.
struct RunOptions {
    bool closed_input_and_error = false;   // standard input and standard error not open in the program
    long long file_size_limit = 0;         // the most bytes the program may write into a file; 0 for no limit
};

// Runs morwen (found beside the test program) with args, standard output and error each to a file.
ProgramResult RunMorwen(const std::vector<std::string> &args, const RunOptions &options = RunOptions());

// Whether RunOptions::file_size_limit can be set here.
bool CanLimitFileSize();

// Why RunOptions::closed_input_and_error cannot be tried here, or null when it can.
const char *WhyStreamsCannotBeClosed();

// Runs morwen on input with the database written into a pipe that is read here; once its first bytes
// have come, input is cut to cut_to bytes. The database into *database; false where this cannot be done.
bool RunMorwenCuttingInput(const std::string &input, long long cut_to, ProgramResult *run, std::string *database);

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

// Inputs that are no file on a disk: devices, and a named pipe with no writer made after pipe_path.
std::vector<std::string> NonDiskInputs(const std::string &pipe_path);

// A file whose size reads as 0 although it holds bytes, or null where there is none.
const char *ZeroSizedFileWithBytes();

// Attaches the file image to a free loop device and gives its path; "" where that cannot be done.
std::string AttachLoopDevice(const std::string &image);

// Makes path another device node for the device at device; true on success.
bool MakeDeviceNode(const std::string &device, const std::string &path);

// Detaches a device that AttachLoopDevice gave.
void DetachLoopDevice(const std::string &device);

#endif  // TESTS_PROGRAM_RUNNER_H

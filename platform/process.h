#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::platform {

// Splits arguments with the Windows rules: blanks separate, double quotes group and are
// removed, 2n backslashes before a quote give n backslashes and a grouping quote, 2n+1 give n
// and a literal quote, other backslashes are literal, "" inside quotes is a literal quote.
std::vector<std::string> SplitArguments(std::string_view text);

// The program and arguments of a command line. A quoted program is taken up to its closing
// quote. An unquoted program containing blanks is tried prefix by prefix ("a b c" tries "a",
// then "a b", then "a b c") until `isProgram` accepts one; none accepted gives the first word.
struct CommandLine {
    std::string program;
    std::vector<std::string> arguments;
};
CommandLine SplitCommandLine(std::string_view commandLine,
                             const std::function<bool(const std::string&)>& isProgram);

// True for an executable file, looked up in PATH when the name has no "/".
bool IsRunnableProgram(const std::string& program);
// The path of that executable file, or empty.
std::string ResolveProgram(const std::string& program);

// Runs the command line and waits for it. The exit code, or nullopt when the program could not
// be started or was killed by a signal.
std::optional<int> RunAndWait(std::string_view commandLine);
// The same, with the program's standard output and error joined and handed to `output` as they
// come. A `shared` descriptor (above the standard ones) goes to the program as its descriptor 3,
// and so to whatever it starts in turn: a lock held through it stays held while any of them runs.
std::optional<int> RunAndWait(std::string_view commandLine,
                              const std::function<void(std::string_view)>& output, int shared = -1);

// Starts a program with no arguments, detached from us. False when it could not be started.
bool StartProgram(const std::string& path);

// Opens a document with the desktop's handler (xdg-open). False when that could not be started.
bool OpenDocument(const std::string& path);

// Makes every write to our standard output and error, whoever writes (our code, a library
// through stdio), one that never waits: where either is a pipe or a terminal it becomes our own
// opening of that pipe or terminal, non-blocking, so a write that does not fit at once fails
// (stdio then drops the text) while the opening we share with whoever started us stays as it
// was. A socket, which cannot be opened again, is replaced by a non-blocking pipe of our own
// that a thread empties into it without waiting (until the program's end, which sends what is
// left as far as the socket takes it). A reader that has gone makes a write fail instead of ending
// us, and a terminal that stops background writers lets ours through. Programs we start get the
// outputs we were given, with the signals at their defaults. Call it first thing, before any other
// thread runs.
void UnblockStandardOutputs();

// A copy of text to one of our own outputs (standard output or error) that never makes us
// wait: a pipe or terminal that nobody reads just now (a pager, a terminal on hold, a launcher
// that keeps the pipe) takes what fits at once and the rest is dropped. A file takes everything.
// A reader that has gone neither ends us nor stops us as a background job. Safe from any thread.
class OutputCopy {
public:
    explicit OutputCopy(int fd);
    ~OutputCopy();
    OutputCopy(const OutputCopy&) = delete;
    OutputCopy& operator=(const OutputCopy&) = delete;

    void Write(std::string_view text) const;

private:
    enum class Kind { None, File, Socket, Unblocked };
    Kind kind_ = Kind::None;
    int fd_ = -1;
};

} // namespace sv::platform

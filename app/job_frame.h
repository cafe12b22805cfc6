#pragma once
// What the mode forms' jobs share outside the forms: what a job loop asks of its form, the
// checks before a job, the overwrite question, the delete-source step, and the flag that tells
// the main window a job is running.
#include <string>

namespace sv::app {

// The form as a job loop sees it.
class JobView {
public:
    virtual ~JobView() = default;
    // One log line: the form adds time and mode tag.
    virtual void WriteLog(const std::string& message) = 0;
    // Handles the window messages that wait, so the window stays painted.
    virtual void PumpMessages() = 0;
    // Waits that long with the window alive.
    virtual void Pause(int milliseconds) = 0;
    virtual bool DeleteSourceDown() const = 0;
    virtual void SetProgress(int position) = 0;
    // Item `number` (from 1) of `count`, and its file name.
    virtual void ShowItem(int number, int count, const std::string& fileName) = 0;
    // Shows the six info labels with these texts; the second value stays as it was.
    virtual void ShowInfo(const std::string& label1, const std::string& value1,
                          const std::string& label2) = 0;
    virtual void SetInfoValue2(const std::string& value) = 0;
    virtual void HideInfo() = 0;
};

// The most items a job takes.
inline constexpr int kMaxJobItems = 100;

// The checks before a file job, each with its message: an empty list, no save folder (unless
// the same-folder button is down), too many items, a save folder that cannot be created.
bool CheckFileJob(int count, const std::string& saveFolder, bool sameFolder);
// The checks of a job without a save folder: an empty list, too many items.
bool CheckListJob(int count);

enum class OverwriteAnswer { Convert, Skip, Stop };
// Asked when `destination` exists: Yes deletes it (a failed deletion ends the job), No skips
// the item, Cancel ends the job.
OverwriteAnswer AskOverwrite(const std::string& destination);

// Deletes a converted source; a failure asks whether to go on. False: the job ends here.
bool DeleteSourceStep(const std::string& source, JobView& view);

// Whether the two paths name one file (the same text, or the same file on disk).
bool SameFile(const std::string& a, const std::string& b);

// True while a mode form runs a job; the main window refuses to close meanwhile.
bool JobRunning();

// Marks a job as running for its lifetime.
class JobRunningScope {
public:
    JobRunningScope();
    ~JobRunningScope();
    JobRunningScope(const JobRunningScope&) = delete;
    JobRunningScope& operator=(const JobRunningScope&) = delete;
};

} // namespace sv::app

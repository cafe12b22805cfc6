#pragma once
// What the mode forms' jobs share outside the forms: what a job loop asks of its form, the
// checks before a job, the overwrite question, the delete-source step, the files a job makes,
// and the running job with its failure lines.
#include <cstddef>
#include <string>
#include <vector>

namespace sv::app {

// What every job loop asks of its form.
class BasicJobView {
public:
    virtual ~BasicJobView() = default;
    // One log line: the form adds time and mode tag.
    virtual void WriteLog(const std::string& message) = 0;
    // A log line that says an item failed; the user is shown these when the job ends.
    virtual void WriteFailureLog(const std::string& message) { WriteLog(message); }
    // Handles the window messages that wait, so the window stays painted.
    virtual void PumpMessages() = 0;
    virtual void SetProgress(int position) = 0;
};

// The conversion form as its job loops see it.
class JobView : public BasicJobView {
public:
    // Waits that long with the window alive.
    virtual void Pause(int milliseconds) = 0;
    virtual bool DeleteSourceDown() const = 0;
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
// Asked when `destination` exists: Yes converts (the old file is replaced only by a complete
// new one), No skips the item, Cancel ends the job.
OverwriteAnswer AskOverwrite(const std::string& destination);

// Deletes a converted source; a failure asks whether to go on. False: the job ends here.
bool DeleteSourceStep(const std::string& source, BasicJobView& view);

// Logs "■■■■■" + source + what + "(" + why + ")" as a failure of the job.
void LogItemFailure(BasicJobView& view, const std::string& source, const std::string& what,
                    const std::string& why);

// Whether the two paths name one file (the same text, or the same file on disk).
bool SameFile(const std::string& a, const std::string& b);

// The longest file name the file systems take, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// One file a job makes. Its writer (the encoder, the decoder, or the program's own stream
// opened with platform::Files().OpenForWrite(Path(), false)) writes under Path(): a fresh name
// in the final file's folder, "<final name>.<6 characters>.part", made only where no file is.
// Commit() flushes it to the disk and renames it to the
// final name, replacing an old file only then. An output not committed is removed when the
// object goes, also when the job raises; a crash leaves only the ".part" file.
class JobOutput {
public:
    explicit JobOutput(std::string finalPath);
    ~JobOutput();
    JobOutput(const JobOutput&) = delete;
    JobOutput& operator=(const JobOutput&) = delete;

    // Creates the temporary file, empty; false when its folder refuses it.
    bool Create();
    const std::string& Path() const { return temp_; }
    const std::string& FinalPath() const { return final_; }

    enum class Result {
        Done,       // complete under the final name
        NotWritten, // the data could not be stored; nothing changed under the final name
        NotPlaced,  // the final name could not be made
        OldKept     // an old file of the final name could not be replaced
    };
    Result Commit();
    // The same, but never in place of anything of the final name, not even of something that
    // appeared a moment ago. Then OldKept, and the output is still under Path(): Keep() keeps it.
    Result CommitWithoutReplacing();
    // Removes an output that was not committed.
    void Discard();
    // Whether anything (a file, a folder, a link) has the final name.
    bool FinalTaken() const;
    // Leaves the output under Path() for good, beside the final name: it is no longer removed.
    void Keep();

private:
    Result Place(bool replace);

    std::string final_;
    std::string temp_;
    bool created_ = false;
};

enum class CommitOutcome { Done, Failed, Stop };
// Commits a finished output of `source`. A failure is logged as the item's failure (`what`,
// with `kind`, "MP3" or "WAV", naming the file in the reason); an old file that cannot be
// replaced is told to the user and ends the job (Stop). Without `replace` nothing of the final
// name is ever replaced, not even a file that appeared while the output was made: that file
// stays, the output goes, and the item fails with a line naming it.
CommitOutcome CommitJobOutput(JobOutput& output, const std::string& source, const std::string& what,
                              const std::string& kind, BasicJobView& view, bool replace = true);

// True while a mode form runs a job; the main window refuses to close meanwhile.
bool JobRunning();

// Marks a job as running for its lifetime and gathers the failure lines logged meanwhile.
class JobRunningScope {
public:
    JobRunningScope();
    ~JobRunningScope();
    JobRunningScope(const JobRunningScope&) = delete;
    JobRunningScope& operator=(const JobRunningScope&) = delete;

    const std::vector<std::string>& Failures() const { return failures_; }
    // The job handed its work to Trelvik and asked the program to end.
    bool EndsProgram() const { return endsProgram_; }

private:
    friend void RecordJobFailure(const std::string& logLine);
    friend void MarkJobEndsProgram();
    std::vector<std::string> failures_;
    bool endsProgram_ = false;
    JobRunningScope* outer_;
};

// Adds a logged failure line to the running job; outside a job it goes nowhere.
void RecordJobFailure(const std::string& logLine);
// Notes that the running job has handed over to Trelvik and the program is ending.
void MarkJobEndsProgram();

// The most failure lines one box shows; the rest are counted in a last line.
inline constexpr std::size_t kMaxShownFailures = 10;
// Shows a job's failure lines in one "Error Msg" box with the error icon; nothing without any.
void ShowJobFailures(const std::vector<std::string>& lines);

} // namespace sv::app

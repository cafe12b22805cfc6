#include "app/job_frame.h"

#include "framework/dialogs.h"
#include "framework/forms.h"
#include "framework/messages.h"
#include "platform/file_ops.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::app {

namespace {
JobRunningScope* runningJob = nullptr;
} // namespace

bool CheckListJob(int count) {
    if (count <= 0) {
        ShowMessage("データがありません。中止します。");
        return false;
    }
    if (count > kMaxJobItems) {
        Application->MessageBox(std::to_string(kMaxJobItems) +
                                    "曲以上は対応していません。中止します。",
                                "error msg", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CheckFileJob(int count, const std::string& saveFolder, bool sameFolder) {
    if (count <= 0) return CheckListJob(count);
    if (saveFolder.empty() && !sameFolder) {
        ShowMessage("保存先が未入力です");
        return false;
    }
    if (!CheckListJob(count)) return false;
    auto& files = platform::Files();
    if (!sameFolder && !files.DirectoryExists(saveFolder) && !files.CreateDirectory(saveFolder)) {
        Application->MessageBox(saveFolder + "を作成できませんでした。中止します。", "error msg",
                                MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

OverwriteAnswer AskOverwrite(const std::string& destination) {
    switch (Application->MessageBox(destination + " はすでに存在します。上書きしますか？", "確認",
                                    MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        return OverwriteAnswer::Convert;
    case IDNO:
        return OverwriteAnswer::Skip;
    default:
        return OverwriteAnswer::Stop;
    }
}

bool DeleteSourceStep(const std::string& source, BasicJobView& view) {
    view.PumpMessages();
    const bool deleted = platform::Files().DeleteFile(source);
    view.PumpMessages();
    if (deleted) return true;
    const int answer = Application->MessageBox(source + "削除失敗しました。処理を続けますか？",
                                               "Error Msg", MB_YESNO | MB_ICONEXCLAMATION);
    view.WriteFailureLog("■■■■■" + source + "削除失敗");
    if (answer == IDYES) {
        view.WriteLog("処理続行");
        return true;
    }
    view.WriteLog("処理中断");
    return false;
}

void LogItemFailure(BasicJobView& view, const std::string& source, const std::string& what,
                    const std::string& why) {
    view.WriteFailureLog("■■■■■" + source + what + "(" + why + ")");
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

namespace {

// `name` cut to at most `bytes`, never inside a UTF-8 character.
std::string CutName(const std::string& name, std::size_t bytes) {
    if (name.size() <= bytes) return name;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

std::string RandomTag() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string tag(6, ' ');
    for (char& c : tag) c = letters[pick(generator)];
    return tag;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

JobOutput::JobOutput(std::string finalPath) : final_(std::move(finalPath)) {}

JobOutput::~JobOutput() {
    Discard();
}

bool JobOutput::Create() {
    Discard();
    const auto slash = final_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : final_.substr(0, slash + 1);
    const std::string name = final_.substr(folder.size());
    constexpr std::string_view suffix = ".part";
    const std::string stem = CutName(name, kMaxFileNameBytes - 1 - 6 - suffix.size());
    // A name that is taken is tried again with other characters; other failures are final.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + stem + "." + RandomTag() + std::string(suffix);
        errno = 0;
        const int fd = platform::Files().OpenForWrite(candidate, true);
        if (fd >= 0) {
            close(fd);
            temp_ = candidate;
            created_ = true;
            return true;
        }
        if (errno != EEXIST) break;
    }
    return false;
}

JobOutput::Result JobOutput::Commit() {
    return Place(true);
}

JobOutput::Result JobOutput::CommitWithoutReplacing() {
    return Place(false);
}

JobOutput::Result JobOutput::Place(bool replace) {
    if (!created_) return Result::NotWritten;
    auto& files = platform::Files();
    if (!files.SyncFile(temp_)) {
        Discard();
        return Result::NotWritten;
    }
    if (!(replace ? files.Rename(temp_, final_) : files.RenameNoReplace(temp_, final_))) {
        if (!replace && FinalTaken()) return Result::OldKept;
        const bool old = files.FileExists(final_);
        Discard();
        return old ? Result::OldKept : Result::NotPlaced;
    }
    created_ = false;
    // Some file systems cannot flush a folder; the file itself is complete either way.
    files.SyncFolder(FolderOf(final_));
    return Result::Done;
}

void JobOutput::Discard() {
    if (!created_) return;
    created_ = false;
    platform::Files().DeleteFile(temp_);
}

bool JobOutput::FinalTaken() const {
    struct stat st {};
    return lstat(final_.c_str(), &st) == 0;
}

void JobOutput::Keep() {
    created_ = false;
}

CommitOutcome CommitJobOutput(JobOutput& output, const std::string& source, const std::string& what,
                              const std::string& kind, BasicJobView& view, bool replace) {
    switch (replace ? output.Commit() : output.CommitWithoutReplacing()) {
    case JobOutput::Result::Done:
        return CommitOutcome::Done;
    case JobOutput::Result::NotWritten:
        LogItemFailure(view, source, what, kind + "ファイルに書き込めません");
        return CommitOutcome::Failed;
    case JobOutput::Result::NotPlaced:
        LogItemFailure(view, source, what, kind + "ファイルを作成できません");
        return CommitOutcome::Failed;
    case JobOutput::Result::OldKept:
        if (replace) break;
        output.Discard();
        LogItemFailure(view, source, what,
                       output.FinalPath() + "が処理中に作られたため、そのまま残しました");
        return CommitOutcome::Failed;
    }
    ShowMessage(output.FinalPath() + "を削除できませんでした。処理を中止します。");
    return CommitOutcome::Stop;
}

bool JobRunning() {
    return runningJob != nullptr;
}

JobRunningScope::JobRunningScope() : outer_(runningJob) {
    runningJob = this;
}

JobRunningScope::~JobRunningScope() {
    runningJob = outer_;
}

void RecordJobFailure(const std::string& logLine) {
    if (runningJob) runningJob->failures_.push_back(logLine);
}

void MarkJobEndsProgram() {
    if (runningJob) runningJob->endsProgram_ = true;
}

void ShowJobFailures(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    // A box taller than the screen would hide its own OK button.
    const std::size_t shown = std::min(lines.size(), kMaxShownFailures);
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        if (!text.empty()) text += "\n";
        text += lines[i];
    }
    if (lines.size() > shown)
        text += "\nほか" + std::to_string(lines.size() - shown) + "件の処理に失敗しました。";
    Application->MessageBox(text, "Error Msg", MB_OK | MB_ICONERROR);
}

} // namespace sv::app

#include "app/job_frame.h"

#include "framework/dialogs.h"
#include "framework/forms.h"
#include "framework/messages.h"
#include "platform/file_ops.h"

#include <sys/stat.h>

namespace sv::app {

namespace {
int runningJobs = 0;
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
        if (platform::Files().DeleteFile(destination)) return OverwriteAnswer::Convert;
        ShowMessage(destination + "を削除できませんでした。処理を中止します。");
        return OverwriteAnswer::Stop;
    case IDNO:
        return OverwriteAnswer::Skip;
    default:
        return OverwriteAnswer::Stop;
    }
}

bool DeleteSourceStep(const std::string& source, JobView& view) {
    view.PumpMessages();
    const bool deleted = platform::Files().DeleteFile(source);
    view.PumpMessages();
    if (deleted) return true;
    const int answer = Application->MessageBox(source + "削除失敗しました。処理を続けますか？",
                                               "Error Msg", MB_YESNO | MB_ICONEXCLAMATION);
    view.WriteLog("■■■■■" + source + "削除失敗");
    if (answer == IDYES) {
        view.WriteLog("処理続行");
        return true;
    }
    view.WriteLog("処理中断");
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool JobRunning() {
    return runningJobs > 0;
}

JobRunningScope::JobRunningScope() {
    ++runningJobs;
}

JobRunningScope::~JobRunningScope() {
    --runningJobs;
}

} // namespace sv::app

#include "app/rip.h"

#include "app/cdda_reader.h"
#include "app/mode_frame.h"
#include "app/program_paths.h"
#include "framework/dialogs.h"
#include "platform/file_ops.h"
#include "platform/program_folder.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace sv::app {

namespace {

constexpr std::string_view kCdCdTag = "[CD_CD]";
constexpr const char* kRipFailed = "リッピング失敗";
// The log, the track label and the progress bar move once every this many chunks.
constexpr int kChunksPerReport = 16;
// The most PCM bytes a WAV header can count.
constexpr int64_t kMaxDataBytes = std::numeric_limits<int32_t>::max() - 36;

void Put(uint8_t* at, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) at[k] = static_cast<uint8_t>(value >> (8 * k));
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The open temporary file of one WAV.
class WavFile {
public:
    // The final name must not be a folder, and the temporary file must be made and opened.
    explicit WavFile(JobOutput& output) {
        if (!FolderExists(output.FinalPath()) && output.Create())
            fd_ = platform::Files().OpenForWrite(output.Path(), false);
    }
    ~WavFile() { Close(); }
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    int Fd() const { return fd_; }
    // False when the file system reports that what was written was not stored.
    bool Close() {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_ = -1;
};

enum class TrackEnd { Ripped, Failed, NotStarted };

std::string TrackText(int32_t trackNo) {
    return "トラック" + std::to_string(trackNo);
}

// Where record `r` is written; false, after telling the user, when the work folder of
// "[CD_CD]" cannot be made.
bool SetTrackPaths(TrackRecord& r, const std::string& modeTag, const std::string& saveFolder) {
    if (modeTag == kCdCdTag) {
        const std::string folder = WorkFolder();
        if (!FolderExists(folder) && !platform::Files().CreateDirectory(folder)) {
            ShowMessage(ProgramDir() + "/tmp2フォルダが作成できませんでした。");
            return false;
        }
    } else {
        r.Mp3Path = platform::JoinPath(saveFolder, r.FileName + ".mp3");
    }
    r.FileName = TrackWavPath(r.FileName, modeTag, saveFolder);
    return true;
}

// The end of a track whose prepare or read failed. What was read takes the track's name, with a
// header that counts no data so that it never passes for a whole track, but never in place of
// anything of that name, not even of something that appeared meanwhile (the user may hold a
// complete rip under it): then it stays beside it. A copy's work file serves only a whole copy,
// so there the part goes.
TrackEnd EndFailedRead(JobOutput& output, WavFile& file, int64_t total, std::string why,
                       const TrackRecord& r, const std::string& modeTag, RipView& view) {
    if (total == 0 || modeTag == kCdCdTag || !file.Close()) {
        output.Discard();
    } else if (output.CommitWithoutReplacing() == JobOutput::Result::OldKept) {
        output.Keep();
        why += "、読み込めた部分は" + output.Path() + "に残しました";
    }
    ShowMessage("ripping error");
    LogItemFailure(view, r.FileName, kRipFailed, why);
    return TrackEnd::Failed;
}

TrackEnd RipTrack(CddaContext& ctx, TrackRecord& r, const std::string& modeTag,
                  const std::string& saveFolder, RipView& view) {
    if (CheckCddaStatus(ctx.Status, modeTag) == 1) {
        Cdda.ReaderRelease(&ctx);
        return TrackEnd::NotStarted;
    }
    if (!SetTrackPaths(r, modeTag, saveFolder)) return TrackEnd::NotStarted;

    JobOutput output(r.FileName);
    WavFile file(output);
    if (file.Fd() < 0) {
        output.Discard();
        ShowMessage("file not open");
        Cdda.ReaderRelease(&ctx);
        LogItemFailure(view, r.FileName, kRipFailed, "WAVファイルを作成できません");
        return TrackEnd::Failed;
    }
    bool stored = WriteWavHeader(file.Fd(), 0);

    Cdda.ReaderPrepareTrack(&ctx, r.TrackNo - 1);
    view.WriteLog(Format("Beginning to rip %d -> %d sector", ctx.TrackSector, ctx.TrackSectors));
    const int32_t start = ctx.TrackSector;
    const int32_t count = ctx.TrackSectors;
    view.WriteLog(TrackText(r.TrackNo) + "リッピング開始[FileName=" + r.FileName + "]");
    view.ShowTrack(r.TrackNo);

    // A track the reader did not prepare is not read: no chunk of it would ever end the loop.
    const int32_t prepareStatus = ctx.Status;
    const bool prepared = prepareStatus >= 0 && count > 0;
    bool readError = !prepared;
    int64_t total = 0;
    int chunks = 0;
    while (!readError && stored) {
        Cdda.ReaderReadChunk(&ctx);
        const int32_t bytes = ctx.BufferBytes;
        if (bytes < 0 || (bytes > 0 && !ctx.Buffer)) {
            readError = true;
            break;
        }
        // Each chunk goes to the file as it was read, also the last one before an error.
        stored = total + bytes <= kMaxDataBytes &&
                 WriteAll(file.Fd(), ctx.Buffer, static_cast<std::size_t>(bytes));
        total += bytes;
        chunks = (chunks + 1) % kChunksPerReport;
        if (chunks == 0) {
            view.WriteLog(
                Format("Track[%d]  %d: %d", r.TrackNo, ctx.TrackSector, ctx.TrackSectors));
            view.ShowTrack(r.TrackNo);
            view.SetProgress(static_cast<int>((int64_t{ctx.TrackSector} - start) * 100 / count));
            view.PumpMessages();
        }
        if (ctx.Status < 0) readError = true;
        if (ctx.Status != 0) break;
    }
    view.SetProgress(100);
    view.WriteLog(TrackText(r.TrackNo) + "リッピング終了[FileName=" + r.FileName + "]");

    if (stored && !prepared) {
        // Its numbers are not the track's: the user is told the reader's status instead.
        return EndFailedRead(output, file, 0,
                             prepareStatus < 0 ? CddaStatusText(prepareStatus)
                                               : "トラックを読み込めません",
                             r, modeTag, view);
    }
    if (stored && readError) {
        view.WriteLog(Format("Error at %d (%lld:%d)", ctx.TrackSector,
                             static_cast<long long>(int64_t{ctx.TrackSector} - start), count));
        return EndFailedRead(output, file, total,
                             Format("セクタ%dを読み込めません", ctx.TrackSector), r, modeTag, view);
    }
    if (stored) {
        stored = WriteWavHeader(file.Fd(), static_cast<int32_t>(total));
        Cdda.ReaderFinishTrack(&ctx);
        stored = file.Close() && stored;
    }
    if (!stored) {
        // A full disk: the cut file goes at once, so the space is free while the user reads.
        output.Discard();
        ShowMessage("ripping error");
        LogItemFailure(view, r.FileName, kRipFailed, "WAVファイルに書き込めません");
        return TrackEnd::Failed;
    }
    switch (CommitJobOutput(output, r.FileName, kRipFailed, "WAV", view)) {
    case CommitOutcome::Done:
        return TrackEnd::Ripped;
    case CommitOutcome::Failed:
        ShowMessage("ripping error");
        return TrackEnd::Failed;
    case CommitOutcome::Stop:
        break;
    }
    return TrackEnd::Failed;
}

} // namespace

std::array<uint8_t, kWavHeaderBytes> WavHeader(int32_t dataBytes) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    const auto tag = [&h](std::size_t at, const char(&text)[5]) {
        std::copy(text, text + 4, h.begin() + static_cast<std::ptrdiff_t>(at));
    };
    const auto bytes = static_cast<uint32_t>(dataBytes);
    tag(0, "RIFF");
    Put(&h[4], bytes + 36, 4);
    tag(8, "WAVE");
    tag(12, "fmt ");
    Put(&h[16], 16, 4);     // format chunk length
    Put(&h[20], 1, 2);      // PCM
    Put(&h[22], 2, 2);      // channels
    Put(&h[24], 44100, 4);  // samples per second
    Put(&h[28], 176400, 4); // bytes per second
    Put(&h[32], 4, 2);      // bytes per sample frame
    Put(&h[34], 16, 2);     // bits per sample
    tag(36, "data");
    Put(&h[40], bytes, 4);
    return h;
}

bool WriteWavHeader(int fd, int32_t dataBytes) {
    const auto header = WavHeader(dataBytes);
    return lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, header.data(), header.size());
}

bool FolderExists(const std::string& path) {
    return platform::Files().DirectoryExists(path);
}

std::string WorkFolder() {
    return platform::JoinPath(ProgramDir(), "tmp2");
}

std::string WorkFilePath(const std::string& name) {
    return WorkFolder() + "/" + name + ".wav";
}

std::string TrackWavPath(const std::string& name, const std::string& modeTag,
                         const std::string& saveFolder) {
    // A folder typed without its "/" still holds the files: glued to it, "disc_01" would land
    // beside the folder as "<folder>disc_01.wav".
    return modeTag == kCdCdTag ? WorkFilePath(name) : platform::JoinPath(saveFolder, name + ".wav");
}

RipResult RipTracks(CddaContext& context, TrackTableRef table, const std::string& modeTag,
                    const std::string& saveFolder, RipView& view) {
    RipResult result;
    for (int i = 0; i < kTrackRecords; ++i) {
        TrackRecord& r = table[static_cast<std::size_t>(i)];
        if (r.State != TrackRecord::Listed) continue;
        const TrackEnd end = RipTrack(context, r, modeTag, saveFolder, view);
        if (end == TrackEnd::Ripped) {
            result.ripped.push_back(i);
            continue;
        }
        // No retry: the first error ends the ripping, and the user learns which tracks are
        // missing.
        result.stopped = true;
        for (int k = end == TrackEnd::Failed ? i + 1 : i; k < kTrackRecords; ++k) {
            const TrackRecord& rest = table[static_cast<std::size_t>(k)];
            if (rest.State == TrackRecord::Listed)
                LogItemFailure(view, TrackText(rest.TrackNo), kRipFailed, "処理を中止しました");
        }
        return result;
    }
    Cdda.ReaderEndSession(&context);
    return result;
}

} // namespace sv::app

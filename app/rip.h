#pragma once
// Ripping: the listed tracks of the disc read through the CD-DA reader into WAV files of 16-bit
// stereo 44.1 kHz PCM behind a 44-byte RIFF header.
#include "app/job_frame.h"
#include "outside/include/cdda_ex.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sv::app {

// One table-of-contents position of the disc (record i is track i + 1).
struct TrackRecord {
    enum : int32_t { Empty = 0, Listed = 1, Removed = 2 };
    int32_t State = Empty;
    int32_t TrackNo = 0;
    int32_t Seconds = 0;
    std::string FileName; // without folder and extension; the full WAV path once ripped
    std::string Mp3Path;
    std::string ListText; // the list line made from the table of contents
};

inline constexpr int kTrackRecords = 100;
using TrackTableRef = std::span<TrackRecord, kTrackRecords>;

inline constexpr int kWavHeaderBytes = 44;

// The header of a ripped WAV file holding `dataBytes` bytes of PCM.
std::array<uint8_t, kWavHeaderBytes> WavHeader(int32_t dataBytes);
// Writes that header at the start of the file; the file position is afterwards 44. False
// when it could not be written whole.
bool WriteWavHeader(int fd, int32_t dataBytes);

// True when `path` names an existing folder.
bool FolderExists(const std::string& path);

// "[CD_CD]": the work folder "tmp2" of the program folder, and the work file of a track named
// `name` in it.
std::string WorkFolder();
std::string WorkFilePath(const std::string& name);
// The WAV a track named `name` is ripped into: "<name>.wav" in the save folder, whether or not
// its text ends in "/"; with "[CD_CD]" its work file.
std::string TrackWavPath(const std::string& name, const std::string& modeTag,
                         const std::string& saveFolder);

// What ripping asks of the CD form besides the log and the progress bar.
class RipView : public BasicJobView {
public:
    // "トラック" and the number of the track being read.
    virtual void ShowTrack(int32_t trackNo) = 0;
};

struct RipResult {
    // The records whose WAV files are complete, in table order.
    std::vector<int> ripped;
    // Ripping ended before the last listed track.
    bool stopped = false;
};

// Rips every listed record in table order into its TrackWavPath and sets FileName to that path
// and Mp3Path to the same with ".mp3". Each file is written under a temporary name and takes its
// own name only when complete. A failed rip never replaces a file: when nothing was read the
// temporary file goes; a part read takes the track's name, with a header that counts no data,
// only where nothing has that name, and otherwise stays under its temporary name, which the
// failure line tells ("[CD_CD]" keeps no part: a copy needs whole tracks). The first error ends
// the ripping; every track that failed or was not reached is logged as a failure of the job.
RipResult RipTracks(CddaContext& context, TrackTableRef table, const std::string& modeTag,
                    const std::string& saveFolder, RipView& view);

} // namespace sv::app

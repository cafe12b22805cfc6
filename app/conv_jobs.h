#pragma once
// The two job loops of the WAV and MP3 conversion form: WAV files to MP3 through the encoder
// component, MP3 files to WAV through the decoder library; the step that decodes one MP3,
// which the disc-writing form uses too; and the CD form's encoding of the tracks it ripped.
#include "app/job_frame.h"
#include "app/rip.h"

#include <string>
#include <vector>

namespace sv {
class DecoderLibrary;
class TGogoTea;
class TLabel;
class TProgressBar;
} // namespace sv

namespace sv::app {

// The settings a conversion job runs with (read from main.ini when the form is shown).
struct ConvSettings {
    int bitRate = 128;
    int encodeType = 2;
    int convert = 0;
    int freqLimit = 44100;
    int decWait = 300;
    bool sameFolder = false;
    std::string saveFolder;
};

struct EncodeOutcome {
    bool ok = false;
    int errorCode = 0; // the library's, when it reported one
};

// Raised by ItemEncoder::Start when the encoder refuses the job for its one file (a source it
// cannot read, such as a folder or a file that is no WAV, or a destination it cannot make): only
// that item fails.
struct ItemRefused {
    int errorCode;
};

// The encoder as the loop drives it.
class ItemEncoder {
public:
    virtual ~ItemEncoder() = default;
    virtual void Configure(int bitRate, int encodeType) = 0;
    // Starts one file; raises ItemRefused when the encoder refuses that file, and the component's
    // exception when it refuses the job for its settings.
    virtual void Start(const std::string& source, const std::string& destination) = 0;
    // Returns once the started job has finished, with the window alive meanwhile.
    virtual EncodeOutcome WaitForFinish() = 0;
};

// A TGogoTea as the loop's encoder. It takes the component's OnError and OnFinish; a job is
// over only when its finish event has arrived.
class TeaEncoder : public ItemEncoder {
public:
    explicit TeaEncoder(TGogoTea& tea);
    ~TeaEncoder() override;
    TeaEncoder(const TeaEncoder&) = delete;
    TeaEncoder& operator=(const TeaEncoder&) = delete;

    void Configure(int bitRate, int encodeType) override;
    void Start(const std::string& source, const std::string& destination) override;
    EncodeOutcome WaitForFinish() override;

private:
    TGogoTea& tea_;
    bool running_ = false;
    bool aborted_ = false;
    int errorCode_ = 0;
};

// The progress area of a form that runs conversion jobs: the item counter, the bar, and the
// label pairs of the file name and of two settings.
struct ConvProgressControls {
    TLabel* lbl_track = nullptr;
    TProgressBar* prog_main = nullptr;
    TLabel* lbl_filename1 = nullptr;
    TLabel* lbl_filename2 = nullptr;
    TLabel* lbl_bitrate1 = nullptr;
    TLabel* lbl_bitrate2 = nullptr;
    TLabel* lbl_enctype1 = nullptr;
    TLabel* lbl_enctype2 = nullptr;
};

// What a conversion job shows, on those controls, and its pause; the form adds the log, the
// message pump and its buttons.
class ConvJobView : public JobView {
public:
    void Pause(int milliseconds) override;
    void SetProgress(int position) override;
    void ShowItem(int number, int count, const std::string& fileName) override;
    void ShowInfo(const std::string& label1, const std::string& value1,
                  const std::string& label2) override;
    void SetInfoValue2(const std::string& value) override;
    void HideInfo() override;

protected:
    // The form's controls, once it has made them.
    void SetProgressControls(const ConvProgressControls& controls) { c_ = controls; }
    // The six labels of the file name and the settings.
    void SetInfoVisible(bool visible);

private:
    ConvProgressControls c_;
};

// The texts of the encode types 0 to 4; empty for any other value.
std::string EncodeTypeText(int encodeType);

// Encodes `source` into `destination` through a configured encoder: logs the start, waits for
// the finish and gives the MP3 its name only when it is complete. A failure is logged as the
// item's, with the library's code, and the source stays; Stop: the user was told that an old
// MP3 cannot be replaced, and the job ends. The component's exception for a job it refuses goes
// on to the caller.
CommitOutcome EncodeItem(ItemEncoder& encoder, const std::string& source,
                         const std::string& destination, BasicJobView& view);

// Encodes every item; stops early on Cancel, a failed deletion or a refused job (the
// component's exception goes on to the caller).
void EncodeList(const std::vector<std::string>& items, const ConvSettings& settings,
                ItemEncoder& encoder, JobView& view);

// The decode job's info labels: the output rate and the channel conversion.
void ShowDecodeInfo(const ConvSettings& settings, JobView& view);

enum class DecodeOutcome {
    Done,   // the WAV is complete under `destination`
    Failed, // the item failed (logged); nothing new under `destination`
    Stop    // the job ends here; the user was told
};
// Decodes `source` into `destination` with the output settings of `settings` through a
// decoder that was started up: logs the start, moves the progress, waits DECWAIT, and places
// the WAV under its final name only when complete. Every failure is logged as the item's.
// A file of that name is replaced only with `replace`; otherwise, also when it appeared during
// the decode (the disc write decodes only where no WAV is, and would list that one for
// deletion), it stays and the item fails.
DecodeOutcome DecodeItem(DecoderLibrary& decoder, const std::string& source,
                         const std::string& destination, const ConvSettings& settings,
                         JobView& view, bool replace = false);

// CD→MP3 after the rip: the WAV of each record in `ripped` (complete files of this job, in table
// order) is encoded to its Mp3Path and deleted once the MP3 is complete; a track that fails
// keeps its WAV and the next one follows. An existing MP3 is replaced without a question. Stops
// early on a refused deletion the user does not go on from, or an old MP3 that cannot be
// replaced.
void EncodeRippedTracks(TrackTableRef table, const std::vector<int>& ripped, int bitRate,
                        int encodeType, ItemEncoder& encoder, RipView& view);

// Decodes every item through sv::Decoder(); stops early on Cancel, a failed deletion or a file
// that the decoder cannot open or write.
void DecodeList(const std::vector<std::string>& items, const ConvSettings& settings, JobView& view);

} // namespace sv::app

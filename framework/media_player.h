#pragma once
#include "framework/exception.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sv {

enum TMPDeviceTypes { dtAutoSelect, dtWaveAudio, dtMPEGAudio, dtCDAudio };
enum TMPTimeFormats { tfMilliseconds, tfSamples, tfBytes, tfTMSF };
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpPaused };

// A stream of CD audio: 16-bit little-endian stereo PCM at 44.1 kHz.
class TPcmSource {
public:
    virtual ~TPcmSource() = default;
    // Fills up to `bytes` and returns how many it gave; 0 at the end or on a read failure.
    virtual int64_t Read(uint8_t* buffer, int64_t bytes) = 0;
};

// Where the player's sound goes: Qt Multimedia in the programs, a recording double in tests.
// Implementations report backend failures through Error() and never throw.
class TMediaOutput {
public:
    virtual ~TMediaOutput() = default;
    virtual void Load(const std::string& path) = 0;
    // A stream instead of a file; PositionMs then counts from its start.
    virtual void LoadPcm(std::unique_ptr<TPcmSource> source) = 0;
    virtual void Play() = 0;  // from the current position
    virtual void Pause() = 0; // keeps the position
    virtual void Seek(int64_t milliseconds) = 0;
    virtual void Unload() = 0;
    virtual int64_t PositionMs() const = 0;
    virtual bool AtEnd() const = 0;        // played to the end since the last Play
    virtual std::string Error() const = 0; // the backend's last failure, empty if none
    // Whether any device takes the sound: a machine without one would play into nothing.
    virtual bool HasDevice() const = 0;
};

using TMediaOutputFactory = std::function<std::unique_ptr<TMediaOutput>()>;

// The output that players created afterwards use; an empty factory restores Qt Multimedia.
void SetMediaOutputFactory(TMediaOutputFactory factory);

// Why Play refuses on a machine without an audio output.
inline constexpr const char* kNoAudioOutput = "音声出力デバイスが見つからないため再生できません。";

// Plays WAV and MP3 files by name, and the tracks of an audio CD. Lengths are known as soon as a
// file is open (from the WAV header, or by scanning every MP3 frame); every operation on a closed
// device does nothing, and a file that cannot be opened or played raises Exception, as does Play
// where the machine has no audio output (kNoAudioOutput).
//
// CD audio (DeviceType dtCDAudio): FileName names the drive, either by the name the CD-DA reader
// lists it under ("<vendor> <model> (N:0:0)" for /dev/srN, "<image.cue> (I:0:0)" for a disc
// image of CDDA_EX_IMAGES) or by its device or cue path. Open reads the disc's table of
// contents on a handle of its own; Play reads the audio digitally from the start position (or
// the current one) to the end of that run of audio tracks. Positions count from the disc's
// first sector.
class TMediaPlayer {
public:
    TMediaPlayer();
    explicit TMediaPlayer(std::unique_ptr<TMediaOutput> output);
    ~TMediaPlayer();
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    // Opens FileName, closing what was open; dtAutoSelect tells WAV from MP3 by the content.
    void Open();
    void Close();
    void Play();   // from the position; from the start once played to the end
    void Stop();   // halts and keeps the position
    void Pause();  // only while playing
    void Resume(); // only while paused

    // CD audio: the position of track `track` (from 1) in TimeFormat; raises for no such track.
    int64_t TrackPosition(int track) const;
    // Where the next Play starts (in TimeFormat), once; Play without it goes on from Position.
    void SetStartPos(int64_t position);

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }
    TMPDeviceTypes DeviceType() const { return deviceType_; }
    void SetDeviceType(TMPDeviceTypes type) { deviceType_ = type; }
    TMPTimeFormats TimeFormat() const { return timeFormat_; }
    void SetTimeFormat(TMPTimeFormats format) { timeFormat_ = format; }

    // In TimeFormat; 0 when closed.
    int64_t Length() const;
    int64_t Position() const;
    TMPModes Mode() const;
    // Non-zero while a file is open, different for every open.
    unsigned DeviceID() const { return deviceId_; }

    // What an open file holds, for a device that is open.
    struct Media {
        TMPDeviceTypes type = dtAutoSelect;
        int rate = 0;
        int channels = 0;
        int blockAlign = 0; // bytes of one sample frame (decoded 16-bit PCM for MP3)
        int64_t samples = 0;
    };

    struct CdDisc;

private:
    int64_t FromMilliseconds(int64_t milliseconds) const;
    int64_t ToMilliseconds(int64_t position) const;
    void OutputNeeded();
    void PlayCd();

    std::unique_ptr<TMediaOutput> output_;
    std::string fileName_;
    TMPDeviceTypes deviceType_ = dtAutoSelect;
    TMPTimeFormats timeFormat_ = tfMilliseconds;
    unsigned deviceId_ = 0;
    bool loaded_ = false; // the open file is in the output
    TMPModes mode_ = mpNotReady;
    Media media_;
    std::shared_ptr<CdDisc> disc_;   // the open CD
    int64_t baseMs_ = 0;             // where the loaded CD stream starts
    std::optional<int64_t> startMs_; // SetStartPos, for the next Play
};

} // namespace sv

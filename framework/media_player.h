#pragma once
#include "framework/exception.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sv {

enum TMPDeviceTypes { dtAutoSelect, dtWaveAudio, dtMPEGAudio, dtCDAudio };
enum TMPTimeFormats { tfMilliseconds, tfSamples, tfBytes, tfTMSF };
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpPaused };

// Where the player's sound goes: Qt Multimedia in the programs, a recording double in tests.
// Implementations report backend failures through Error() and never throw.
class TMediaOutput {
public:
    virtual ~TMediaOutput() = default;
    virtual void Load(const std::string& path) = 0;
    virtual void Play() = 0;  // from the current position
    virtual void Pause() = 0; // keeps the position
    virtual void Seek(int64_t milliseconds) = 0;
    virtual void Unload() = 0;
    virtual int64_t PositionMs() const = 0;
    virtual bool AtEnd() const = 0;        // played to the end since the last Play
    virtual std::string Error() const = 0; // the backend's last failure, empty if none
};

using TMediaOutputFactory = std::function<std::unique_ptr<TMediaOutput>()>;

// The output that players created afterwards use; an empty factory restores Qt Multimedia.
void SetMediaOutputFactory(TMediaOutputFactory factory);

// Plays WAV and MP3 files by name. Lengths are known as soon as a file is open (from the WAV
// header, or by scanning every MP3 frame); every operation on a closed device does nothing, and
// a file that cannot be opened or played raises Exception.
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

private:
    int64_t FromMilliseconds(int64_t milliseconds) const;

    std::unique_ptr<TMediaOutput> output_;
    std::string fileName_;
    TMPDeviceTypes deviceType_ = dtAutoSelect;
    TMPTimeFormats timeFormat_ = tfMilliseconds;
    unsigned deviceId_ = 0;
    bool loaded_ = false; // the open file is in the output
    TMPModes mode_ = mpNotReady;
    Media media_;
};

} // namespace sv

// A media output that plays nothing and records what the player asked of it.
#pragma once
#include "framework/media_player.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace svtest {

// What the outputs made through the factory below did, and what they report back.
struct MediaOutputLog {
    // "Load <path>", "LoadPcm", "Play", "Pause", "Seek <ms>", "Unload"
    std::vector<std::string> calls;
    std::vector<uint8_t> pcm; // what the last stream gave, read whole at LoadPcm
    int64_t position = 0;
    bool atEnd = false;
    std::string error;
    bool device = true; // an audio output device exists
};

class RecordingMediaOutput : public sv::TMediaOutput {
public:
    explicit RecordingMediaOutput(MediaOutputLog& log) : log_(log) {}
    void Load(const std::string& path) override { log_.calls.push_back("Load " + path); }
    void LoadPcm(std::unique_ptr<sv::TPcmSource> source) override {
        log_.calls.push_back("LoadPcm");
        log_.pcm.clear();
        uint8_t chunk[5000]; // not a multiple of a sector
        while (const int64_t n = source->Read(chunk, sizeof chunk))
            log_.pcm.insert(log_.pcm.end(), chunk, chunk + n);
    }
    void Play() override {
        log_.atEnd = false;
        log_.calls.push_back("Play");
    }
    void Pause() override { log_.calls.push_back("Pause"); }
    void Seek(int64_t milliseconds) override {
        log_.position = milliseconds;
        log_.calls.push_back("Seek " + std::to_string(milliseconds));
    }
    void Unload() override { log_.calls.push_back("Unload"); }
    int64_t PositionMs() const override { return log_.position; }
    bool AtEnd() const override { return log_.atEnd; }
    std::string Error() const override { return log_.error; }
    bool HasDevice() const override { return log_.device; }

private:
    MediaOutputLog& log_;
};

// Every player created while this lives records into `log` instead of playing.
class RecordingMediaOutputs {
public:
    explicit RecordingMediaOutputs(MediaOutputLog& log) {
        sv::SetMediaOutputFactory([&log] { return std::make_unique<RecordingMediaOutput>(log); });
    }
    ~RecordingMediaOutputs() { sv::SetMediaOutputFactory(nullptr); }
    RecordingMediaOutputs(const RecordingMediaOutputs&) = delete;
    RecordingMediaOutputs& operator=(const RecordingMediaOutputs&) = delete;
};

} // namespace svtest

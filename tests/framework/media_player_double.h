// A media output that plays nothing and records what the player asked of it.
#pragma once
#include "framework/media_player.h"

#include <memory>
#include <string>
#include <vector>

namespace svtest {

// What the outputs made through the factory below did, and what they report back.
struct MediaOutputLog {
    std::vector<std::string> calls; // "Load <path>", "Play", "Pause", "Seek <ms>", "Unload"
    int64_t position = 0;
    bool atEnd = false;
    std::string error;
};

class RecordingMediaOutput : public sv::TMediaOutput {
public:
    explicit RecordingMediaOutput(MediaOutputLog& log) : log_(log) {}
    void Load(const std::string& path) override { log_.calls.push_back("Load " + path); }
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

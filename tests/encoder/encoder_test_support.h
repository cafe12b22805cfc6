#pragma once
// Helpers of the encoder tests: waiting for events, steering the fake library, making WAVs.
#include "platform/program_folder.h"
#include "tests/fakes/gogo/fake_gogo_control.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace sv::test {

// Runs the event loop until `done` holds or the time is up; false on time-out.
template <class Pred> bool WaitFor(Pred done, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Processes events for a while, for checks that nothing more arrives.
inline void Drain(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

inline std::string ProgramLibraryPath() {
    return platform::JoinPath(platform::ProgramFolder(), "libgogo.so");
}

inline bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// The fake library as the binding loaded it; holding this keeps it loaded.
class FakeGogo {
public:
    FakeGogo() : handle_(dlopen(ProgramLibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        EXPECT_NE(handle_, nullptr) << "the fake library is not loaded";
    }
    ~FakeGogo() {
        if (handle_) dlclose(handle_);
    }
    FakeGogo(const FakeGogo&) = delete;
    FakeGogo& operator=(const FakeGogo&) = delete;

    template <class Fn> Fn* Get(const char* name) const {
        return reinterpret_cast<Fn*>(handle_ ? dlsym(handle_, name) : nullptr);
    }
    void Reset() const { Get<decltype(fakegogo_reset)>("fakegogo_reset")(); }
    void SetVersion(uint32_t code, const char* text = "fake", int32_t result = 0) const {
        Get<decltype(fakegogo_set_version)>("fakegogo_set_version")(code, text, result);
    }
    void SetUnitStates(uint32_t states, int32_t result = 0) const {
        Get<decltype(fakegogo_set_unit_states)>("fakegogo_set_unit_states")(states, result);
    }
    void SetInitializeResult(int32_t r) const {
        Get<decltype(fakegogo_set_initialize_result)>("fakegogo_set_initialize_result")(r);
    }
    void SetDetectResult(int32_t r) const {
        Get<decltype(fakegogo_set_detect_result)>("fakegogo_set_detect_result")(r);
    }
    void SetFrames(int32_t n) const {
        Get<decltype(fakegogo_set_frames)>("fakegogo_set_frames")(n);
    }
    void SetFailingFrame(int32_t frame, int32_t code) const {
        Get<decltype(fakegogo_set_failing_frame)>("fakegogo_set_failing_frame")(frame, code);
    }
    void SetFrameDelayUs(int32_t us) const {
        Get<decltype(fakegogo_set_frame_delay_us)>("fakegogo_set_frame_delay_us")(us);
    }
    void SetMemoryRequest(int32_t bytes) const {
        Get<decltype(fakegogo_set_memory_request)>("fakegogo_set_memory_request")(bytes);
    }
    void ClearLog() const { Get<decltype(fakegogo_clear_log)>("fakegogo_clear_log")(); }
    int32_t FramesProcessed() const {
        return Get<decltype(fakegogo_frames_processed)>("fakegogo_frames_processed")();
    }
    std::vector<std::string> Log() const {
        auto log = Get<decltype(fakegogo_log)>("fakegogo_log");
        std::string text(log(nullptr, 0) + 1, '\0');
        log(text.data(), text.size());
        std::vector<std::string> lines;
        std::istringstream in(text.c_str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::string MemoryData() const {
        auto data = Get<decltype(fakegogo_memory_data)>("fakegogo_memory_data");
        std::string bytes(data(nullptr, 0), '\0');
        data(bytes.data(), bytes.size());
        return bytes;
    }

private:
    void* handle_;
};

inline void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct WavSpec {
    int channels = 2;
    int rate = 44100;
    int bits = 16;
    int format = 1;
    uint32_t samples = 44100;
    std::string chunksBeforeData; // raw chunks placed between "fmt " and "data"
};

// A RIFF WAVE file holding a tone.
inline std::string MakeWav(const WavSpec& spec) {
    const int block = spec.channels * spec.bits / 8;
    std::string data;
    data.reserve(static_cast<size_t>(spec.samples) * block);
    for (uint32_t i = 0; i < spec.samples; ++i) {
        for (int c = 0; c < spec.channels; ++c) {
            int v = static_cast<int>(((i * (c + 3) * 37) % 2000)) * 8 - 8000;
            if (spec.bits == 16)
                PutLe(data, static_cast<uint16_t>(v), 2);
            else
                data += static_cast<char>(v >> 8);
        }
    }
    std::string out = "RIFF";
    PutLe(out, static_cast<uint32_t>(4 + 24 + spec.chunksBeforeData.size() + 8 + data.size()), 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, static_cast<uint32_t>(spec.format), 2);
    PutLe(out, static_cast<uint32_t>(spec.channels), 2);
    PutLe(out, static_cast<uint32_t>(spec.rate), 4);
    PutLe(out, static_cast<uint32_t>(spec.rate * block), 4);
    PutLe(out, static_cast<uint32_t>(block), 2);
    PutLe(out, static_cast<uint32_t>(spec.bits), 2);
    out += spec.chunksBeforeData;
    out += "data";
    PutLe(out, static_cast<uint32_t>(data.size()), 4);
    return out + data;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace sv::test

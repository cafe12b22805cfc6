// Records every call and answers as the test has set it.
#include "outside/include/gogo.h"
#include "tests/fakes/gogo/fake_gogo_control.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace {

struct Settings {
    uint32_t version = 0x0230;
    std::string versionText = "fake";
    int32_t versionResult = 0;
    uint32_t unitStates = 0x2E;
    int32_t unitResult = 0;
    int32_t initializeResult = 0;
    int32_t detectResult = 0;
    int32_t frames = 250;
    int32_t failingFrame = 0;
    int32_t failingCode = 0;
    int32_t delayUs = 0;
    int32_t memoryRequest = 4608;
};

std::mutex g_mutex;
Settings g_settings;
std::string g_log;
int32_t g_calls = 0;
bool g_memoryInput = false;
MPGE_READ_CALLBACK g_read = nullptr;
std::vector<char> g_memory;

void Log(const std::string& line) {
    std::lock_guard lock(g_mutex);
    g_log += line + "\n";
}

std::string Text(MPGE_VALUE address) {
    return address ? "'" + std::string(reinterpret_cast<const char*>(address)) + "'" : "null";
}

size_t CopyOut(const std::string& s, char* buffer, size_t size) {
    if (buffer && size > 0) {
        size_t n = std::min(size - 1, s.size());
        std::memcpy(buffer, s.data(), n);
        buffer[n] = 0;
    }
    return s.size();
}

} // namespace

extern "C" {

FAKE_EXPORT void fakegogo_reset() {
    std::lock_guard lock(g_mutex);
    g_settings = Settings{};
    g_log.clear();
    g_calls = 0;
    g_memory.clear();
}
FAKE_EXPORT void fakegogo_set_version(uint32_t code, const char* text, int32_t result) {
    std::lock_guard lock(g_mutex);
    g_settings.version = code;
    g_settings.versionText = text;
    g_settings.versionResult = result;
}
FAKE_EXPORT void fakegogo_set_unit_states(uint32_t states, int32_t result) {
    std::lock_guard lock(g_mutex);
    g_settings.unitStates = states;
    g_settings.unitResult = result;
}
FAKE_EXPORT void fakegogo_set_initialize_result(int32_t result) {
    std::lock_guard lock(g_mutex);
    g_settings.initializeResult = result;
}
FAKE_EXPORT void fakegogo_set_detect_result(int32_t result) {
    std::lock_guard lock(g_mutex);
    g_settings.detectResult = result;
}
FAKE_EXPORT void fakegogo_set_frames(int32_t frames) {
    std::lock_guard lock(g_mutex);
    g_settings.frames = frames;
}
FAKE_EXPORT void fakegogo_set_failing_frame(int32_t frame, int32_t code) {
    std::lock_guard lock(g_mutex);
    g_settings.failingFrame = frame;
    g_settings.failingCode = code;
}
FAKE_EXPORT void fakegogo_set_frame_delay_us(int32_t microseconds) {
    std::lock_guard lock(g_mutex);
    g_settings.delayUs = microseconds;
}
FAKE_EXPORT void fakegogo_set_memory_request(int32_t bytes) {
    std::lock_guard lock(g_mutex);
    g_settings.memoryRequest = bytes;
}
FAKE_EXPORT size_t fakegogo_log(char* buffer, size_t size) {
    std::lock_guard lock(g_mutex);
    return CopyOut(g_log, buffer, size);
}
FAKE_EXPORT void fakegogo_clear_log() {
    std::lock_guard lock(g_mutex);
    g_log.clear();
}
FAKE_EXPORT int32_t fakegogo_frames_processed() {
    std::lock_guard lock(g_mutex);
    return g_calls;
}
FAKE_EXPORT size_t fakegogo_memory_data(char* buffer, size_t size) {
    std::lock_guard lock(g_mutex);
    std::string s(g_memory.begin(), g_memory.end());
    if (buffer) std::memcpy(buffer, s.data(), std::min(size, s.size()));
    return s.size();
}

FAKE_EXPORT MPGE_RESULT MPGE_initializeWork(void) {
    Log("initializeWork");
    std::lock_guard lock(g_mutex);
    g_calls = 0;
    g_memoryInput = false;
    return g_settings.initializeResult;
}

FAKE_EXPORT MPGE_RESULT MPGE_setConfigure(uint32_t id, MPGE_VALUE v1, MPGE_VALUE v2) {
    std::string args = std::to_string(id) + "," + std::to_string(v1) + ",";
    if ((id == 1 && v1 == 0) || id == 2) {
        args += Text(v2);
    } else if (id == 1 && v1 == 2 && v2) {
        auto* m = reinterpret_cast<const MPGE_MEMORY_INPUT*>(v2);
        args += "mem{" + std::to_string(m->total_size) + "," + std::to_string(m->bits_per_sample) +
                "," + std::to_string(m->sample_rate) + "," + std::to_string(m->channels) + "}";
        std::lock_guard lock(g_mutex);
        g_memoryInput = true;
        g_read = m->read;
    } else if ((id == 16 || id == 27) && v2) {
        args += "'" + std::string(reinterpret_cast<const char*>(v2), v1) + "'";
    } else {
        args += std::to_string(v2);
    }
    Log("setConfigure(" + args + ")");
    return MPGE_OK;
}

FAKE_EXPORT MPGE_RESULT MPGE_getConfigure(uint32_t id, void* result) {
    Log("getConfigure(" + std::to_string(id) + ")");
    std::lock_guard lock(g_mutex);
    if (id == MPGE_CFG_FRAME_COUNT && result) std::memcpy(result, &g_settings.frames, 4);
    return MPGE_OK;
}

FAKE_EXPORT MPGE_RESULT MPGE_detectConfigure(void) {
    Log("detectConfigure");
    int32_t r;
    {
        std::lock_guard lock(g_mutex);
        r = g_settings.detectResult;
    }
    if (r < 0) throw std::runtime_error("detect fault");
    return r;
}

FAKE_EXPORT MPGE_RESULT MPGE_processFrame(void) {
    Settings s;
    int32_t call;
    bool memory;
    MPGE_READ_CALLBACK read;
    {
        std::lock_guard lock(g_mutex);
        s = g_settings;
        call = ++g_calls;
        memory = g_memoryInput;
        read = g_read;
    }
    if (s.delayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(s.delayUs));
    if (call == s.failingFrame) {
        if (s.failingCode < 0) throw std::runtime_error("frame fault");
        return s.failingCode;
    }
    if (memory) {
        std::vector<char> buffer(static_cast<size_t>(s.memoryRequest), '\x7f');
        if (read(buffer.data(), s.memoryRequest) != 0) return MPGE_END_OF_STREAM;
        std::lock_guard lock(g_mutex);
        g_memory.insert(g_memory.end(), buffer.begin(), buffer.end());
        return MPGE_OK;
    }
    return call <= s.frames ? MPGE_OK : MPGE_END_OF_STREAM;
}

FAKE_EXPORT MPGE_RESULT MPGE_closeCoder(void) {
    Log("closeCoder");
    return MPGE_OK;
}

FAKE_EXPORT MPGE_RESULT MPGE_endCoder(void) {
    Log("endCoder");
    return MPGE_OK;
}

FAKE_EXPORT MPGE_RESULT MPGE_getUnitStates(uint32_t* unit) {
    std::lock_guard lock(g_mutex);
    *unit = g_settings.unitStates;
    return g_settings.unitResult;
}

#ifndef FAKE_GOGO_NO_VERSION
FAKE_EXPORT MPGE_RESULT MPGE_getVersion(uint32_t* code, char* text) {
    std::lock_guard lock(g_mutex);
    *code = g_settings.version;
    CopyOut(g_settings.versionText, text, MPGE_VERSION_TEXT_SIZE);
    return g_settings.versionResult;
}
#endif

} // extern "C"

// Encodes a generated 3-minute 44.1 kHz stereo WAV at 128 kbit/s joint stereo through TGogoTea
// (with an event loop running, as the forms do) and directly through libmp3lame with the same
// settings, and prints the times and their ratio. Usage: gogo_bench [runs] [--normal]
#include "encoder/gogo_tea.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <lame/lame.h>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 180;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ProcessCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ThreadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void Le(std::string& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Music-like material: a few drifting partials and a little noise, so the encoder works as hard
// as on real audio.
std::string MakeWav() {
    const uint32_t samples = kRate * kSeconds;
    std::string out = "RIFF";
    Le(out, 36 + samples * 4, 4);
    out += "WAVEfmt ";
    Le(out, 16, 4);
    Le(out, 1, 2);
    Le(out, 2, 2);
    Le(out, kRate, 4);
    Le(out, kRate * 4, 4);
    Le(out, 4, 2);
    Le(out, 16, 2);
    out += "data";
    Le(out, samples * 4, 4);
    out.reserve(out.size() + samples * 4);
    uint32_t noise = 12345;
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        for (int c = 0; c < 2; ++c) {
            noise = noise * 1664525u + 1013904223u;
            double v = 0.3 * std::sin(2 * M_PI * (220 + 30 * std::sin(t * 0.5)) * t + c) +
                       0.2 * std::sin(2 * M_PI * 1375 * t * (1 + 0.01 * c)) +
                       0.1 * std::sin(2 * M_PI * 5120 * t) +
                       0.05 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
            Le(out, static_cast<uint16_t>(static_cast<int16_t>(v * 30000)), 2);
        }
    }
    return out;
}

// The library alone, with the settings the component's default job gives the stand-in.
bool EncodeDirect(const std::string& wav, const std::string& mp3) {
    FILE* in = std::fopen(wav.c_str(), "rb");
    FILE* out = std::fopen(mp3.c_str(), "wb");
    if (!in || !out) return false;
    std::fseek(in, 44, SEEK_SET);
    lame_global_flags* g = lame_init();
    lame_set_num_channels(g, 2);
    lame_set_in_samplerate(g, kRate);
    lame_set_out_samplerate(g, kRate);
    lame_set_mode(g, JOINT_STEREO);
    lame_set_quality(g, 5);
    lame_set_emphasis(g, 0);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, 128);
    lame_set_bWriteVbrTag(g, 1);
    lame_set_write_id3tag_automatic(g, 0);
    bool ok = lame_init_params(g) >= 0;
    const int frame = lame_get_framesize(g);
    std::vector<unsigned char> raw(static_cast<size_t>(frame) * 4);
    std::vector<short> pcm(static_cast<size_t>(frame) * 2);
    std::vector<unsigned char> buf(static_cast<size_t>(frame) * 5 / 4 + 7200);
    while (ok) {
        const size_t got = std::fread(raw.data(), 4, static_cast<size_t>(frame), in);
        if (got == 0) break;
        for (size_t i = 0; i < got * 2; ++i)
            pcm[i] = static_cast<short>(raw[2 * i] | raw[2 * i + 1] << 8);
        int n = lame_encode_buffer_interleaved(g, pcm.data(), static_cast<int>(got), buf.data(),
                                               static_cast<int>(buf.size()));
        ok = n >= 0 &&
             std::fwrite(buf.data(), 1, static_cast<size_t>(n), out) == static_cast<size_t>(n);
    }
    int n = lame_encode_flush(g, buf.data(), static_cast<int>(buf.size()));
    ok = ok && n >= 0 && std::fwrite(buf.data(), 1, static_cast<size_t>(n), out) == size_t(n);
    unsigned char tag[2880];
    size_t tagSize = lame_get_lametag_frame(g, tag, sizeof tag);
    if (ok && tagSize > 0 && tagSize <= sizeof tag) {
        std::fseek(out, 0, SEEK_SET);
        std::fwrite(tag, 1, tagSize, out);
    }
    lame_close(g);
    std::fclose(in);
    return std::fclose(out) == 0 && ok;
}

struct ComponentRun {
    double wall = 0;
    double cpu = 0;
    double waitingCpu = 0;
    bool ok = false;
};

ComponentRun EncodeWithComponent(sv::TGogoTea& tea, const std::string& wav,
                                 const std::string& mp3) {
    ComponentRun run;
    QEventLoop loop;
    tea.OnFinish = [&](sv::TObject*, bool aborted) {
        run.ok = !aborted;
        loop.quit();
    };
    tea.SetSourceFile(wav);
    tea.SetDestFile(mp3);
    const double start = Now();
    const double cpu = ThreadCpu();
    const double processCpu = ProcessCpu();
    tea.Execute();
    loop.exec();
    run.waitingCpu = ThreadCpu() - cpu;
    run.cpu = ProcessCpu() - processCpu;
    run.wall = Now() - start;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 3;
    bool normal = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--normal") == 0)
            normal = true;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string wav = folder + "/bench.wav", mp3 = folder + "/bench.mp3",
                      direct = folder + "/direct.mp3";
    std::ofstream(wav, std::ios::binary) << MakeWav();

    try {
        sv::TGogoTea tea(nullptr);
        // The forms run the worker at idle priority; --normal compares at equal priority.
        tea.SetPriority(normal ? sv::tpNormal : sv::tpIdle);
        std::printf("library: %s\n", tea.VersionString().c_str());
        std::printf("%d s of 44.1 kHz stereo at 128 kbit/s joint stereo, worker priority %s\n",
                    kSeconds, normal ? "normal" : "idle (as the forms)");
        double bestComponent = 1e9, bestDirect = 1e9, waiting = 0;
        double cpuComponent = 1e9, cpuDirect = 1e9;
        for (int i = 0; i < runs; ++i) {
            ComponentRun run = EncodeWithComponent(tea, wav, mp3);
            if (!run.ok) {
                std::fprintf(stderr, "component encode failed (result %d)\n", tea.EncodeResult());
                return 1;
            }
            const double start = Now();
            const double startCpu = ProcessCpu();
            if (!EncodeDirect(wav, direct)) {
                std::fprintf(stderr, "direct encode failed\n");
                return 1;
            }
            const double directTime = Now() - start;
            const double directCpu = ProcessCpu() - startCpu;
            std::printf("run %d: component %.3f s (CPU %.3f s, of it UI thread %.4f s), library "
                        "alone %.3f s (CPU %.3f s)\n",
                        i + 1, run.wall, run.cpu, run.waitingCpu, directTime, directCpu);
            cpuComponent = std::min(cpuComponent, run.cpu);
            cpuDirect = std::min(cpuDirect, directCpu);
            bestComponent = std::min(bestComponent, run.wall);
            bestDirect = std::min(bestDirect, directTime);
            waiting = std::max(waiting, run.waitingCpu);
        }
        std::printf("best wall time: component %.3f s, library alone %.3f s, ratio %.3f "
                    "(goal <= 1.05)\n",
                    bestComponent, bestDirect, bestComponent / bestDirect);
        std::printf("best CPU time: component %.3f s, library alone %.3f s, ratio %.3f; "
                    "waiting side at most %.4f s CPU\n",
                    cpuComponent, cpuDirect, cpuComponent / cpuDirect, waiting);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

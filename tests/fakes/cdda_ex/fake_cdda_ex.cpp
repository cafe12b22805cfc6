// A scripted CD-DA reader: drives, table of contents and read errors as a test sets them, and a
// log of every call. Variants (by definition): FAKE_CDDA_VERSION overrides the version,
// FAKE_CDDA_NULL_ENTRY leaves that entry's address 0, FAKE_CDDA_NO_EXPORT exports no
// _cdda_get_function.
#include "outside/include/cdda_ex.h"
#include "tests/fakes/cdda_ex/fake_cdda_ex_control.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef FAKE_CDDA_VERSION
#define FAKE_CDDA_VERSION CDDA_EX_VERSION
#endif

namespace {

struct Script {
    int32_t drives = 1;
    int32_t scanStatus = 0;
    std::vector<int32_t> types;
    std::vector<int32_t> starts;
    int32_t multi[4] = {0, 0, 0, 0};
    bool multiSession = false;
    int32_t errorIndex = -1, errorChunk = 0, errorStatus = 0;
    int32_t prepareStatus = 0;
    int32_t chunkSectors = 10;
    std::string log;
    // Reading state.
    int32_t prepared = -1;
    int32_t next = 0, end = 0, chunk = 0;
    std::vector<uint8_t> buffer;
};

Script& S() {
    static Script script;
    return script;
}

void Log(const std::string& call) {
    S().log += call + "\n";
}

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

void Init(CddaContext* c) {
    Log("ReaderInit");
    c->Status = 0;
}
void Release(CddaContext* c) {
    Log("ReaderRelease");
    S().prepared = -1;
    c->Status = 0;
}
void Scan(CddaContext* c) {
    Log("ReaderScanDrives");
    c->Status = S().scanStatus;
    if (S().scanStatus < 0) return;
    c->DriveCount = S().drives;
    std::memset(c->DriveName, 0, sizeof c->DriveName);
    for (int k = 0; k < S().drives && k < CDDA_EX_MAX_DRIVES; ++k)
        std::snprintf(c->DriveName[k], CDDA_EX_DRIVE_NAME_SIZE, "FAKE DRIVE (%d:0:0)", k);
}
void Select(CddaContext* c, int32_t index) {
    Log("ReaderSelectDrive(" + std::to_string(index) + ")");
    c->Status = index < 0 || index >= S().drives ? CDDA_EX_ERR_DEVICE_NUMBER : 0;
}
void EndSession(CddaContext* c) {
    Log("ReaderEndSession");
    c->Status = 0;
}
void ReadToc(CddaContext* c) {
    Log("ReaderReadToc");
    const auto count = static_cast<int32_t>(S().types.size());
    c->TrackCount = count;
    for (int32_t i = 0; i < count; ++i) c->TrackType[i] = S().types[i];
    // A disc without tracks has no lead-out either.
    for (int32_t i = 0; i <= count && i < static_cast<int32_t>(S().starts.size()); ++i)
        c->TrackStart[i] = S().starts[i];
    c->MultiSession = S().multiSession ? 1 : 0;
    c->Status = count ? 0 : CDDA_EX_ERR_NO_DISC;
}
void SessionInfo(CddaContext* c) {
    Log("ReaderSessionInfo");
    c->SessionFirst = S().multi[0];
    c->SessionLast = S().multi[1];
    c->SessionChangeTrack = S().multi[2];
    c->SessionAddress = S().multi[3];
    c->Status = 0;
}
void Prepare(CddaContext* c, int32_t index) {
    Log("ReaderPrepareTrack(" + std::to_string(index) + ")");
    Script& s = S();
    s.prepared = -1;
    // A track that is not prepared has no numbers: none left from an earlier track.
    c->TrackSector = 0;
    c->TrackSectors = 0;
    const auto count = static_cast<int32_t>(s.types.size());
    if (s.prepareStatus < 0) {
        c->Status = s.prepareStatus;
        return;
    }
    if (index < 0 || index >= count || s.types[index] != CDDA_EX_TRACK_AUDIO ||
        s.starts[index + 1] <= s.starts[index]) {
        c->Status = CDDA_EX_ERR_NO_AUDIO;
        return;
    }
    s.prepared = index;
    s.next = s.starts[index];
    s.end = s.starts[index + 1];
    s.chunk = 0;
    c->TrackSector = s.next;
    c->TrackSectors = s.end - s.next;
    c->Status = 0;
}
void Finish(CddaContext* c) {
    Log("ReaderFinishTrack");
    S().prepared = -1;
    c->Status = 0;
}
void ReadChunk(CddaContext* c) {
    Script& s = S();
    c->BufferBytes = 0;
    if (s.prepared < 0) {
        Log("ReaderReadChunk");
        c->Status = CDDA_EX_ERR_NOT_PREPARED;
        return;
    }
    const int32_t sectors = std::min(s.chunkSectors, s.end - s.next);
    s.buffer.resize(static_cast<size_t>(sectors) * CDDA_EX_SECTOR_BYTES);
    const int64_t offset = int64_t{s.next - s.starts[s.prepared]} * CDDA_EX_SECTOR_BYTES;
    for (size_t k = 0; k < s.buffer.size(); ++k)
        s.buffer[k] = fakecdda_byte(s.prepared, offset + static_cast<int64_t>(k));
    c->Buffer = s.buffer.data();
    c->BufferBytes = static_cast<int32_t>(s.buffer.size());
    s.next += sectors;
    c->TrackSector = s.next;
    ++s.chunk;
    if (s.prepared == s.errorIndex && s.chunk == s.errorChunk) {
        c->Status = s.errorStatus;
        s.prepared = -1;
    } else if (s.next >= s.end) {
        c->Status = 1;
        s.prepared = -1;
    } else {
        c->Status = 0;
    }
}

} // namespace

FAKE_EXPORT void fakecdda_reset() {
    S() = Script{};
}
FAKE_EXPORT void fakecdda_set_drives(int32_t count) {
    S().drives = count;
}
FAKE_EXPORT void fakecdda_set_scan_status(int32_t status) {
    S().scanStatus = status;
}
FAKE_EXPORT void fakecdda_set_tracks(int32_t count, const int32_t* types, const int32_t* starts) {
    S().types.assign(types, types + count);
    S().starts.assign(starts, starts + count + 1);
}
FAKE_EXPORT void fakecdda_set_multisession(int32_t first, int32_t last, int32_t changeTrack,
                                           int32_t address) {
    S().multiSession = true;
    S().multi[0] = first;
    S().multi[1] = last;
    S().multi[2] = changeTrack;
    S().multi[3] = address;
}
FAKE_EXPORT void fakecdda_set_read_error(int32_t index, int32_t chunk, int32_t status) {
    S().errorIndex = index;
    S().errorChunk = chunk;
    S().errorStatus = status;
}
FAKE_EXPORT void fakecdda_set_prepare_status(int32_t status) {
    S().prepareStatus = status;
}
FAKE_EXPORT void fakecdda_set_chunk_sectors(int32_t sectors) {
    S().chunkSectors = sectors;
}
FAKE_EXPORT uint8_t fakecdda_byte(int32_t index, int64_t k) {
    return static_cast<uint8_t>((index * 31 + k) & 0xFF);
}
FAKE_EXPORT size_t fakecdda_log(char* buffer, size_t size) {
    const std::string& log = S().log;
    if (buffer && size) {
        const size_t n = std::min(size - 1, log.size());
        std::memcpy(buffer, log.data(), n);
        buffer[n] = 0;
    }
    return log.size();
}
FAKE_EXPORT void fakecdda_clear_log() {
    S().log.clear();
}

// The variant without the entry point has it under another name.
#ifdef FAKE_CDDA_NO_EXPORT
#define FAKE_GET_FUNCTION cdda_get_function_misnamed
#else
#define FAKE_GET_FUNCTION _cdda_get_function
#endif
FAKE_EXPORT void FAKE_GET_FUNCTION(CddaDescriptor* d) {
    const uintptr_t words[CDDA_EX_ENTRIES] = {
        reinterpret_cast<uintptr_t>(&Init),        reinterpret_cast<uintptr_t>(&Release),
        reinterpret_cast<uintptr_t>(&Scan),        reinterpret_cast<uintptr_t>(&Select),
        reinterpret_cast<uintptr_t>(&EndSession),  reinterpret_cast<uintptr_t>(&ReadToc),
        reinterpret_cast<uintptr_t>(&SessionInfo), reinterpret_cast<uintptr_t>(&Prepare),
        reinterpret_cast<uintptr_t>(&Finish),      reinterpret_cast<uintptr_t>(&ReadChunk)};
    d->Words[0] = FAKE_CDDA_VERSION;
    for (int i = 0; i < CDDA_EX_ENTRIES; ++i) d->Words[1 + i] = words[i];
#ifdef FAKE_CDDA_NULL_ENTRY
    d->Words[1 + FAKE_CDDA_NULL_ENTRY] = 0;
#endif
}

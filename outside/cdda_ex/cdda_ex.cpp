// The CD-DA reader: optical drives over libcdio, their audio read through paranoia with full
// checking, and BIN/CUE disc images (CDDA_EX_IMAGES) as drives, read from their files. A scan
// notes the images it cannot read, or not whole, and why.
#include "outside/include/cdda_ex.h"
#include "outside/include/cdio_log.h"
#include "outside/include/cue_image.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using sv::cue::Image;
using sv::cue::Trim;

// libcdio's messages end nothing while the library is loaded; the handler before comes back
// when it is unloaded, unless another has taken over since.
struct LogHandler {
    cdio_log_handler_t before = sv::cdio_log::Install();
    ~LogHandler() {
        const cdio_log_handler_t current = cdio_log_set_handler(before);
        if (current != sv::cdio_log::Handler) cdio_log_set_handler(current);
    }
} logHandler;

// About 64 KiB a chunk: small enough that the caller's window stays alive on a slow drive,
// large enough that the caller's per-chunk work is lost in the reading.
constexpr int kChunkSectors = 27;
// Retries of paranoia for one sector before it gives up and skips.
constexpr int kRetries = 20;
constexpr int kNameBytes = CDDA_EX_DRIVE_NAME_SIZE - 1;

struct Drive {
    std::string path;
    bool image = false;
    std::string name;
};

using Track = sv::cue::TocTrack;

// What the library keeps per context.
struct Reader {
    std::vector<Drive> drives;
    int selected = -1;
    // Disc images of the last scan that cannot be read, or not whole, one line each:
    // "<cue>: <why>".
    std::string notes;

    // The open disc of the selected drive: a device, or an image.
    CdIo_t* cdio = nullptr;
    std::unique_ptr<Image> image;
    track_t firstTrack = 0;
    std::vector<Track> tracks;
    lsn_t leadOut = 0;
    lsn_t lastSession = 0;

    // Paranoia on that disc, made for the first track that is read.
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;

    bool prepared = false;
    lsn_t next = 0; // next sector to deliver
    lsn_t end = 0;  // sector after the prepared track
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kChunkSectors * CDDA_EX_SECTOR_BYTES);

    ~Reader() { Close(); }

    void CloseParanoia() {
        prepared = false;
        if (paranoia) cdio_paranoia_free(paranoia);
        paranoia = nullptr;
        if (drive) cdio_cddap_close_no_free_cdio(drive);
        drive = nullptr;
    }
    // The drive is let go; what was read of its disc stays known.
    void CloseDevice() {
        CloseParanoia();
        if (cdio) cdio_destroy(cdio);
        cdio = nullptr;
        image.reset();
    }
    void Close() {
        CloseDevice();
        tracks.clear();
        leadOut = 0;
        lastSession = 0;
    }
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

// Readers by context; keeping them here rather than in the context's own bytes means no
// context content, however it came about, can make the library follow a bad pointer.
std::map<const CddaContext*, std::unique_ptr<Reader>>& Readers() {
    static std::map<const CddaContext*, std::unique_ptr<Reader>> readers;
    return readers;
}

Reader& ReaderOf(const CddaContext* context) {
    auto& slot = Readers()[context];
    if (!slot) slot = std::make_unique<Reader>();
    return *slot;
}

// Cuts a name to `bytes` without splitting a UTF-8 character.
std::string Cut(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

// "<front> (<address>)", the address kept whole: the writer command is built from it.
std::string DriveName(const std::string& front, const std::string& address) {
    const std::string tail = " (" + address + ")";
    return Cut(front, kNameBytes - tail.size()) + tail;
}

// The /dev/srN number of an optical drive's device path, or -1.
int ScsiNumber(const char* device) {
    char resolved[PATH_MAX];
    if (!realpath(device, resolved)) return -1;
    const char* prefix = "/dev/sr";
    if (std::strncmp(resolved, prefix, std::strlen(prefix)) != 0) return -1;
    const char* digits = resolved + std::strlen(prefix);
    if (!*digits) return -1;
    for (const char* p = digits; *p; ++p)
        if (*p < '0' || *p > '9') return -1;
    return std::atoi(digits);
}

std::vector<Drive> FindDrives() {
    std::vector<std::pair<int, Drive>> hardware;
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d; ++d) {
            const int number = ScsiNumber(*d);
            if (number < 0) continue;
            if (std::any_of(hardware.begin(), hardware.end(),
                            [number](const auto& h) { return h.first == number; }))
                continue;
            std::string front = "CD-ROM";
            if (CdIo_t* cdio = cdio_open(*d, DRIVER_DEVICE)) {
                cdio_hwinfo_t info{};
                if (cdio_get_hwinfo(cdio, &info)) {
                    const std::string vendor = Trim(info.psz_vendor);
                    const std::string model = Trim(info.psz_model);
                    if (!vendor.empty() || !model.empty())
                        front = vendor.empty()  ? model
                                : model.empty() ? vendor
                                                : vendor + " " + model;
                }
                cdio_destroy(cdio);
            }
            const std::string device = "/dev/sr" + std::to_string(number);
            hardware.push_back(
                {number, Drive{device, false, DriveName(front, std::to_string(number) + ":0:0")}});
        }
        cdio_free_device_list(devices);
    }
    std::sort(hardware.begin(), hardware.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Drive> drives;
    for (auto& h : hardware) drives.push_back(std::move(h.second));

    for (const std::string& path : sv::cue::ListedImages()) {
        const auto slash = path.find_last_of('/');
        const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        drives.push_back(Drive{path, true, DriveName(file, "I:0:0")});
    }
    if (drives.size() > CDDA_EX_MAX_DRIVES) drives.resize(CDDA_EX_MAX_DRIVES);
    return drives;
}

void ClearToc(CddaContext* c) {
    c->TrackCount = 0;
    std::memset(c->TrackType, 0, sizeof c->TrackType);
    std::memset(c->TrackStart, 0, sizeof c->TrackStart);
    c->MultiSession = 0;
}

// Opens the image of the cue at `path`, for OpenDisc.
int32_t OpenImageDisc(Reader& r, const std::string& path) {
    std::string reason;
    r.image = Image::Open(path, reason);
    if (!r.image) return CDDA_EX_ERR_NO_DISC;
    r.firstTrack = 1;
    r.tracks = r.image->tracks;
    r.leadOut = r.image->leadOut;
    return std::any_of(r.tracks.begin(), r.tracks.end(), [](const Track& t) { return t.audio; })
               ? 0
               : CDDA_EX_ERR_NO_AUDIO;
}

// Opens the selected drive's disc afresh (a disc may have been changed since) and reads its
// table of contents into the reader. Returns a status.
int32_t OpenDisc(Reader& r) {
    r.Close();
    if (r.selected < 0 || r.selected >= static_cast<int>(r.drives.size()))
        return CDDA_EX_ERR_NO_DEVICE;
    const Drive& d = r.drives[r.selected];
    if (d.image) return OpenImageDisc(r, d.path);
    r.cdio = cdio_open(d.path.c_str(), DRIVER_DEVICE);
    if (!r.cdio) return CDDA_EX_ERR_ADAPTER;
    const track_t first = cdio_get_first_track_num(r.cdio);
    const track_t count = cdio_get_num_tracks(r.cdio);
    const lsn_t leadOut = cdio_get_track_lsn(r.cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        count > CDIO_CD_MAX_TRACKS || leadOut == CDIO_INVALID_LSN) {
        r.Close();
        return CDDA_EX_ERR_NO_DISC;
    }
    r.firstTrack = first;
    bool anyAudio = false;
    for (track_t i = 0; i < count; ++i) {
        const lsn_t start = cdio_get_track_lsn(r.cdio, static_cast<track_t>(first + i));
        if (start == CDIO_INVALID_LSN) {
            r.Close();
            return CDDA_EX_ERR_NO_DISC;
        }
        const bool audio =
            cdio_get_track_format(r.cdio, static_cast<track_t>(first + i)) == TRACK_FORMAT_AUDIO;
        anyAudio = anyAudio || audio;
        r.tracks.push_back(Track{start, audio});
    }
    r.leadOut = leadOut;
    lsn_t session = 0;
    if (cdio_get_last_session(r.cdio, &session) == DRIVER_OP_SUCCESS && session > 0)
        r.lastSession = session;
    return anyAudio ? 0 : CDDA_EX_ERR_NO_AUDIO;
}

void Release(Reader& r, CddaContext* c) {
    r.Close();
    c->Buffer = nullptr;
    c->BufferBytes = 0;
}

// Paranoia reports what it did per sector through a callback without a user pointer.
thread_local bool sectorSkipped = false;

void ParanoiaCallback(long /*offset*/, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP) sectorSkipped = true;
}

int32_t OpenParanoia(Reader& r) {
    if (r.paranoia) return 0;
    r.drive = cdio_cddap_identify_cdio(r.cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!r.drive) return CDDA_EX_ERR_ADAPTER;
    if (cdio_cddap_open(r.drive) != 0) {
        r.CloseParanoia();
        return CDDA_EX_ERR_NO_DISC;
    }
    // Paranoia otherwise guesses the byte order from the audio itself, which noise-like or
    // quiet content fools into swapping every sample.
    r.drive->bigendianp = 0;
    r.paranoia = cdio_paranoia_init(r.drive);
    if (!r.paranoia) {
        r.CloseParanoia();
        return CDDA_EX_ERR_ADAPTER;
    }
    cdio_paranoia_modeset(r.paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    return 0;
}

int32_t Prepare(Reader& r, CddaContext* c, int32_t index) {
    r.prepared = false;
    c->Buffer = nullptr;
    c->BufferBytes = 0;
    // A track that is not prepared has nothing to read.
    c->TrackSector = 0;
    c->TrackSectors = 0;
    // The disc is looked at afresh for every track: one taken out, or changed for another,
    // since its tracks were listed is not read.
    const std::vector<Track> listed = r.tracks;
    const lsn_t listedLeadOut = r.leadOut;
    int32_t status = OpenDisc(r);
    if (status == CDDA_EX_ERR_NO_AUDIO) status = 0;
    if (status == 0 && !listed.empty() && (listed != r.tracks || listedLeadOut != r.leadOut))
        status = CDDA_EX_ERR_NO_DISC;
    if (status != 0) {
        // The listed disc stays the one that may be read.
        r.CloseDevice();
        if (!listed.empty()) {
            r.tracks = listed;
            r.leadOut = listedLeadOut;
        }
        return status;
    }
    if (index < 0 || index >= static_cast<int32_t>(r.tracks.size()) || !r.tracks[index].audio)
        return CDDA_EX_ERR_NO_AUDIO;
    lsn_t first = 0, end = 0;
    if (r.image) {
        first = r.tracks[index].start;
        end = index + 1 < static_cast<int32_t>(r.tracks.size()) ? r.tracks[index + 1].start
                                                                : r.leadOut;
    } else {
        status = OpenParanoia(r);
        if (status != 0) return status;
        const auto track = static_cast<track_t>(r.firstTrack + index);
        first = cdio_cddap_track_firstsector(r.drive, track);
        end = cdio_cddap_track_lastsector(r.drive, track) + 1;
    }
    // A track without a sector is never prepared: its progress would divide by zero.
    if (first < 0 || end <= first) return CDDA_EX_ERR_NO_AUDIO;
    if (r.paranoia) cdio_paranoia_seek(r.paranoia, first, SEEK_SET);
    r.next = first;
    r.end = end;
    r.prepared = true;
    c->TrackSector = first;
    c->TrackSectors = end - first;
    return 0;
}

// Reads `sectors` sectors of the prepared track into the buffer; false when one cannot be read.
bool ReadSectors(Reader& r, CddaContext* c, int sectors) {
    uint8_t* out = r.buffer.data();
    // An image's file is read as it is: its audio is little-endian already.
    if (r.image) {
        if (!r.image->Read(r.next, sectors, out)) return false;
        c->BufferBytes = sectors * CDDA_EX_SECTOR_BYTES;
        r.next += sectors;
        c->TrackSector = r.next;
        return true;
    }
    for (int i = 0; i < sectors; ++i) {
        sectorSkipped = false;
        const int16_t* samples = cdio_paranoia_read_limited(r.paranoia, ParanoiaCallback, kRetries);
        if (!samples || sectorSkipped) return false;
        std::memcpy(out, samples, CDDA_EX_SECTOR_BYTES);
        if constexpr (std::endian::native == std::endian::big) {
            for (int k = 0; k < CDDA_EX_SECTOR_BYTES; k += 2) std::swap(out[k], out[k + 1]);
        }
        out += CDDA_EX_SECTOR_BYTES;
        c->BufferBytes += CDDA_EX_SECTOR_BYTES;
        ++r.next;
        c->TrackSector = r.next;
    }
    return true;
}

int32_t ReadChunk(Reader& r, CddaContext* c) {
    c->Buffer = r.buffer.data();
    c->BufferBytes = 0;
    if (!r.prepared) return CDDA_EX_ERR_NOT_PREPARED;
    if (!ReadSectors(r, c, std::min<lsn_t>(kChunkSectors, r.end - r.next))) {
        r.prepared = false;
        return CDDA_EX_ERR_READ;
    }
    if (r.next < r.end) return 0;
    r.prepared = false;
    return 1;
}

// Runs one entry under the library's lock; a null context is ignored.
template <class F> void Entry(CddaContext* c, F&& f) {
    if (!c) return;
    std::lock_guard<std::mutex> hold(Lock());
    c->Status = f(ReaderOf(c));
}

void ReaderInit(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        Release(r, c);
        r.drives.clear();
        r.selected = -1;
        r.notes.clear();
        return 0;
    });
}

void ReaderRelease(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        Release(r, c);
        return 0;
    });
}

void ReaderScanDrives(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        Release(r, c);
        r.drives = FindDrives();
        if (r.selected >= static_cast<int>(r.drives.size())) r.selected = -1;
        r.notes.clear();
        for (const Drive& d : r.drives) {
            if (!d.image) continue;
            std::string reason;
            if (const auto image = Image::Open(d.path, reason)) reason = image->note;
            if (reason.empty()) continue;
            const std::string note = sv::cue::Shown(d.path) + ": " + reason;
            std::fprintf(stderr, "cdda_ex: %s\n", note.c_str());
            r.notes += note + "\n";
        }
        c->DriveCount = static_cast<int32_t>(r.drives.size());
        std::memset(c->DriveName, 0, sizeof c->DriveName);
        for (std::size_t k = 0; k < r.drives.size(); ++k)
            std::memcpy(c->DriveName[k], r.drives[k].name.data(), r.drives[k].name.size());
        return r.drives.empty() ? CDDA_EX_ERR_NO_DEVICE : 0;
    });
}

void ReaderSelectDrive(CddaContext* c, int32_t index) {
    Entry(c, [c, index](Reader& r) -> int32_t {
        if (index != r.selected) Release(r, c);
        if (index < 0 || index >= static_cast<int32_t>(r.drives.size())) {
            r.selected = -1;
            return CDDA_EX_ERR_DEVICE_NUMBER;
        }
        r.selected = index;
        return 0;
    });
}

void ReaderEndSession(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        Release(r, c);
        return 0;
    });
}

void ReaderReadToc(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        ClearToc(c);
        c->Buffer = nullptr;
        c->BufferBytes = 0;
        const int32_t status = OpenDisc(r);
        if (r.tracks.empty()) return status;
        c->TrackCount = static_cast<int32_t>(r.tracks.size());
        for (std::size_t i = 0; i < r.tracks.size(); ++i) {
            c->TrackType[i] = r.tracks[i].audio ? CDDA_EX_TRACK_AUDIO : CDDA_EX_TRACK_DATA;
            c->TrackStart[i] = r.tracks[i].start;
        }
        c->TrackStart[r.tracks.size()] = r.leadOut;
        c->MultiSession = r.lastSession > 0 ? 1 : 0;
        // Not held open between a listing and a rip: the user may take the disc out meanwhile.
        r.CloseDevice();
        return status;
    });
}

void ReaderSessionInfo(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t {
        c->SessionFirst = 1;
        c->SessionLast = r.lastSession > 0 ? 2 : 1;
        c->SessionChangeTrack = 0;
        c->SessionAddress = r.lastSession;
        for (std::size_t i = 0; i < r.tracks.size() && r.lastSession > 0; ++i) {
            if (r.tracks[i].start >= r.lastSession) {
                c->SessionChangeTrack = static_cast<int32_t>(r.firstTrack + i);
                break;
            }
        }
        return 0;
    });
}

void ReaderPrepareTrack(CddaContext* c, int32_t index) {
    Entry(c, [c, index](Reader& r) -> int32_t { return Prepare(r, c, index); });
}

void ReaderFinishTrack(CddaContext* c) {
    Entry(c, [](Reader& r) -> int32_t {
        r.prepared = false;
        return 0;
    });
}

void ReaderReadChunk(CddaContext* c) {
    Entry(c, [c](Reader& r) -> int32_t { return ReadChunk(r, c); });
}

} // namespace

extern "C" __attribute__((visibility("default"))) void
_cdda_get_function(CddaDescriptor* descriptor) {
    if (!descriptor) return;
    const CddaEntry one[] = {ReaderInit,        ReaderRelease,  ReaderScanDrives,  nullptr,
                             ReaderEndSession,  ReaderReadToc,  ReaderSessionInfo, nullptr,
                             ReaderFinishTrack, ReaderReadChunk};
    descriptor->Words[0] = CDDA_EX_VERSION;
    for (int i = 0; i < CDDA_EX_ENTRIES; ++i)
        descriptor->Words[1 + i] = reinterpret_cast<uintptr_t>(one[i]);
    descriptor->Words[1 + 3] = reinterpret_cast<uintptr_t>(&ReaderSelectDrive);
    descriptor->Words[1 + 7] = reinterpret_cast<uintptr_t>(&ReaderPrepareTrack);
}

extern "C" __attribute__((visibility("default"))) const char*
_cdda_scan_notes(const CddaContext* context) {
    std::lock_guard<std::mutex> hold(Lock());
    const auto found = Readers().find(context);
    return found == Readers().end() ? "" : found->second->notes.c_str();
}

/* The CD-DA reader library (libcdda_ex.so): lists the drives, reads a disc's table of contents
 * and reads audio tracks sector-exact as 16-bit little-endian stereo at 44.1 kHz.
 *
 * The library exports one function, "_cdda_get_function", which fills a CddaDescriptor with the
 * interface version and the addresses of the entries. Every entry takes the caller's
 * CddaContext first; the caller owns the context (zero at start) and the library fills it.
 * Every entry sets Status: 0 for more data or no error, greater than 0 when the prepared track
 * has been read to its end, negative for an error (CDDA_EX_ERR_*). Every entry is harmless in
 * any order and state, also before ReaderInit and after ReaderRelease.
 *
 * Calling order: ReaderInit; ReaderScanDrives; ReaderSelectDrive and ReaderReadToc (then
 * ReaderSessionInfo when MultiSession is not 0); per track ReaderPrepareTrack, ReaderReadChunk
 * until Status is not 0, ReaderFinishTrack; ReaderEndSession after the last track;
 * ReaderRelease closes the drive but keeps the drive list and the selection.
 *
 * A failed ReaderPrepareTrack sets TrackSector and TrackSectors to 0. */
#ifndef SV_OUTSIDE_CDDA_EX_H
#define SV_OUTSIDE_CDDA_EX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    CDDA_EX_VERSION = 0x1070,
    CDDA_EX_ENTRIES = 10,         /* entries 0 to 9 of the descriptor */
    CDDA_EX_MAX_TRACKS = 100,     /* TrackType entries; TrackStart has one more */
    CDDA_EX_MAX_DRIVES = 15,      /* DriveName entries */
    CDDA_EX_DRIVE_NAME_SIZE = 65, /* up to 64 bytes and a zero byte */
    CDDA_EX_SECTOR_BYTES = 2352,  /* one sector of 16-bit stereo at 44.1 kHz */
    CDDA_EX_TRACK_AUDIO = 1,      /* TrackType of an audio track */
    CDDA_EX_TRACK_DATA = 4        /* TrackType of any other track */
};

/* Negative Status codes; -180 and -170 have no text of their own in the program. */
enum {
    CDDA_EX_ERR_NO_ASPI = -201,       /* never on this system */
    CDDA_EX_ERR_NO_SPTI = -200,       /* never on this system */
    CDDA_EX_ERR_READ = -180,          /* a sector could not be read correctly */
    CDDA_EX_ERR_NOT_PREPARED = -170,  /* ReaderReadChunk without a prepared track */
    CDDA_EX_ERR_ADAPTER = -160,       /* the drive cannot be opened */
    CDDA_EX_ERR_NO_DEVICE = -150,     /* no drive found, or none selected */
    CDDA_EX_ERR_DEVICE_NUMBER = -140, /* the drive index is not in the list */
    CDDA_EX_ERR_NO_DISC = -130,       /* no disc, its table of contents cannot be read, or it
                                         is not the disc whose tracks were listed */
    CDDA_EX_ERR_NO_AUDIO = -120       /* no audio track on the disc, or not such a track */
};

/* The reader's context. The fields named here are the interface; the reserved bytes are the
 * library's. Offsets are fixed (see the static assertions below); Buffer is pointer-sized. */
typedef struct CddaContext {
    int32_t Status; /* 0 */
    uint8_t Reserved4[12];
    const uint8_t* Buffer; /* 16: the bytes of the chunk just read (the library's memory) */
    int32_t BufferBytes;   /* 24 */
    int32_t TrackSector;   /* 28: first sector of the prepared track, then the read position */
    int32_t TrackSectors;  /* 32: sectors of the prepared track */
    uint8_t Reserved36[4];
    int32_t TrackCount; /* 40: tracks of the table of contents (0 when none can be read) */
    uint8_t Reserved44[12];
    int32_t TrackType[CDDA_EX_MAX_TRACKS];      /* 56: CDDA_EX_TRACK_AUDIO or _DATA */
    int32_t TrackStart[CDDA_EX_MAX_TRACKS + 1]; /* 456: start sectors; [TrackCount] lead-out */
    int32_t MultiSession;                       /* 860 */
    int32_t SessionFirst;                       /* 864 */
    int32_t SessionLast;                        /* 868 */
    int32_t SessionChangeTrack;                 /* 872 */
    int32_t SessionAddress;                     /* 876 */
    int32_t DriveCount;                         /* 880 */
    uint8_t Reserved884[184];
    char DriveName[CDDA_EX_MAX_DRIVES][CDDA_EX_DRIVE_NAME_SIZE]; /* 1068 */
    uint8_t Reserved2043[1];
} CddaContext;

typedef void (*CddaEntry)(CddaContext* context);
typedef void (*CddaIndexEntry)(CddaContext* context, int32_t index);

/* Filled by _cdda_get_function; the caller zeroes it first. Word 0 is the version, words 1 to
 * 10 the addresses of the entries in this order: ReaderInit, ReaderRelease, ReaderScanDrives,
 * ReaderSelectDrive (index), ReaderEndSession, ReaderReadToc, ReaderSessionInfo,
 * ReaderPrepareTrack (index), ReaderFinishTrack, ReaderReadChunk. */
typedef struct CddaDescriptor {
    uintptr_t Words[15];
} CddaDescriptor;

typedef void (*CddaGetFunction)(CddaDescriptor* descriptor);

#define CDDA_EX_GET_FUNCTION "_cdda_get_function"

/* Optional export: what the last ReaderScanDrives on this context has to tell besides the
 * drive list (a listed disc image that cannot be read, and why), as lines that each end with
 * '\n'; empty when nothing. The text is the library's, valid until the next entry is called
 * with this context. A library without it still binds. */
typedef const char* (*CddaScanNotes)(const CddaContext* context);

#define CDDA_EX_SCAN_NOTES "_cdda_scan_notes"

#ifdef __cplusplus
} /* extern "C" */

static_assert(offsetof(CddaContext, Status) == 0);
static_assert(offsetof(CddaContext, Buffer) == 16 && sizeof(const uint8_t*) == 8);
static_assert(offsetof(CddaContext, BufferBytes) == 24);
static_assert(offsetof(CddaContext, TrackSector) == 28);
static_assert(offsetof(CddaContext, TrackSectors) == 32);
static_assert(offsetof(CddaContext, TrackCount) == 40);
static_assert(offsetof(CddaContext, TrackType) == 56);
static_assert(offsetof(CddaContext, TrackStart) == 456);
static_assert(offsetof(CddaContext, MultiSession) == 860);
static_assert(offsetof(CddaContext, SessionFirst) == 864);
static_assert(offsetof(CddaContext, SessionLast) == 868);
static_assert(offsetof(CddaContext, SessionChangeTrack) == 872);
static_assert(offsetof(CddaContext, SessionAddress) == 876);
static_assert(offsetof(CddaContext, DriveCount) == 880);
static_assert(offsetof(CddaContext, DriveName) == 1068);
static_assert(offsetof(CddaContext, Reserved2043) == 2043);
/* 2044 bytes, rounded up to the pointer's alignment. */
static_assert(sizeof(CddaContext) == 2048);
static_assert(sizeof(CddaDescriptor) == 15 * sizeof(void*));
#else
_Static_assert(offsetof(CddaContext, Buffer) == 16, "CddaContext layout");
_Static_assert(offsetof(CddaContext, DriveName) == 1068, "CddaContext layout");
_Static_assert(sizeof(CddaContext) == 2048, "CddaContext layout");
#endif

#endif /* SV_OUTSIDE_CDDA_EX_H */

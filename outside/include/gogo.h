/* The MP3 encoder library's C interface, as the encoder component binds it.
 *
 * The library holds one encoding job per process. A job runs: MPGE_initializeWork, any number
 * of MPGE_setConfigure, MPGE_detectConfigure (the only place a bad job is refused),
 * MPGE_getConfigure(MPGE_CFG_FRAME_COUNT), MPGE_processFrame until it returns MPGE_END_OF_STREAM
 * or an error, then MPGE_closeCoder and MPGE_endCoder. Every string, record and block given to
 * MPGE_setConfigure is copied there; the caller may free it as soon as the call returns.
 *
 * Values that can carry an address are pointer-sized. MPGE_getVersion and MPGE_getUnitStates
 * may be called from any thread at any time. */
#ifndef SV_OUTSIDE_GOGO_H
#define SV_OUTSIDE_GOGO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define GOGO_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
#define GOGO_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

typedef int32_t MPGE_RESULT;
typedef uintptr_t MPGE_VALUE;

/* Results. */
enum {
    MPGE_OK = 0,
    MPGE_END_OF_STREAM = 1,          /* MPGE_processFrame: the job is complete */
    MPGE_ERR_NO_JOB = 2,             /* called out of order: no job initialised or configured */
    MPGE_ERR_BAD_CONFIG_ID = 3,      /* unknown configuration identifier */
    MPGE_ERR_BAD_SOURCE = 4,         /* source missing, unreadable or not supported */
    MPGE_ERR_BAD_DESTINATION = 5,    /* destination cannot be created */
    MPGE_ERR_BAD_BITRATE = 6,        /* bit rate not in the table of the output's MPEG version */
    MPGE_ERR_BAD_SETTING = 7,        /* another setting out of range */
    MPGE_ERR_ENCODER = 8,            /* the encoder engine refused or failed */
    MPGE_ERR_READ = 9,               /* reading the source failed during the job */
    MPGE_ERR_WRITE = 11,             /* writing the destination failed during the job */
    MPGE_ERR_UNSUPPORTED_FORMAT = 12 /* output container not supported by this library */
};

/* Configuration identifiers of MPGE_setConfigure (value 1, value 2). */
enum {
    MPGE_CFG_INPUT = 1,           /* MPGE_INPUT_FILE, file name | MPGE_INPUT_MEMORY, record */
    MPGE_CFG_OUTPUT = 2,          /* 0, destination file name */
    MPGE_CFG_CHANNEL_MODE = 3,    /* 0 mono, 1 stereo, 2 joint, 3 mid/side, 4 dual; 0 */
    MPGE_CFG_BITRATE = 4,         /* kbit/s; 0 */
    MPGE_CFG_PSYCHOACOUSTICS = 8, /* 1 on, 0 off; 0 */
    MPGE_CFG_LOWPASS_16K = 9,     /* 1 on, 0 off; 0 */
    MPGE_CFG_USE_MMX = 10,        /* processor units 10..15: 1 on, 0 off; 0 */
    MPGE_CFG_USE_3DNOW = 11,
    MPGE_CFG_USE_KNI = 12,
    MPGE_CFG_USE_EX_3DNOW = 13,
    MPGE_CFG_USE_SPC1 = 14,
    MPGE_CFG_USE_SPC2 = 15,
    MPGE_CFG_ID3_BLOCK = 16,  /* byte count, address of the bytes */
    MPGE_CFG_EMPHASIS = 17,   /* 0 none, 1 50/15 us, 3 CCITT; 0 */
    MPGE_CFG_VBR_LEVEL = 18,  /* 0..9; 0 */
    MPGE_CFG_PROCESSORS = 19, /* count; 0 */
    MPGE_CFG_CONTAINER = 26,  /* 0 MP3, 1 RIFF WAVE, 2 RIFF RMP; 0 */
    MPGE_CFG_RIFF_TAG = 27,   /* byte count, address of the bytes */
    MPGE_CFG_VBR_RANGE = 30,  /* lowest kbit/s, highest kbit/s */
    MPGE_CFG_EXT_FILTER = 31, /* low 0..100, high 0..100 */
    MPGE_CFG_MS_SETTING = 32  /* threshold 0..100, power 0..100 */
};

/* Sources: a RIFF WAVE file (MPGE_INPUT_FILE) of integer PCM with 8 (unsigned), 16, 24 or 32 bits
 * per sample, or of 32-bit IEEE float PCM (full scale +-1.0; beyond it clipped), given as
 * WAVE_FORMAT_PCM, WAVE_FORMAT_IEEE_FLOAT or WAVE_FORMAT_EXTENSIBLE with either sub-format; mono
 * or stereo, at 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 or 48000 Hz. Anything else,
 * more than two channels included, is refused with MPGE_ERR_BAD_SOURCE. Memory input
 * (MPGE_INPUT_MEMORY) takes 16-bit PCM only, at the same rates and channel counts.
 *
 * Bit rates are those of the output's MPEG version: 32 to 320 kbit/s at 32 to 48 kHz, 8 to 160
 * at 16 to 24 kHz, 8 to 64 at 8 to 12 kHz; any other is refused with MPGE_ERR_BAD_BITRATE.
 *
 * This library writes plain MP3 only: MPGE_detectConfigure refuses the RIFF containers (1, 2)
 * with MPGE_ERR_UNSUPPORTED_FORMAT. The MP3 begins with a LAME/Info tag frame that carries the
 * encoder's delay and padding, so that a decoder that reads it returns exactly the source's
 * samples; where a frame of the job's bit rate is too small to hold the tag, the tag frame alone
 * has a higher one. An ID3 block of 128 bytes starting with "TAG" (version 1) goes after the
 * audio; any other block (version 2) goes before it, unchanged. */

/* MPGE_getConfigure: writes the job's total number of frames as an int32_t (0 for memory input
 * of unknown size). */
enum { MPGE_CFG_FRAME_COUNT = 15 };

/* Value 1 of MPGE_CFG_INPUT. */
enum { MPGE_INPUT_FILE = 0, MPGE_INPUT_MEMORY = 2 };

/* Bits of MPGE_getUnitStates. */
enum { MPGE_UNIT_MMX = 0x2, MPGE_UNIT_3DNOW = 0x4, MPGE_UNIT_KNI = 0x8, MPGE_UNIT_EX_3DNOW = 0x20 };

enum { MPGE_VERSION_TEXT_SIZE = 512 };

/* Memory input: the library asks for exactly `length` bytes of PCM at a time. Returns 0 when
 * the buffer was filled, 1 at the end of the input with nothing delivered. */
typedef int32_t (*MPGE_READ_CALLBACK)(char* buffer, int32_t length);

typedef struct MPGE_MEMORY_INPUT {
    MPGE_READ_CALLBACK read;
    int32_t total_size; /* -1 when unknown */
    int32_t bits_per_sample;
    int32_t sample_rate;
    int32_t channels;
} MPGE_MEMORY_INPUT;

GOGO_STATIC_ASSERT(sizeof(MPGE_VALUE) == sizeof(void*), "configuration values hold addresses");
GOGO_STATIC_ASSERT(offsetof(MPGE_MEMORY_INPUT, read) == 0, "memory input layout");
GOGO_STATIC_ASSERT(offsetof(MPGE_MEMORY_INPUT, total_size) == sizeof(void*), "memory input layout");
GOGO_STATIC_ASSERT(offsetof(MPGE_MEMORY_INPUT, bits_per_sample) == sizeof(void*) + 4,
                   "memory input layout");
GOGO_STATIC_ASSERT(offsetof(MPGE_MEMORY_INPUT, sample_rate) == sizeof(void*) + 8,
                   "memory input layout");
GOGO_STATIC_ASSERT(offsetof(MPGE_MEMORY_INPUT, channels) == sizeof(void*) + 12,
                   "memory input layout");
GOGO_STATIC_ASSERT(sizeof(MPGE_MEMORY_INPUT) == sizeof(void*) + 16, "memory input layout");

MPGE_RESULT MPGE_initializeWork(void);
MPGE_RESULT MPGE_setConfigure(uint32_t id, MPGE_VALUE value1, MPGE_VALUE value2);
MPGE_RESULT MPGE_getConfigure(uint32_t id, void* result);
MPGE_RESULT MPGE_detectConfigure(void);
MPGE_RESULT MPGE_processFrame(void);
MPGE_RESULT MPGE_closeCoder(void);
MPGE_RESULT MPGE_endCoder(void);
MPGE_RESULT MPGE_getUnitStates(uint32_t* unit);
MPGE_RESULT MPGE_getVersion(uint32_t* code, char* text);

/* The entry points' types, for run-time binding. */
typedef MPGE_RESULT (*MPGE_initializeWork_fn)(void);
typedef MPGE_RESULT (*MPGE_setConfigure_fn)(uint32_t, MPGE_VALUE, MPGE_VALUE);
typedef MPGE_RESULT (*MPGE_getConfigure_fn)(uint32_t, void*);
typedef MPGE_RESULT (*MPGE_detectConfigure_fn)(void);
typedef MPGE_RESULT (*MPGE_processFrame_fn)(void);
typedef MPGE_RESULT (*MPGE_closeCoder_fn)(void);
typedef MPGE_RESULT (*MPGE_endCoder_fn)(void);
typedef MPGE_RESULT (*MPGE_getUnitStates_fn)(uint32_t*);
typedef MPGE_RESULT (*MPGE_getVersion_fn)(uint32_t*, char*);

#ifdef __cplusplus
}
#endif

#endif

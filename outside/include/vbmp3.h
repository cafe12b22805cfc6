/* The MP3 decoder library (libvbmp3.so): decodes one MP3 file at a time to a PCM WAV file.
 *
 * Calling order of a decode: DecoderStartUp once; per file DecoderOpenFile (after
 * DecoderSetOutput for other output settings), DecoderBeginWave, DecoderStep until it returns 0,
 * DecoderCloseFile; DecoderShutDown at the end. Every call is harmless in any state: one that
 * does not fit the state fails or does nothing, and DecoderLastError tells why. Paths are
 * zero-terminated bytes as the file system takes them (UTF-8 here).
 *
 * A file is decoded whole, as the mpg123 command decodes it: past junk to the next frame, and on
 * over MP3s joined into one file, whose parts may differ in rate and channels. A decode that
 * ends before the end of the file fails with DECODER_ERROR_DECODE; a last frame cut short by
 * the end of the file is left out, as the mpg123 command leaves it out.
 *
 * Positions and totals count MPEG frames, exactly (the file is scanned at open). The WAV is
 * 16-bit PCM behind a 44-byte RIFF header at the rate and channel count in force when the file
 * was opened; gapless decoding is on, so an MP3 that carries encoder delay and padding in its
 * header decodes to the original sample count. A part at another rate than the output's goes
 * through a band-limited resampler and gives exactly its sample frames x output rate / its rate,
 * rounded to the nearest. outputSamples is the WAV's length, exactly; durationMs follows it. */
#ifndef SV_OUTSIDE_VBMP3_H
#define SV_OUTSIDE_VBMP3_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by DecoderOpenFile. Callers need only totalFrames; the rest describes the source. */
typedef struct DecoderFileInfo {
    int32_t sampleRate;     /* of the source, Hz */
    int32_t channels;       /* of the source: 1 or 2 */
    int32_t bitRate;        /* kbit/s of the first frame */
    int32_t layer;          /* 1, 2 or 3 */
    int32_t mpegVersion;    /* 10 (MPEG-1), 20 (MPEG-2), 25 (MPEG-2.5) */
    int32_t variable;       /* non-zero when a VBR or ABR header says so */
    int32_t durationMs;     /* playing time of the decoded output */
    int32_t outputRate;     /* rate of the WAV that DecoderBeginWave writes, Hz */
    int32_t outputChannels; /* channels of that WAV */
    int32_t reserved0;
    int64_t outputSamples; /* sample frames of that WAV, exactly */
    uint8_t reserved[220];
    int32_t totalFrames; /* MPEG frames; DecoderStep's position runs up to it */
} DecoderFileInfo;

/* Output settings for the files opened afterwards. */
typedef struct DecoderOutputOptions {
    int32_t reserved;   /* 0 */
    int32_t convert;    /* DECODER_CONVERT_STEREO or DECODER_CONVERT_MONO */
    int32_t sampleRate; /* Hz, DECODER_MIN_RATE to DECODER_MAX_RATE */
} DecoderOutputOptions;

enum {
    DECODER_CONVERT_STEREO = 0,
    DECODER_CONVERT_MONO = 1,
    DECODER_MIN_RATE = 8000,
    DECODER_MAX_RATE = 96000
};

/* Why the last call failed (DecoderLastError). */
enum {
    DECODER_OK = 0,
    DECODER_ERROR_NOT_STARTED = 1, /* no DecoderStartUp */
    DECODER_ERROR_ARGUMENT = 2,    /* a null pointer or out-of-range value */
    DECODER_ERROR_NO_FILE = 3,     /* no MP3 file open */
    DECODER_ERROR_OPEN = 4,        /* the file cannot be read */
    DECODER_ERROR_NOT_MPEG = 5,    /* the file holds no MPEG audio */
    DECODER_ERROR_OUTPUT = 6,      /* the output settings cannot be produced */
    DECODER_ERROR_CREATE_WAVE = 7, /* the WAV file cannot be created */
    DECODER_ERROR_WRITE = 8,       /* writing the WAV file failed; it is incomplete */
    DECODER_ERROR_DECODE = 9,      /* decoding stopped in the middle; the WAV is incomplete */
    DECODER_ERROR_ABORTED = 10,    /* the file was closed before the WAV was complete */
    DECODER_ERROR_NO_WAVE = 11,    /* DecoderStep without DecoderBeginWave */
    DECODER_ERROR_SAME_FILE = 12   /* the WAV path names the MP3 file being decoded */
};

void DecoderStartUp(void);
/* Closes the MP3 file and releases it; an unfinished WAV is closed with its header patched to
 * the data written, and DecoderLastError becomes DECODER_ERROR_ABORTED. */
void DecoderCloseFile(void);
/* Opens and scans an MP3 file with the output settings in force. 0 = failure. */
int DecoderOpenFile(const char* path, DecoderFileInfo* info);
/* Keeps the settings for later opens. 0 = refused (the previous settings stay). */
int DecoderSetOutput(const DecoderOutputOptions* options);
/* Creates (or truncates) the WAV file for the open MP3. 0 = failure. */
int DecoderBeginWave(const char* path);
/* Decodes the next part into the WAV. Non-zero while there is more; 0 once the WAV is complete
 * and closed, or on failure (DecoderLastError tells which). *position receives the frames done. */
int DecoderStep(int32_t* position);
void DecoderShutDown(void);
/* DECODER_OK when the last call that can fail succeeded (for DecoderStep: the WAV is complete),
 * else why it failed. The calls without a result change it only when they cut a WAV short. */
int DecoderLastError(void);

#ifdef __cplusplus
}

static_assert(sizeof(DecoderFileInfo) == 272);
static_assert(offsetof(DecoderFileInfo, outputSamples) == 40);
static_assert(offsetof(DecoderFileInfo, totalFrames) == 268);
static_assert(sizeof(DecoderOutputOptions) == 12);
static_assert(offsetof(DecoderOutputOptions, convert) == 4);
static_assert(offsetof(DecoderOutputOptions, sampleRate) == 8);
#else
_Static_assert(sizeof(DecoderFileInfo) == 272, "DecoderFileInfo layout");
_Static_assert(sizeof(DecoderOutputOptions) == 12, "DecoderOutputOptions layout");
#endif

#endif

#pragma once
// What a test can set and read in the scripted CD-DA reader library (exported beside
// _cdda_get_function).
#include <stddef.h>
#include <stdint.h>

extern "C" {
// Back to the defaults: one drive "FAKE DRIVE (0:0:0)", no tracks, every call succeeds, chunks
// of 10 sectors, an empty log.
void fakecdda_reset();
void fakecdda_set_drives(int32_t count); // named "FAKE DRIVE (k:0:0)"
void fakecdda_set_scan_status(int32_t status);
// Track i + 1 has type types[i] and starts at starts[i]; starts[count] is the lead-out.
void fakecdda_set_tracks(int32_t count, const int32_t* types, const int32_t* starts);
void fakecdda_set_multisession(int32_t first, int32_t last, int32_t changeTrack, int32_t address);
// Reading track `index` (0-based) fails with `status` at chunk number `chunk` (1-based), after
// delivering that chunk's bytes.
void fakecdda_set_read_error(int32_t index, int32_t chunk, int32_t status);
// Every ReaderPrepareTrack fails with `status` (as when the disc was taken out after the
// listing); 0 prepares again.
void fakecdda_set_prepare_status(int32_t status);
void fakecdda_set_chunk_sectors(int32_t sectors);
// Byte k of track index t reads as (t * 31 + k) & 0xFF.
uint8_t fakecdda_byte(int32_t index, int64_t k);
// The calls so far, one per line, like "ReaderSelectDrive(0)"; returns the full length.
size_t fakecdda_log(char* buffer, size_t size);
void fakecdda_clear_log();
}

#pragma once
// What a test can set and read in the recording encoder library (exported beside MPGE_*).
#include <stddef.h>
#include <stdint.h>

extern "C" {
// Back to the defaults: version 0x0230 "fake", unit states 0x2E, every call succeeds,
// 250 frames, no delay, an empty log.
void fakegogo_reset();
void fakegogo_set_version(uint32_t code, const char* text, int32_t result);
void fakegogo_set_unit_states(uint32_t states, int32_t result);
void fakegogo_set_initialize_result(int32_t result);
// A negative result makes MPGE_detectConfigure throw a C++ exception.
void fakegogo_set_detect_result(int32_t result);
void fakegogo_set_frames(int32_t frames);
// Call number `frame` (1-based) of MPGE_processFrame returns `code`; a negative code throws.
void fakegogo_set_failing_frame(int32_t frame, int32_t code);
void fakegogo_set_frame_delay_us(int32_t microseconds);
// Memory input: bytes asked of the read callback per frame.
void fakegogo_set_memory_request(int32_t bytes);
// The calls so far, one per line, like "setConfigure(4,128,0)"; returns the full length.
size_t fakegogo_log(char* buffer, size_t size);
void fakegogo_clear_log();
int32_t fakegogo_frames_processed();
// The bytes the read callback delivered; returns the full length.
size_t fakegogo_memory_data(char* buffer, size_t size);
}

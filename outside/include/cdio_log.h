/* libcdio's messages, for the CD-DA reader and the player's CD audio. libcdio reports through one
 * handler for the whole process, and its own ends the process on an error: a drive or disc that
 * cannot be read must cost the user that drive, never the program. */
#ifndef SV_OUTSIDE_CDIO_LOG_H
#define SV_OUTSIDE_CDIO_LOG_H

#include <cdio/logging.h>

#include <cstdio>
#include <string>

namespace sv::cdio_log {

// What libcdio last said at warning level or above on this thread, for the reason of a failure.
inline std::string& Said() {
    thread_local std::string said;
    return said;
}

// Writes to standard error what libcdio's own handler writes there, and ends nothing: a call
// that failed says so by its result.
inline void Handler(cdio_log_level_t level, const char message[]) {
    if (!message || level < CDIO_LOG_WARN) return;
    std::string& said = Said();
    said = message;
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
    if (level >= cdio_loglevel_default) std::fprintf(stderr, "libcdio: %s\n", said.c_str());
}

// Puts Handler in place for the whole process; gives the handler it replaces.
inline cdio_log_handler_t Install() {
    return cdio_log_set_handler(Handler);
}

} // namespace sv::cdio_log

#endif

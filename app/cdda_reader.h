#pragma once
// The CD-DA reader library, bound at run time: its table of entries (stubs while no library is
// bound), loading and unloading, and the report of a negative status.
#include "outside/include/cdda_ex.h"

#include <cstdint>
#include <string>

namespace sv::app {

// The entries in the library's order; each is a stub that does nothing until a library is
// bound, and again after it is unloaded.
struct CddaFunctionTable {
    CddaEntry ReaderInit;
    CddaEntry ReaderRelease;
    CddaEntry ReaderScanDrives;
    CddaIndexEntry ReaderSelectDrive;
    CddaEntry ReaderEndSession;
    CddaEntry ReaderReadToc;
    CddaEntry ReaderSessionInfo;
    CddaIndexEntry ReaderPrepareTrack;
    CddaEntry ReaderFinishTrack;
    CddaEntry ReaderReadChunk;
    CddaEntry Spare; // never bound, never called
};

// The program's table.
extern CddaFunctionTable Cdda;

// Binds libcdda_ex.so from the program folder (else the system's search): 1 on success, 0 when
// the library is missing, lacks "_cdda_get_function", has no ReaderPrepareTrack or another
// interface version. A bound library is unloaded first. A null address keeps that entry's stub.
int LoadCddaReader();
// The same for exactly this file.
int LoadCddaReaderFile(const std::string& path);
// Restores the stubs, then unloads the library; nothing when none is bound.
void UnloadCddaReader();
bool CddaReaderLoaded();

// Logs with the mode tag each note of the bound library's last drive scan on `context` (a disc
// image it cannot read, and why); nothing when the library gives no notes.
void LogCddaScanNotes(const CddaContext& context, const std::string& modeTag);

// The user's text for a negative status.
std::string CddaStatusText(int32_t status);
// 0 for a status of 0 or more. A negative one is logged between two bars of "■" with the mode
// tag, shown in a message box "Error Msg" with the same line, and gives 1.
int CheckCddaStatus(int32_t status, const std::string& modeTag);

} // namespace sv::app

#pragma once
// Run-time binding of the MP3 encoder library, shared by every encoder component of the process.
#include "outside/include/gogo.h"

#include <string>

namespace sv {

// The nine entry points; all null while the library is not loaded.
struct GogoEntryPoints {
    MPGE_initializeWork_fn initializeWork = nullptr;
    MPGE_setConfigure_fn setConfigure = nullptr;
    MPGE_getConfigure_fn getConfigure = nullptr;
    MPGE_detectConfigure_fn detectConfigure = nullptr;
    MPGE_processFrame_fn processFrame = nullptr;
    MPGE_closeCoder_fn closeCoder = nullptr;
    MPGE_endCoder_fn endCoder = nullptr;
    MPGE_getUnitStates_fn getUnitStates = nullptr;
    MPGE_getVersion_fn getVersion = nullptr;
};

// Takes one reference, loading the library on the first: libgogo.so from the program folder,
// then by the system's search, then the file named by the registry value INSTPATH under
// "Software\Pelloran\GOGO_DLL". True when loaded with all nine entry points.
bool InitGogoDefs();
// Gives one reference back; the last one unloads the library and clears the entry points.
void DeallocateGogoDLL();

const GogoEntryPoints& Gogo();
// The registry path the library was loaded from; empty when the library search found it.
const std::string& GogoDLLPath();
int GogoReferenceCount();
bool GogoLibraryLoaded();

} // namespace sv

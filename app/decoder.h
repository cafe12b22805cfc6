#pragma once
#include "outside/include/vbmp3.h"

#include <cstdint>
#include <string>

namespace sv {

// The MP3 decoder library (libvbmp3.so, bound at run time from the program folder) as the jobs
// call it, behind one seam so that tests can put a recording decoder in its place. Without the
// library every call fails (LastError: DECODER_ERROR_NOT_STARTED); the start checks it first.
class DecoderLibrary {
public:
    virtual ~DecoderLibrary() = default;
    virtual void StartUp();
    virtual void CloseFile();
    virtual bool OpenFile(const std::string& path, DecoderFileInfo& info);
    virtual bool SetOutput(const DecoderOutputOptions& options);
    virtual bool BeginWave(const std::string& path);
    // True while there is more; false once the WAV is complete or the decode failed.
    virtual bool Step(int32_t& position);
    virtual void ShutDown();
    // DECODER_OK, or why the last call failed: after the last Step, DECODER_OK means the WAV is
    // complete, anything else that it is short.
    virtual int LastError();
};

// The decoder in force; tests put their own in and restore the library with nullptr.
DecoderLibrary& Decoder();
void SetDecoder(DecoderLibrary* decoder);

// The library's file name, and binding it: empty once bound (the library stays for the run),
// else the loader's reason. Binding is tried once; later calls give the same answer.
inline constexpr const char* kDecoderLibraryFile = "libvbmp3.so";
std::string BindDecoderLibrary();

// A short text for a DecoderLastError code, for log lines.
std::string DecoderErrorText(int code);

} // namespace sv

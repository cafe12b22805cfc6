#include "app/cdda_reader.h"

#include "app/forms.h"
#include "app/log_form.h"
#include "app/mode_frame.h"
#include "framework/dialogs.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/library.h"

namespace sv::app {

namespace {

void Stub(CddaContext*) {}
void IndexStub(CddaContext*, int32_t) {}

constexpr CddaFunctionTable kStubs{Stub, Stub,      Stub, IndexStub, Stub, Stub,
                                   Stub, IndexStub, Stub, Stub,      Stub};

platform::LibraryHandle library = nullptr;
CddaScanNotes scanNotes = nullptr;

// The descriptor's words 1 to 10 in table order.
template <class Entry> void Bind(Entry& entry, uintptr_t word) {
    if (word) entry = reinterpret_cast<Entry>(word);
}

int Load(platform::LibraryHandle handle) {
    UnloadCddaReader();
    if (!handle) return 0;
    auto get =
        reinterpret_cast<CddaGetFunction>(platform::LibrarySymbol(handle, CDDA_EX_GET_FUNCTION));
    CddaDescriptor descriptor{};
    if (get) get(&descriptor);
    const uintptr_t* w = descriptor.Words;
    if (!get || w[1 + 7] == 0 || w[0] != CDDA_EX_VERSION) {
        platform::UnloadLibrary(handle);
        return 0;
    }
    library = handle;
    scanNotes =
        reinterpret_cast<CddaScanNotes>(platform::LibrarySymbol(handle, CDDA_EX_SCAN_NOTES));
    Bind(Cdda.ReaderInit, w[1]);
    Bind(Cdda.ReaderRelease, w[2]);
    Bind(Cdda.ReaderScanDrives, w[3]);
    Bind(Cdda.ReaderSelectDrive, w[4]);
    Bind(Cdda.ReaderEndSession, w[5]);
    Bind(Cdda.ReaderReadToc, w[6]);
    Bind(Cdda.ReaderSessionInfo, w[7]);
    Bind(Cdda.ReaderPrepareTrack, w[8]);
    Bind(Cdda.ReaderFinishTrack, w[9]);
    Bind(Cdda.ReaderReadChunk, w[10]);
    return 1;
}

void AddLogLine(const std::string& line) {
    if (FmLogMsg && FmLogMsg->Log) FmLogMsg->Log->Lines()->Add(line);
}

} // namespace

CddaFunctionTable Cdda = kStubs;

int LoadCddaReader() {
    return Load(platform::LoadProgramLibrary("libcdda_ex.so"));
}

int LoadCddaReaderFile(const std::string& path) {
    return Load(platform::LoadLibraryFile(path));
}

void UnloadCddaReader() {
    // The entries point into the library: they go back to the stubs before it goes.
    Cdda = kStubs;
    scanNotes = nullptr;
    if (!library) return;
    platform::UnloadLibrary(library);
    library = nullptr;
}

bool CddaReaderLoaded() {
    return library != nullptr;
}

void LogCddaScanNotes(const CddaContext& context, const std::string& modeTag) {
    const char* notes = scanNotes ? scanNotes(&context) : nullptr;
    if (!notes) return;
    TStringList lines;
    lines.SetText(notes);
    for (int i = 0; i < lines.Count(); ++i)
        if (!lines.Get(i).empty()) WriteModeLog(modeTag, lines.Get(i));
}

std::string CddaStatusText(int32_t status) {
    switch (status) {
    case -201:
        return "ASPIの初期化に失敗しました for Windows9x";
    case -200:
        return "SPITの初期化に失敗しました for WindowsNT";
    case -160:
        return "デバイスを接続するアダプタに異常が発生しました";
    case -150:
        return "CD/DVDデバイスが存在しません";
    case -140:
        return "CD-ROM Device - Over number.\n";
    case -130:
        return "CDが挿入されていません";
    case -120:
        return "CDにオーディオトラックが存在しません";
    default:
        return "エラーコードが見つかりません";
    }
}

int CheckCddaStatus(int32_t status, const std::string& modeTag) {
    if (status >= 0) return 0;
    const std::string message = CddaStatusText(status);
    std::string bar;
    for (int i = 0; i < 31; ++i) bar += "■";
    AddLogLine(bar);
    WriteModeLog(modeTag, message);
    // The box shows the log line itself, time stamp and mode tag included.
    std::string line = message;
    if (FmLogMsg && FmLogMsg->Log && FmLogMsg->Log->Lines()->Count() > 0)
        line = FmLogMsg->Log->Lines()->Get(FmLogMsg->Log->Lines()->Count() - 1);
    AddLogLine(bar);
    Dialogs().MessageBox(line, "Error Msg", MB_OK | MB_ICONERROR);
    return 1;
}

} // namespace sv::app

#include "encoder/gogo_defs.h"

#include "platform/library.h"
#include "platform/registry.h"

namespace sv {
namespace {

struct Binding {
    platform::LibraryHandle handle = nullptr;
    int references = 0;
    GogoEntryPoints entries;
    std::string path;

    // At process exit the library goes whatever the count says.
    ~Binding() {
        references = 1;
        DeallocateGogoDLL();
        path.clear();
    }
};

Binding& State() {
    static Binding binding;
    return binding;
}

template <class Fn> bool Resolve(platform::LibraryHandle handle, const char* name, Fn& target) {
    target = reinterpret_cast<Fn>(platform::LibrarySymbol(handle, name));
    return target != nullptr;
}

} // namespace

bool InitGogoDefs() {
    Binding& b = State();
    if (b.references > 0) {
        ++b.references;
        return true;
    }
    b.path.clear();
    std::string localPath;
    b.handle = platform::LoadProgramLibrary("libgogo.so");
    if (!b.handle) {
        localPath = platform::ReadUserRegistryString("Software\\Pelloran\\GOGO_DLL", "INSTPATH")
                        .value_or("");
        if (!localPath.empty()) b.handle = platform::LoadLibraryFile(localPath);
    }
    if (!b.handle) return false;

    GogoEntryPoints& e = b.entries;
    bool all = Resolve(b.handle, "MPGE_initializeWork", e.initializeWork);
    all = Resolve(b.handle, "MPGE_setConfigure", e.setConfigure) && all;
    all = Resolve(b.handle, "MPGE_getConfigure", e.getConfigure) && all;
    all = Resolve(b.handle, "MPGE_detectConfigure", e.detectConfigure) && all;
    all = Resolve(b.handle, "MPGE_processFrame", e.processFrame) && all;
    all = Resolve(b.handle, "MPGE_closeCoder", e.closeCoder) && all;
    all = Resolve(b.handle, "MPGE_endCoder", e.endCoder) && all;
    all = Resolve(b.handle, "MPGE_getUnitStates", e.getUnitStates) && all;
    all = Resolve(b.handle, "MPGE_getVersion", e.getVersion) && all;
    if (all) {
        b.references = 1;
        b.path = localPath;
        return true;
    }
    platform::UnloadLibrary(b.handle);
    b.handle = nullptr;
    b.entries = {};
    b.references = 0;
    return false;
}

void DeallocateGogoDLL() {
    Binding& b = State();
    if (b.references == 1 && b.handle) {
        platform::UnloadLibrary(b.handle);
        b.handle = nullptr;
        // Nothing may call into an unloaded library through a stale address.
        b.entries = {};
    }
    --b.references;
}

const GogoEntryPoints& Gogo() {
    return State().entries;
}
const std::string& GogoDLLPath() {
    return State().path;
}
int GogoReferenceCount() {
    return State().references;
}
bool GogoLibraryLoaded() {
    return State().handle != nullptr;
}

} // namespace sv

#include "encoder/gogo_tea.h"

#include "encoder/gogo_defs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QtGlobal>
#include <algorithm>
#include <cstring>

namespace sv {

const char* const kMsgEncoding = "エンコード中に設定は変更できません.";
const char* const kMsgRange = "値が範囲外です.";
const char* const kMsgNoFpu = "FPUがありません";
const char* const kMsgBadSettings = "設定に誤りがあります.";
const char* const kMsgNoLibrary = "GOGO.DLLを初期化できません.";

namespace {

const QEvent::Type kNotifyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The component that configured the library's job last, cleared when it goes; the read callback
// serves it when it is called on a thread that is no component's worker. A callback in progress
// holds its component alive.
struct JobOwner {
    std::mutex mutex;
    std::condition_variable released;
    TGogoTea* component = nullptr;
};

JobOwner& Jobs() {
    static JobOwner jobs;
    return jobs;
}

MPGE_RESULT Fault() {
    return 10;
}

template <class Fn, class... Args> MPGE_RESULT CallLibrary(Fn fn, Args... args) {
    if (!fn) return Fault();
    try {
        return fn(args...);
    } catch (...) {
        return Fault();
    }
}

} // namespace

std::function<void(std::exception_ptr)> TGogoTea::HandleEventException =
    [](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            qWarning("TGogoTea event handler: %s", e.what());
        } catch (...) {
            qWarning("TGogoTea event handler: unknown exception");
        }
    };

// Receives the worker's notifications on the thread that owns the component. Pending ones die
// with it, so a destroyed component hears nothing.
class TGogoTeaWindow : public QObject {
public:
    explicit TGogoTeaWindow(TGogoTea& owner) : owner_(owner) {}

protected:
    bool event(QEvent* e) override {
        // The worker made the event under this lock; taking it orders that before our reads.
        { std::lock_guard lock(owner_.notifyMutex_); }
        if (e->type() != kNotifyEvent) return QObject::event(e);
        try {
            owner_.DeliverNextNotification();
        } catch (...) {
            if (TGogoTea::HandleEventException)
                TGogoTea::HandleEventException(std::current_exception());
        }
        return true;
    }

private:
    TGogoTea& owner_;
};

std::int32_t GogoTeaReadCallback(char* buffer, std::int32_t length) {
    JobOwner& jobs = Jobs();
    TGogoTea* self;
    {
        std::lock_guard lock(jobs.mutex);
        // On a component's worker the running job is that component's, whichever was made last:
        // its ring feeds the job, and its abort or destruction ends the wait.
        self = static_cast<TGogoTea*>(TEncodeThread::CurrentOwner());
        if (!self) self = jobs.component;
        // No component to read from: the input has ended, the buffer holds nothing.
        if (!self) return 1;
        ++self->callbackUsers_;
    }
    const std::int32_t result = self->ReadForLibrary(buffer, length);
    {
        std::lock_guard lock(jobs.mutex);
        --self->callbackUsers_;
    }
    jobs.released.notify_all();
    return result;
}

TGogoTea::TGogoTea(TComponent* owner) : TComponent(owner) {
    Initialize();
    if (Designing()) return;
    if (!InitGogoDefs()) throw EGogoTeaError(kMsgNoLibrary);
    boundLibrary_ = true;
    try {
        dllPath_ = GogoDLLPath();
        window_ = std::make_unique<TGogoTeaWindow>(*this);
        thread_ = std::make_unique<TEncodeThread>(
            [this](const TGogoMessage& message) { PostNotification(message); }, this);
    } catch (...) {
        thread_.reset();
        window_.reset();
        DeallocateGogoDLL();
        throw;
    }
    alive_ = true;
}

TGogoTea::~TGogoTea() {
    BeginDestruction();
    if (thread_) thread_->RequestQuit();
    {
        std::lock_guard lock(ringMutex_);
        alive_ = false;
    }
    ringChanged_.notify_all();
    {
        JobOwner& jobs = Jobs();
        std::unique_lock lock(jobs.mutex);
        if (jobs.component == this) jobs.component = nullptr;
        jobs.released.wait(lock, [this] { return callbackUsers_ == 0; });
    }
    thread_.reset();
    window_.reset();
    if (boundLibrary_) DeallocateGogoDLL();
}

void TGogoTea::CheckIdle() const {
    if (isEncoding_) throw EGogoTeaError(kMsgEncoding);
}

void TGogoTea::Initialize() {
    // Resetting the ring under a running memory job would hand the library garbage.
    CheckIdle();
    {
        std::lock_guard lock(ringMutex_);
        if (!ring_) ring_ = std::make_unique<char[]>(kRingSize);
        DisposeTags();
        writePos_ = readPos_ = 0;
        endOfInput_ = false;
    }
    SetBitrate(128);
    SetEncodeType(_JOINT);
    SetSetOfUseUnit({_USE_MMX, _USE_3DNOW, _USE_KNI, _USE_EX_3DNOW});
    SetEmphasis(_NO_EMPH);
    SetProcessors(1);
    SetUsePsy(false);
    SetUseLPF16(false);
    SetUseVBR(false);
    SetVBRLevel(5);
    SetDestFile("");
    SetSourceFile("");
    SetPriority(tpIdle);
    SetFrequency(100);
    SetEncodeMode(_FILE);
    SetEncodeFormat(_FORMAT_OF_MP3);
    allFrames_ = 0;
    *extFilter_ = TExtFilter{};
    *vbrBitrate_ = TVBRBitrate{};
    *msSetting_ = TMSSetting{};
    encodeResult_ = 0;
}

void TGogoTea::AddRmpTagInfo(const TTagInfoPac& tag) {
    if (tag.Size <= 0 || !tag.Data) throw EGogoTeaError(kMsgRange);
    auto* bytes = static_cast<const char*>(tag.Data);
    rmpTags_.emplace_back(bytes, bytes + tag.Size);
}

void TGogoTea::SetID3TagInfo(const TTagInfoPac& tag) {
    if (tag.Size <= 0 || !tag.Data) throw EGogoTeaError(kMsgRange);
    auto* bytes = static_cast<const char*>(tag.Data);
    id3Tag_.assign(bytes, bytes + tag.Size);
}

void TGogoTea::DisposeTags() {
    rmpTags_.clear();
    id3Tag_.clear();
}

void TGogoTea::QuerySettings() {
    if (Designing()) return;
    if (isEncoding_ || prepared_) throw EGogoTeaError(kMsgEncoding);
    {
        std::lock_guard lock(ringMutex_);
        endOfInput_ = false;
    }
    const GogoEntryPoints& gogo = Gogo();
    {
        std::lock_guard lock(Jobs().mutex);
        Jobs().component = this; // the library's one job is this component's from here on
    }
    encodeResult_ = CallLibrary(gogo.initializeWork);
    if (encodeResult_ != 0) throw EGogoTeaError(kMsgNoFpu);

    auto set = [&](unsigned id, std::uintptr_t v1, std::uintptr_t v2) {
        CallLibrary(gogo.setConfigure, id, v1, v2);
    };
    auto address = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
    auto flag = [](bool on) -> std::uintptr_t { return on ? 1 : 0; };
    auto value = [](int v) { return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(v)); };

    // The library copies the record during the call.
    MPGE_MEMORY_INPUT memory{&GogoTeaReadCallback, -1, 16, 44100, 2};
    if (encodeMode_ == _FILE)
        set(MPGE_CFG_INPUT, MPGE_INPUT_FILE, address(sourceFile_.c_str()));
    else
        set(MPGE_CFG_INPUT, MPGE_INPUT_MEMORY, address(&memory));
    set(MPGE_CFG_OUTPUT, 0, address(destinationFile_.c_str()));
    set(MPGE_CFG_PSYCHOACOUSTICS, flag(usePsy_), 0);
    set(MPGE_CFG_BITRATE, value(bitRate_), 0);
    set(MPGE_CFG_LOWPASS_16K, flag(useLPF_), 0);
    if (useVBR_) set(MPGE_CFG_VBR_LEVEL, value(vbrLevel_), 0);

    TSetOfUseUnit units = optimization_;
    const unsigned states = UnitStates();
    if (!(states & MPGE_UNIT_MMX)) units.Exclude(_USE_MMX);
    if (!(states & MPGE_UNIT_3DNOW)) units.Exclude(_USE_3DNOW);
    if (!(states & MPGE_UNIT_KNI)) units.Exclude(_USE_KNI);
    if (!(states & MPGE_UNIT_EX_3DNOW)) units.Exclude(_USE_EX_3DNOW);
    for (int u = 0; u <= static_cast<int>(_USE_SPC2); ++u)
        set(MPGE_CFG_USE_MMX + u, flag(units.Contains(static_cast<TUseUnit>(u))), 0);

    static constexpr std::uintptr_t kEmphasis[] = {0, 1, 3};
    set(MPGE_CFG_EMPHASIS, kEmphasis[static_cast<int>(emphasis_)], 0);
    set(MPGE_CFG_CHANNEL_MODE, static_cast<std::uintptr_t>(encodeType_), 0);
    set(MPGE_CFG_PROCESSORS, value(processors_), 0);

    // Each byte of the version is tested by itself.
    auto versionAtLeast = [this](unsigned minor) {
        const unsigned code = VersionCode();
        return (code & 0xFF00) >= 0x200 && (code & 0xFF) >= minor;
    };
    if (versionAtLeast(48)) {
        if (extFilter_->Enabled)
            set(MPGE_CFG_EXT_FILTER, value(extFilter_->Low), value(extFilter_->High));
        if (vbrBitrate_->Enabled && useVBR_)
            set(MPGE_CFG_VBR_RANGE, value(vbrBitrate_->Low), value(vbrBitrate_->High));
        if (msSetting_->Enabled)
            set(MPGE_CFG_MS_SETTING, value(msSetting_->Threshold), value(msSetting_->Power));
    }
    if (versionAtLeast(38)) {
        set(MPGE_CFG_CONTAINER, static_cast<std::uintptr_t>(encodeFormat_), 0);
        if (encodeFormat_ == _FORMAT_OF_MP3) {
            if (!id3Tag_.empty()) set(MPGE_CFG_ID3_BLOCK, id3Tag_.size(), address(id3Tag_.data()));
        } else {
            for (const auto& tag : rmpTags_)
                set(MPGE_CFG_RIFF_TAG, tag.size(), address(tag.data()));
        }
    }
    DisposeTags();

    encodeResult_ = CallLibrary(gogo.detectConfigure);
    if (encodeResult_ != 0) {
        prepared_ = false;
        throw EGogoTeaError(kMsgBadSettings);
    }
    {
        std::lock_guard lock(ringMutex_);
        writePos_ = readPos_ = 0;
    }
    std::int32_t frames = 0;
    CallLibrary(gogo.getConfigure, unsigned{MPGE_CFG_FRAME_COUNT}, static_cast<void*>(&frames));
    allFrames_ = frames;
    prepared_ = true;
}

void TGogoTea::Execute() {
    if (encodeMode_ == _FILE) QuerySettings();
    // A second start would be ignored by the worker while this component waited for it.
    else
        CheckIdle();
    if (!thread_) return;
    {
        std::lock_guard lock(ringMutex_);
        aborting_ = false;
    }
    encodeResult_ = 0;
    thread_->Post({WM_GOGO_PRIORITY, static_cast<std::intptr_t>(priority_), 0, 0});
    isEncoding_ = true;
    activeJob_ = ++jobCounter_;
    thread_->Post({WM_GOGO_START, allFrames_, frequency_, activeJob_});
}

void TGogoTea::AbortEncode() {
    if (!isEncoding_ || !thread_) return;
    thread_->Post({WM_GOGO_ABORT, 0, 0, activeJob_});
    // A memory job may be waiting inside the library for bytes that will not come now; the
    // abort is queued before the wait ends, so the worker finds it when the frame returns.
    {
        std::lock_guard lock(ringMutex_);
        aborting_ = true;
    }
    ringChanged_.notify_all();
}

void TGogoTea::PostNotification(const TGogoMessage& message) {
    // Allocated and queued under the lock that the receiving side takes, so that the hand-over
    // is ordered for every observer.
    std::lock_guard lock(notifyMutex_);
    auto* event = new QEvent(kNotifyEvent);
    notifications_.push_back(message);
    QCoreApplication::postEvent(window_.get(), event);
}

void TGogoTea::DeliverNextNotification() {
    TGogoMessage next;
    {
        std::lock_guard lock(notifyMutex_);
        if (notifications_.empty()) return;
        next = notifications_.front();
        notifications_.pop_front();
    }
    // Left over from a job that has ended (an abort that came late): not this job's business.
    if (next.Job != activeJob_ || activeJob_ == 0) return;
    TMessage message{next.Msg, next.WParam, next.LParam, 0};
    WndProc(message);
}

void TGogoTea::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_GOGO_END_OF_STREAM:
        break;
    case WM_GOGO_ERROR:
        OnEncodeError(message);
        break;
    case WM_GOGO_FINISHED:
        OnFinishEncode(message);
        break;
    case WM_GOGO_PROGRESS:
        OnProgressStatus(message);
        break;
    default:
        message.Result = 0;
        break;
    }
}

void TGogoTea::OnEncodeError(const TMessage& message) {
    isEncoding_ = false;
    prepared_ = false;
    encodeResult_ = static_cast<int>(message.WParam);
    if (OnError) OnError(this, static_cast<int>(message.WParam));
}

void TGogoTea::OnFinishEncode(const TMessage& message) {
    isEncoding_ = false;
    prepared_ = false;
    activeJob_ = 0;
    if (OnFinish) OnFinish(this, message.WParam != 0);
}

void TGogoTea::OnProgressStatus(const TMessage& message) {
    if (OnProgress)
        OnProgress(this, static_cast<int>(message.WParam), static_cast<int>(message.LParam));
}

std::size_t TGogoTea::Available() const {
    return (writePos_ - readPos_) & kRingMask;
}

void TGogoTea::CopyOut(char* target, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        target[i] = ring_[readPos_];
        readPos_ = (readPos_ + 1) & kRingMask;
    }
}

bool TGogoTea::WriteBuffer(const char* source, int length) {
    if (encodeMode_ != _MEMORY) return true;
    {
        std::lock_guard lock(ringMutex_);
        if (length > 0 && source) {
            const std::size_t free = (readPos_ - 1 - writePos_) & kRingMask;
            if (static_cast<std::size_t>(length) >= free) return false;
            for (int i = 0; i < length; ++i) {
                ring_[writePos_] = source[i];
                writePos_ = (writePos_ + 1) & kRingMask;
            }
        } else if (!source) {
            endOfInput_ = true;
        }
    }
    ringChanged_.notify_all();
    return true;
}

bool TGogoTea::ReadBuffer(char* target, int length) {
    if (encodeMode_ != _MEMORY) return true;
    std::lock_guard lock(ringMutex_);
    if (length <= 0) return true;
    if (!target) return false;
    if (Available() < static_cast<std::size_t>(length)) return false;
    CopyOut(target, static_cast<std::size_t>(length));
    return true;
}

int TGogoTea::ReadBufferEx(char* target, int length) {
    if (encodeMode_ != _MEMORY) return 0;
    std::lock_guard lock(ringMutex_);
    if (length < 1 || !target) return 0;
    const std::size_t n = std::min(Available(), static_cast<std::size_t>(length));
    CopyOut(target, n);
    std::memset(target + n, 0, static_cast<std::size_t>(length) - n);
    return static_cast<int>(n);
}

// On the worker thread, inside the library: waits for data, the end of input or destruction.
std::int32_t TGogoTea::ReadForLibrary(char* buffer, std::int32_t length) {
    if (length <= 0) return 0;
    std::unique_lock lock(ringMutex_);
    for (;;) {
        // Being destroyed or aborted: nothing more will come, and the buffer holds nothing.
        if (!alive_ || aborting_) return 1;
        if (Available() >= static_cast<std::size_t>(length)) {
            CopyOut(buffer, static_cast<std::size_t>(length));
            return 0;
        }
        if (endOfInput_) {
            const std::size_t n = std::min(Available(), static_cast<std::size_t>(length));
            if (n == 0) return 1;
            CopyOut(buffer, n);
            std::memset(buffer + n, 0, static_cast<std::size_t>(length) - n);
            return 0;
        }
        ringChanged_.wait(lock);
    }
}

int TGogoTea::EncodeFrames() {
    return CallLibrary(Gogo().processFrame);
}
int TGogoTea::CloseEncoder() {
    return CallLibrary(Gogo().closeCoder);
}
int TGogoTea::EndEncoder() {
    return CallLibrary(Gogo().endCoder);
}
int TGogoTea::GetConfigure(unsigned id, void* result) {
    return CallLibrary(Gogo().getConfigure, id, result);
}
int TGogoTea::SetConfigure(unsigned id, std::uintptr_t value1, std::uintptr_t value2) {
    return CallLibrary(Gogo().setConfigure, id, value1, value2);
}
int TGogoTea::DetectConfigure() {
    return CallLibrary(Gogo().detectConfigure);
}

unsigned TGogoTea::GetUnitStates() const {
    std::uint32_t states = 0;
    if (Designing() || CallLibrary(Gogo().getUnitStates, &states) != 0) return 0;
    return states;
}

unsigned TGogoTea::GetVersionCode() const {
    std::uint32_t code = 0;
    char text[MPGE_VERSION_TEXT_SIZE + 1] = {};
    if (Designing() || CallLibrary(Gogo().getVersion, &code, text) != 0) return 0;
    return code;
}

std::string TGogoTea::GetVersionStr() const {
    std::uint32_t code = 0;
    char text[MPGE_VERSION_TEXT_SIZE + 1] = {};
    if (Designing() || CallLibrary(Gogo().getVersion, &code, text) != 0) return "";
    text[MPGE_VERSION_TEXT_SIZE] = 0;
    return text;
}

void TGogoTea::SetPriority(TThreadPriority value) {
    priority_ = value;
    if (!Designing() && thread_)
        thread_->Post({WM_GOGO_PRIORITY, static_cast<std::intptr_t>(value), 0, 0});
}

void TGogoTea::SetFrequency(int value) {
    CheckIdle();
    if (value < 1) throw EGogoTeaError(kMsgRange);
    frequency_ = value;
}

void TGogoTea::SetSourceFile(const std::string& value) {
    CheckIdle();
    sourceFile_ = value;
}

void TGogoTea::SetDestFile(const std::string& value) {
    CheckIdle();
    destinationFile_ = value;
}

void TGogoTea::SetProcessors(int value) {
    CheckIdle();
    processors_ = value;
}

void TGogoTea::SetEmphasis(TEmphasis value) {
    CheckIdle();
    // Only a member of the enumeration has a library value.
    if (static_cast<unsigned>(value) > static_cast<unsigned>(_CCITT_EMPH))
        throw EGogoTeaError(kMsgRange);
    emphasis_ = value;
}

void TGogoTea::SetUsePsy(bool value) {
    CheckIdle();
    usePsy_ = value;
}

void TGogoTea::SetUseLPF16(bool value) {
    CheckIdle();
    useLPF_ = value;
}

void TGogoTea::SetUseVBR(bool value) {
    CheckIdle();
    useVBR_ = value;
}

void TGogoTea::SetVBRLevel(int value) {
    CheckIdle();
    if (value < 0 || value > 9) throw EGogoTeaError(kMsgRange);
    vbrLevel_ = value;
}

void TGogoTea::SetSetOfUseUnit(TSetOfUseUnit value) {
    CheckIdle();
    optimization_ = value;
}

void TGogoTea::SetEncodeFormat(TEncodeFormat value) {
    CheckIdle();
    encodeFormat_ = value;
}

void TGogoTea::SetEncodeMode(TEncodeMode value) {
    CheckIdle();
    encodeMode_ = value;
}

void TGogoTea::SetEncodeType(TEncodeType value) {
    CheckIdle();
    encodeType_ = value;
}

void TGogoTea::SetBitrate(int value) {
    CheckIdle();
    bitRate_ = value;
}

void TGogoTea::SetExtFilter(const TExtFilter* value) {
    CheckIdle();
    if (!value || value->Low < 0 || value->Low > 100 || value->High < 0 || value->High > 100)
        throw EGogoTeaError(kMsgRange);
    extFilter_->Low = value->Low;
    extFilter_->High = value->High;
    extFilter_->Enabled = value->Enabled;
}

void TGogoTea::SetVBRBitrate(const TVBRBitrate* value) {
    CheckIdle();
    if (!value || value->Low < 0 || value->High < 0) throw EGogoTeaError(kMsgRange);
    vbrBitrate_->Enabled = value->Enabled;
    vbrBitrate_->Low = value->Low;
    vbrBitrate_->High = value->High;
}

void TGogoTea::SetMSSetting(const TMSSetting* value) {
    CheckIdle();
    if (!value || value->Threshold < 0 || value->Threshold > 100 || value->Power < 0 ||
        value->Power > 100)
        throw EGogoTeaError(kMsgRange);
    msSetting_->Enabled = value->Enabled;
    msSetting_->Threshold = value->Threshold;
    msSetting_->Power = value->Power;
}

} // namespace sv

#pragma once
// TGogoTea: the MP3 encoder component. Holds the encoder settings, hands them to the encoder
// library, encodes on its own worker thread and reports on the thread that owns it.
#include "encoder/encode_thread.h"
#include "framework/component.h"
#include "framework/messages.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sv {

class EGogoTeaError : public Exception {
public:
    using Exception::Exception;
};

enum class TEncodeMode { _FILE, _MEMORY };
enum class TEncodeType { _MONO, _STEREO, _JOINT, _MSSTEREO, _DUALCHANNEL };
enum class TEmphasis { _NO_EMPH, _5015MS_EMPH, _CCITT_EMPH };
enum class TUseUnit { _USE_MMX, _USE_3DNOW, _USE_KNI, _USE_EX_3DNOW, _USE_SPC1, _USE_SPC2 };
enum class TEncodeFormat { _FORMAT_OF_MP3, _FORMAT_OF_RIFF_WAVE, _FORMAT_OF_RIFF_RMP };
using enum TEncodeMode;
using enum TEncodeType;
using enum TEmphasis;
using enum TUseUnit;
using enum TEncodeFormat;
using TSetOfUseUnit = TSet<TUseUnit>;

// A tag block handed to the component; the component keeps its own copy of the bytes.
struct TTagInfoPac {
    std::int32_t Size = 0;
    const void* Data = nullptr;
};
using TRMPInfoTag = TTagInfoPac;
using PTagInfoPac = TTagInfoPac*;
using PRMPInfoTag = TTagInfoPac*;

class TExtFilter : public TPersistent {
public:
    std::string ClassName() const override { return "TExtFilter"; }
    int Low = 55;
    int High = 70;
    bool Enabled = false;
};

class TVBRBitrate : public TPersistent {
public:
    std::string ClassName() const override { return "TVBRBitrate"; }
    bool Enabled = false;
    int Low = 40;
    int High = 128;
};

class TMSSetting : public TPersistent {
public:
    std::string ClassName() const override { return "TMSSetting"; }
    bool Enabled = false;
    int Threshold = 75;
    int Power = 66;
};

using TGogoTeaProgressEvent = std::function<void(TObject* Sender, int nowFrames, int AllFrames)>;
using TGogoTeaEncodeError = std::function<void(TObject* Sender, int ErrorCode)>;
using TGogoTeaFinishEncode = std::function<void(TObject* Sender, bool IsAborted)>;

class TGogoTeaWindow;

class TGogoTea : public TComponent {
public:
    // Takes a reference on the encoder library; raises EGogoTeaError when it cannot be bound.
    explicit TGogoTea(TComponent* owner);
    // A running job is closed without any event.
    ~TGogoTea() override;

    std::string ClassName() const override { return "TGogoTea"; }

    // Restores every default; refused while encoding.
    void Initialize();
    void AddRmpTagInfo(const TTagInfoPac& tag);
    void SetID3TagInfo(const TTagInfoPac& tag);
    void DisposeTags();
    // Hands every setting to the library; a refused job raises "設定に誤りがあります.".
    void QuerySettings();
    // Starts a job: in _FILE mode after QuerySettings, in _MEMORY mode after the caller's.
    void Execute();
    void AbortEncode();

    // The memory-input ring (only in _MEMORY mode; elsewhere they do nothing).
    bool WriteBuffer(const char* source, int length);
    bool ReadBuffer(char* target, int length);
    int ReadBufferEx(char* target, int length);

    // Direct library calls, unchecked.
    int EncodeFrames();
    int CloseEncoder();
    int EndEncoder();
    int GetConfigure(unsigned id, void* result);
    int SetConfigure(unsigned id, std::uintptr_t value1, std::uintptr_t value2);
    int DetectConfigure();

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority value);
    unsigned UnitStates() const { return GetUnitStates(); }
    std::string VersionString() const { return GetVersionStr(); }
    unsigned VersionCode() const { return GetVersionCode(); }
    unsigned GetUnitStates() const;
    std::string GetVersionStr() const;
    unsigned GetVersionCode() const;
    const std::string& DLLPath() const { return dllPath_; }
    int AllFrames() const { return allFrames_; }
    int Frequency() const { return frequency_; }
    void SetFrequency(int value);
    const std::string& SourceFile() const { return sourceFile_; }
    void SetSourceFile(const std::string& value);
    const std::string& DestinationFile() const { return destinationFile_; }
    void SetDestFile(const std::string& value);
    bool IsEncoding() const { return isEncoding_; }
    int Processors() const { return processors_; }
    void SetProcessors(int value);
    TEmphasis Emphasis() const { return emphasis_; }
    void SetEmphasis(TEmphasis value);
    bool UsePsyAnalize() const { return usePsy_; }
    void SetUsePsy(bool value);
    bool UseLPF() const { return useLPF_; }
    void SetUseLPF16(bool value);
    bool UseVBR() const { return useVBR_; }
    void SetUseVBR(bool value);
    int VBRLevel() const { return vbrLevel_; }
    void SetVBRLevel(int value);
    TSetOfUseUnit Optimization() const { return optimization_; }
    void SetSetOfUseUnit(TSetOfUseUnit value);
    TEncodeFormat EncodeFormat() const { return encodeFormat_; }
    void SetEncodeFormat(TEncodeFormat value);
    TEncodeMode EncodeMode() const { return encodeMode_; }
    void SetEncodeMode(TEncodeMode value);
    TEncodeType EncodeType() const { return encodeType_; }
    void SetEncodeType(TEncodeType value);
    int EncodeResult() const { return encodeResult_; }
    int BitRate() const { return bitRate_; }
    void SetBitrate(int value);
    TExtFilter* ExtFilter() const { return extFilter_.get(); }
    void SetExtFilter(const TExtFilter* value);
    TVBRBitrate* VBRBitrate() const { return vbrBitrate_.get(); }
    void SetVBRBitrate(const TVBRBitrate* value);
    TMSSetting* MSSetting() const { return msSetting_.get(); }
    void SetMSSetting(const TMSSetting* value);

    TGogoTeaProgressEvent OnProgress;
    TGogoTeaEncodeError OnError;
    TGogoTeaFinishEncode OnFinish;

    // Where an exception that escapes an event handler goes (Qt's event loop must not see it);
    // the application points it at its exception display.
    static std::function<void(std::exception_ptr)> HandleEventException;

    // The hidden window's procedure, on the owning thread.
    void WndProc(TMessage& message);

protected:
    void OnEncodeError(const TMessage& message);
    void OnFinishEncode(const TMessage& message);
    void OnProgressStatus(const TMessage& message);

private:
    friend class TGogoTeaWindow;
    friend std::int32_t GogoTeaReadCallback(char* buffer, std::int32_t length);

    bool Designing() const { return ComponentState().Contains(csDesigning); }
    void CheckIdle() const;
    void PostNotification(const TGogoMessage& message);
    void DeliverNextNotification();
    std::int32_t ReadForLibrary(char* buffer, std::int32_t length);
    std::size_t Available() const;
    void CopyOut(char* target, std::size_t count);

    TThreadPriority priority_ = tpIdle;
    std::string dllPath_;
    int allFrames_ = 0;
    int frequency_ = 100;
    std::string sourceFile_;
    std::string destinationFile_;
    bool isEncoding_ = false;
    bool prepared_ = false;
    int processors_ = 1;
    TEmphasis emphasis_ = _NO_EMPH;
    bool usePsy_ = false;
    bool useLPF_ = false;
    bool useVBR_ = false;
    int vbrLevel_ = 5;
    TSetOfUseUnit optimization_{_USE_MMX, _USE_3DNOW, _USE_KNI, _USE_EX_3DNOW};
    TEncodeFormat encodeFormat_ = _FORMAT_OF_MP3;
    TEncodeMode encodeMode_ = _FILE;
    TEncodeType encodeType_ = _JOINT;
    int encodeResult_ = 0;
    int bitRate_ = 128;
    std::unique_ptr<TExtFilter> extFilter_ = std::make_unique<TExtFilter>();
    std::unique_ptr<TVBRBitrate> vbrBitrate_ = std::make_unique<TVBRBitrate>();
    std::unique_ptr<TMSSetting> msSetting_ = std::make_unique<TMSSetting>();
    std::vector<std::vector<char>> rmpTags_;
    std::vector<char> id3Tag_;

    // Jobs are numbered so that a late notification of one cannot end the next.
    std::uint64_t jobCounter_ = 0;
    std::uint64_t activeJob_ = 0;
    bool boundLibrary_ = false;

    // The memory-input ring and what guards it.
    static constexpr std::size_t kRingSize = 1u << 20;
    static constexpr std::size_t kRingMask = kRingSize - 1;
    std::mutex ringMutex_;
    std::condition_variable ringChanged_;
    std::unique_ptr<char[]> ring_;
    std::size_t writePos_ = 0;
    std::size_t readPos_ = 0;
    bool endOfInput_ = false;
    bool aborting_ = false; // the running job was told to abort
    std::atomic<bool> alive_{false};
    int callbackUsers_ = 0; // guarded by the job owner's lock

    std::mutex notifyMutex_;
    std::deque<TGogoMessage> notifications_;
    std::unique_ptr<TGogoTeaWindow> window_;
    std::unique_ptr<TEncodeThread> thread_;
};

} // namespace sv

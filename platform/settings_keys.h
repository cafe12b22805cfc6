#pragma once
#include <string_view>

// Every section and key of main.ini, with the default each reader uses. Both programs read and
// write the file, so the names live here, below both of them.
namespace sv::settings {

// Sections
inline constexpr std::string_view kMain = "MAIN";
inline constexpr std::string_view kMenu = "MENU";
inline constexpr std::string_view kWork = "WORK";
inline constexpr std::string_view kCdWav = "CD_WAV";
inline constexpr std::string_view kCdMp3 = "CD_MP3";
inline constexpr std::string_view kCdCd = "CD_CD";
inline constexpr std::string_view kWavMp3 = "WAV_MP3";
inline constexpr std::string_view kMp3Wav = "MP3_WAV";
inline constexpr std::string_view kMp3Cd = "MP3_CD";

// MAIN
inline constexpr std::string_view kTitle = "TITLE"; // product name; nobody writes it
inline constexpr std::string_view kTitleDefault = "";
inline constexpr std::string_view kVersion = "VERSION"; // nobody writes it
inline constexpr std::string_view kVersionDefault = "???";
inline constexpr std::string_view kLeft = "LEFT"; // default: centred on the screen
inline constexpr std::string_view kTop = "TOP";

// MENU
inline constexpr std::string_view kItems = "ITEMS"; // comma text of the seven mode captions
inline constexpr std::string_view kNoMode = "なし";

// WORK: the hand-over of a prepared disc write
inline constexpr std::string_view kWriteDir = "WRITEDIR";
// The switches of the WRITEDIR command line; the WAV files to write follow them.
inline constexpr std::string_view kWriterSwitches = " -v -eject -audio -pad";
inline constexpr std::string_view kDelDir = "DELDIR";
inline constexpr std::string_view kSize = "SIZE";
inline constexpr std::string_view kMode = "MODE";
inline constexpr std::string_view kModeMp3Cd = "MP3_CD";
inline constexpr std::string_view kModeCdCd = "CD_CD";

// Mode sections
inline constexpr std::string_view kSaveDir = "SAVEDIR";
inline constexpr std::string_view kBitRate = "BITRATE";
inline constexpr int kBitRateDefault = 128;
inline constexpr std::string_view kBitRateTextDefault = "128";
inline constexpr std::string_view kEncodeType = "ENCODETYPE";
inline constexpr int kEncodeTypeDefault = 2; // joint stereo
inline constexpr std::string_view kSpeed = "SPEED";
inline constexpr int kSpeedDefault = 0;
inline constexpr std::string_view kBurnProof = "BURNPROOF";
inline constexpr int kBurnProofDefault = 0;
inline constexpr std::string_view kWait = "WAIT";
inline constexpr std::string_view kWaitTextDefault = "30"; // the settings page's default
inline constexpr int kWaitDefault = 999;                   // the writer's: no countdown
inline constexpr std::string_view kSameFolder = "BTNONAJI";
inline constexpr std::string_view kDeleteSource = "BTNMOTODEL";
inline constexpr int kButtonDefault = 0;
inline constexpr std::string_view kConvert = "CONVERT"; // 0 stereo, 1 mono
inline constexpr int kConvertDefault = 0;
inline constexpr std::string_view kFreqLimit = "FREQLIMIT";
inline constexpr int kFreqLimitDefault = 44100;
inline constexpr std::string_view kDecWait = "DECWAIT"; // milliseconds; nobody writes it
inline constexpr int kDecWaitDefault = 300;

} // namespace sv::settings

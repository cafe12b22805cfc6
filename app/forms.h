#pragma once
// Sonvale's seven forms: one instance each, owned by the application object.
namespace sv::app {

class TFmMain;
class TFmMP3_CD;
class TFmWAV_MP3;
class TFmCD_WAV;
class TFmOPTION;
class TFmLogMsg;
class TFmVersion;

extern TFmMain* FmMain;
extern TFmMP3_CD* FmMP3_CD;
extern TFmWAV_MP3* FmWAV_MP3;
extern TFmCD_WAV* FmCD_WAV;
extern TFmOPTION* FmOPTION;
extern TFmLogMsg* FmLogMsg;
extern TFmVersion* FmVersion;

// Creates the forms through the application object in start-up order; the first becomes the
// main form. An exception stops the creation at the form that raised it.
void CreateSonvaleForms();
// Frees the forms that exist, last first, and clears the variables.
void FreeSonvaleForms();

} // namespace sv::app

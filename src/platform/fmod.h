#pragma once
// The module player calls the show makes: load one tracker module, have a
// handler called for every Zxx effect it plays, play it, stop and release it.
// Implemented over libopenmpt with a real audio output (player_live.cpp) or
// rendered offline against a virtual clock (the capture's player).

struct FMUSIC_MODULE;

// Called once for every Zxx effect played, with the module and the byte xx.
typedef void (*FMUSIC_CALLBACK)(FMUSIC_MODULE* module, unsigned char parameter);

// Starts the sound system: the audio output when one can be opened, else a
// silent output that still consumes the music in real time. Returns 1.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);

// Stops every song and closes the sound system.
void FSOUND_Close();

// Loads a module of any format the decoder knows, found by content; null on failure.
FMUSIC_MODULE* FMUSIC_LoadSong(const char* name);

// Registers the Zxx handler; 0 when given a null module.
signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback);

// Starts playback from the beginning; the song loops at its end. 0 for a null module.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* module);

// Stops playback; no handler call follows its return. 0 for a null module.
signed char FMUSIC_StopSong(FMUSIC_MODULE* module);

// Stops and releases the module. 0 for a null module.
signed char FMUSIC_FreeSong(FMUSIC_MODULE* module);

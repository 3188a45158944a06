// Background music: the sound library loaded out of the executable, the
// module in play and hot key P, with the program's music state.
#pragma once

#include <memory>
#include <string>

#include "issue/issue.h"

// The program-wide music state.
extern bool SilentMode;   // --silent, or music not allowed here
extern bool MusicFailed;  // the library could not be loaded or started
extern bool MusicPlaying;
extern std::string CurrentMusicFile;  // the module file in use
extern std::string SoundLibraryFile;

class SoundLibrary;

// The music of one run: the sound library while it is loaded, and why the
// music is off after a failure. The modules are the open issue's.
class Music {
public:
    Music();
    ~Music();
    Music(Music&&) noexcept;
    Music& operator=(Music&&) noexcept;
    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    // Why the music is off for the run after a failure (empty while it is
    // on, and with --silent): shown by the track menu.
    const std::string& OffReason() const { return offReason_; }

    // Writes the sound library out of the executable, loads and initialises
    // it, then starts the module FirstTrack of Issue. Any failure only
    // switches the music off, with a line of text. Called with the working
    // folder open (see SoundLibraryUnwritable for a run without one).
    void LoadSoundLibrary(const issue::Issue& Issue, const std::string& FirstTrack);
    // The start-up without a working folder: the sound library cannot be
    // written, so it is reported as a library that cannot be loaded, with
    // Reason, and the music is off for the run.
    void SoundLibraryUnwritable(const std::string& Reason);
    // Plays the module Name of Issue. A track whose module file cannot be
    // written switches the music off for the run (the library is released);
    // the magazine goes on.
    void PlayTrack(const issue::Issue& Issue, const std::string& Name);
    void ToggleMusic();
    void ReleaseMusic();

private:
    bool Usable() const;
    void StartCurrentModule();
    void UnloadLibrary();
    void SwitchOff(const std::string& reason);
    void FailLoading(const std::string& reason);
    bool StartTrack(const issue::Issue& issue, const std::string& name, std::string& error);

    std::unique_ptr<SoundLibrary> library_;
    std::string offReason_;
};

#pragma once

#include "assignment/AssignmentTable.h"
#include "audition/MidPlay.h"
#include "platform/ScratchFolder.h"
#include "settings/Settings.h"

#include <memory>
#include <string>

namespace korvane {

// The temporary file every Play writes and loads.
constexpr const char* kAuditionFileName = "VCTEMP.MID";

// The audition file of the settings' audition folder: the folder, a separator and "VCTEMP.MID".
// An empty folder stands for the default audition folder, so that an unset folder never puts the
// file at the top of the file system.
std::string AuditionFilePath(const CSettings& settings);

// Makes the audition folder, mode 700: one level for a configured folder, with the folders above
// it for the default one (the user's cache folder may not exist yet). false when the folder is
// the default one and is not the user's private folder once made (another user made it first,
// it is open to others, or a link stands in its place): nothing may be put in it. A folder the
// user chose is taken as it is.
bool CreateAuditionFolder(const std::string& folder, bool isDefault);

// Loads the audition file at path into the player and plays it from its start, as Play does;
// false when the player could not load it (it has said why).
bool PlayAuditionFile(CMidPlay& midPlay, const std::string& path);

// The three audition buttons, as the window draws them.
struct AuditionButtons {
    bool play = false;
    bool pause = false;
    bool stop = false;
    bool operator==(const AuditionButtons&) const = default;
};

// The audition state held by the main window: the player and the Pause and Stop buttons (Play
// lives in the assignment table, as assignments switch it on). It writes the style being built
// to the audition file and plays it. Installs itself as the table's onStopAudition, so Open and
// Clear reset it.
class CAuditionPlayer {
public:
    CAuditionPlayer(CAssignmentTable& table, const CSettings& settings, ISequencer& sequencer);
    ~CAuditionPlayer();
    CAuditionPlayer(const CAuditionPlayer&) = delete;
    CAuditionPlayer& operator=(const CAuditionPlayer&) = delete;

    void Play();
    // Play This Section: the section alone after its file's setup events, over and over until
    // Stop (once when repeat is off); another section replaces it at once.
    void PlaySection(const CStyleSection& section, bool repeat = true);
    void Pause();
    void Stop();
    // Open and Clear: all buttons off; a loaded file is closed.
    void Reset();

    AuditionButtons GetButtons() const;
    const CMidPlay& GetMidPlay() const { return m_midPlay; }
    void SetSequencer(ISequencer& sequencer) { m_midPlay.SetSequencer(sequencer); }

private:
    void SetButtons(bool play, bool pause, bool stop);
    // Writes the audition file with write and loads and plays it.
    template <typename Write> void LoadAndPlay(Write write);
    // The audition file's path, its folder made; empty when there is none to write (the user has
    // been told why).
    std::string PreparedAuditionFile();

    CAssignmentTable& m_table;
    const CSettings& m_settings;
    // The private folder that takes the default audition folder's place when that one is refused.
    std::unique_ptr<CScratchFolder> m_pScratch;
    CMidPlay m_midPlay;
    bool m_pauseEnabled = false;
    bool m_stopEnabled = false;
};

} // namespace korvane

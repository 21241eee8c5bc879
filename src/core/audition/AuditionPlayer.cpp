#include "audition/AuditionPlayer.h"

#include "assignment/SaveCommand.h"
#include "audition/SectionAudition.h"
#include "platform/Paths.h"

#include <filesystem>

namespace korvane {

std::string AuditionFilePath(const CSettings& settings) {
    const std::string folder =
        settings.auditionFolder.empty() ? DefaultAuditionFolder() : settings.auditionFolder;
    return (std::filesystem::path(folder) / kAuditionFileName).string();
}

void CreateAuditionFolder(const std::string& folder, bool isDefault) {
    // An existing folder, or one we cannot make, shows up in the write.
    std::error_code ignored;
    if (isDefault || folder == DefaultAuditionFolder())
        std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ignored);
    CreatePrivateFolder(folder);
}

CAuditionPlayer::CAuditionPlayer(CAssignmentTable& table, const CSettings& settings,
                                 ISequencer& sequencer)
    : m_table(table), m_settings(settings), m_midPlay(sequencer, table.GetMessages()) {
    m_table.onStopAudition = [this] { Reset(); };
}

CAuditionPlayer::~CAuditionPlayer() {
    m_table.onStopAudition = nullptr;
    m_midPlay.Close();
}

void CAuditionPlayer::SetButtons(bool play, bool pause, bool stop) {
    m_table.SetPlayEnabled(play);
    m_pauseEnabled = pause;
    m_stopEnabled = stop;
}

AuditionButtons CAuditionPlayer::GetButtons() const {
    return {m_table.IsPlayEnabled(), m_pauseEnabled, m_stopEnabled};
}

void CAuditionPlayer::Play() {
    const std::string path = AuditionFilePath(m_settings);
    SetButtons(false, true, true);
    if (m_midPlay.IsStarted()) {
        // Paused: the loaded file plays again from its start; it is not written again.
        m_midPlay.Rewind();
        m_midPlay.Start();
        return;
    }
    m_midPlay.SetRepeat(false);
    LoadAndPlay(path, [this](const std::string& to) { return WriteWork(m_table, to); });
}

void CAuditionPlayer::PlaySection(const CStyleSection& section, bool repeat) {
    SetButtons(false, true, true);
    m_midPlay.SetRepeat(repeat);
    LoadAndPlay(AuditionFilePath(m_settings), [&](const std::string& to) {
        return WriteSectionStyle(to, m_table.GetDocument(), section, m_table.GetMessages());
    });
}

template <typename Write> void CAuditionPlayer::LoadAndPlay(const std::string& path, Write write) {
    CreateAuditionFolder(std::filesystem::path(path).parent_path().string(),
                         m_settings.auditionFolder.empty());
    if (write(path) != WriteResult::Ok)
        return; // the writer has told the user
    PlayAuditionFile(m_midPlay, path);
}

bool PlayAuditionFile(CMidPlay& midPlay, const std::string& path) {
    midPlay.Load(path);
    midPlay.SetStarted(true);
    midPlay.Start();
    return midPlay.IsOpen();
}

void CAuditionPlayer::Pause() {
    SetButtons(true, false, true);
    m_midPlay.Halt();
    m_midPlay.SetStarted(true);
}

void CAuditionPlayer::Stop() {
    SetButtons(true, false, false);
    m_midPlay.Halt();
    m_midPlay.Close();
    m_midPlay.SetStarted(false);
}

void CAuditionPlayer::Reset() {
    SetButtons(false, false, false);
    if (m_midPlay.IsStarted()) {
        m_midPlay.Close();
        m_midPlay.SetStarted(false);
    }
}

} // namespace korvane

#include "audition/AuditionPlayer.h"

#include "assignment/SaveCommand.h"
#include "audition/SectionAudition.h"
#include "platform/Paths.h"
#include "style/Outcome.h"

#include <cerrno>
#include <filesystem>

namespace korvane {

std::string AuditionFilePath(const CSettings& settings) {
    const std::string folder =
        settings.auditionFolder.empty() ? DefaultAuditionFolder() : settings.auditionFolder;
    return (std::filesystem::path(folder) / kAuditionFileName).string();
}

bool CreateAuditionFolder(const std::string& folder, bool isDefault) {
    // An existing folder, or one we cannot make, shows up in the write.
    std::error_code ignored;
    isDefault = isDefault || folder == DefaultAuditionFolder();
    if (isDefault)
        std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ignored);
    CreatePrivateFolder(folder);
    return !isDefault || IsPrivateFolder(folder);
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
    SetButtons(false, true, true);
    if (m_midPlay.IsStarted()) {
        // Paused: the loaded file plays again from its start; it is not written again.
        m_midPlay.Rewind();
        m_midPlay.Start();
        return;
    }
    m_midPlay.SetRepeat(false);
    LoadAndPlay([this](const std::string& to) { return WriteWork(m_table, to); });
}

void CAuditionPlayer::PlaySection(const CStyleSection& section, bool repeat) {
    SetButtons(false, true, true);
    m_midPlay.SetRepeat(repeat);
    LoadAndPlay([&](const std::string& to) {
        return WriteSectionStyle(to, m_table.GetDocument(), section, m_table.GetMessages());
    });
}

std::string CAuditionPlayer::PreparedAuditionFile() {
    const std::string path = AuditionFilePath(m_settings);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (CreateAuditionFolder(folder, m_settings.auditionFolder.empty()))
        return path;
    // Others could rename or replace the file there: a private folder of the player's own, in the
    // system's temporary folder, holds it while the player lives.
    if (!m_pScratch)
        m_pScratch = std::make_unique<CScratchFolder>(folder, "audition-",
                                                      std::vector<std::string>{kAuditionFileName});
    if (m_pScratch->Path().empty()) {
        ShowOutcome(m_table.GetMessages(), MakeOutcome(Failure::CannotCreate, path, EACCES));
        m_pScratch.reset();
        return std::string();
    }
    return m_pScratch->FilePath(kAuditionFileName);
}

template <typename Write> void CAuditionPlayer::LoadAndPlay(Write write) {
    const std::string path = PreparedAuditionFile();
    if (path.empty() || write(path) != WriteResult::Ok)
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

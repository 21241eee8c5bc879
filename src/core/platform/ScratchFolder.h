#pragma once

#include <string>
#include <vector>

namespace korvane {

struct CTemporaryNode;

// A private folder (mode 700) made inside base, for files that live only while a command runs:
// audition's VCTEMP.MID and its render. The folder and the files named at its making are removed
// when the object goes, and on SIGINT, SIGTERM or SIGHUP by the handlers that
// InstallTemporaryFileCleanup installs for the temporary files of writes. A base that is not the
// user's own and closed to others is not used: the folder goes to /tmp instead. The folder is
// locked while it lives; making one removes the unlocked folders of the same prefix that runs
// killed outright (SIGKILL) left in base. Built where audition is (POSIX systems); the Windows
// build of the core has no audition yet.
class CScratchFolder {
public:
    CScratchFolder(const std::string& base, const std::string& prefix,
                   const std::vector<std::string>& fileNames);
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& Path() const { return m_path; }
    std::string FilePath(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    std::vector<CTemporaryNode*> m_pNodes; // the folder's node first, then its files'
    int m_lock = -1;                       // the folder, open and locked while it lives
};

// Whether nobody else can rename or replace what is put in the folder at path: a real folder (not
// a link to one), the user's own, and closed to everyone else (no group or other permission).
bool IsPrivateFolder(const std::string& path);

// Called with the number of each step of a scratch folder's making (1 to 10), so that tests can
// stop it by a signal at each; null (the default) calls nothing.
using ScratchStepObserver = void (*)(int step);
void SetScratchStepObserver(ScratchStepObserver observer);

} // namespace korvane

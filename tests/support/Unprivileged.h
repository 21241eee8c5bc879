#pragma once

#include <functional>
#include <optional>
#include <string>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::testing {

// The user that cases needing an unprivileged user run as when the tests run as root (CI):
// "nobody". Null when the tests already run unprivileged, or when root has no such user.
inline const passwd* UnprivilegedUser() {
    return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

// Whether RunUnprivileged can run a body as a user that permissions stop.
inline bool CanRunUnprivileged() {
    return geteuid() != 0 || UnprivilegedUser() != nullptr;
}

// Gives a file or folder to the user RunUnprivileged runs as.
inline void HandToUnprivileged(const std::string& path) {
    if (const passwd* user = UnprivilegedUser())
        (void)chown(path.c_str(), user->pw_uid, user->pw_gid);
}

// Runs body in a child process as that user and returns the text body returned, or what went
// wrong in the child. The body reports what it saw as text, so that the assertions stay in the
// test's own process.
inline std::string RunUnprivileged(const std::function<std::string()>& body) {
    const passwd* user = UnprivilegedUser();
    const uid_t uid = user ? user->pw_uid : geteuid();
    const gid_t gid = user ? user->pw_gid : getegid();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "[no pipe]";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        if (user && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
            _exit(3);
        const std::string text = body();
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = write(pipeEnds[1], text.data() + written, text.size() - written);
            if (n <= 0)
                _exit(4);
            written += std::size_t(n);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        text += "[child ended with status " + std::to_string(status) + "]";
    return text;
}

} // namespace korvane::testing

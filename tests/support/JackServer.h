#pragma once

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

namespace korvane::testing {

// A JACK server with the dummy backend, private to one test or benchmark; gone with the object,
// and with the process whatever ends it: the kernel sends the server SIGTERM when the thread that
// started it ends, so a crashed or killed test leaves no server behind. Make it on the thread that
// runs the test.
class CJackServer {
public:
    // periodFrames: the frames of one cycle; a test's default is 256 (see below).
    explicit CJackServer(int periodFrames = 256) {
        const std::string period = std::to_string(periodFrames);
        m_name = "korvane-test-" + std::to_string(getpid());
        // The environment is written only the first time: later servers of the process have the
        // same name, and the clients' threads of earlier tests may still read it.
        for (const auto& [variable, value] :
             {std::pair<const char*, const char*>{"JACK_DEFAULT_SERVER", m_name.c_str()},
              {"JACK_NO_AUDIO_RESERVATION", "1"},
              {"JACK_NO_START_SERVER", "1"}}) {
            const char* current = ::getenv(variable);
            if (!current || std::strcmp(current, value) != 0)
                ::setenv(variable, value, 1);
        }
        RemoveLeftovers();
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // Set before exec and kept across it; a parent that ended before this took effect is
            // seen in getppid().
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
                _exit(127);
            const int quiet = ::open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            // -t: a loaded machine answers slowly; a client gets 5 s before the server drops it.
            // -p: 256 frames make cycles of 5.8 ms, which a client without real-time scheduling
            // on a loaded machine still meets; at 1.5 ms the port timing test missed cycles in
            // all five of its attempts now and then.
            execlp("jackd", "jackd", "-n", m_name.c_str(), "-t", "5000", "-d", "dummy", "-r",
                   "44100", "-p", period.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Bounded wait for the server to take clients.
        for (int attempt = 0; attempt < 50 && m_pid > 0; ++attempt) {
            jack_status_t status{};
            if (jack_client_t* probe =
                    jack_client_open("korvane-probe", JackNoStartServer, &status)) {
                jack_client_close(probe);
                m_running = true;
                return;
            }
            int exitStatus = 0;
            if (waitpid(m_pid, &exitStatus, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~CJackServer() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        bool ended = false;
        for (int attempt = 0; attempt < 30 && !ended; ++attempt) {
            ended = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        RemoveLeftovers();
    }
    bool IsRunning() const { return m_running; }

    // A server's semaphores and sockets in /dev/shm carry its name, and one that ended by a
    // signal leaves them; a later process of the same number (numbers come round) would find them
    // and fail to start its clients. No other process uses this name.
    void RemoveLeftovers() const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
            if (entry.path().filename().string().find("_" + m_name + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), error);
        }
    }
    pid_t GetPid() const { return m_pid; }

private:
    std::string m_name;
    pid_t m_pid = -1;
    bool m_running = false;
};

} // namespace korvane::testing

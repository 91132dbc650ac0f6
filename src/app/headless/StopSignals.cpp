#include "app/headless/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tess::app::stopsignals {
namespace {

int stopSignalPipe[2] = { -1, -1 };

// A closed terminal or a dropped ssh session ends a long run as SIGTERM
// does: with the position that resumes it, and its temporary files gone.
constexpr int kStopSignals[] = { SIGINT, SIGTERM, SIGHUP };

extern "C" void onStopSignal(int signo)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(stopSignalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool open() { return ::pipe2(stopSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0; }

int readEnd() { return stopSignalPipe[0]; }

void catchSignals()
{
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signo : kStopSignals)
        ::sigaction(signo, &action, nullptr);
}

void release()
{
    for (const int signo : kStopSignals)
        ::signal(signo, SIG_DFL);
}

int take()
{
    unsigned char byte = 0;
    return ::read(stopSignalPipe[0], &byte, 1) == 1 ? byte : 0;
}

} // namespace tess::app::stopsignals

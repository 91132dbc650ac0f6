#include "io/TemporaryFiles.h"

#include "io/PathName.h"
#include "io/TemporaryFileCleanup.h"

#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::io {
namespace {

constexpr char kPrefix[] = ".tessaroon-";
constexpr char kSuffix[] = ".tmp";
constexpr int kRandomLength = 6; // the XXXXXX mkostemps() fills in
constexpr time_t kBusyWindow = 60;
constexpr time_t kAbandoned = 60 * 60;

// The list the signal handler walks. Plain arrays and lock-free atomics
// only: a handler may not allocate or take locks.
enum SlotState : int { Free, Filling, Live };

struct Slot {
    std::atomic<int> state { Free };
    char path[PATH_MAX];
};

static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSlotCount = 16;
Slot slotTable[kSlotCount];

constexpr int kCleanedSignals[] = { SIGINT, SIGTERM, SIGHUP };

void removeLiveTemporaryFiles(int signal)
{
    const int savedErrno = errno;
    for (Slot& slot : slotTable)
        if (slot.state.load(std::memory_order_acquire) == Live)
            ::unlink(slot.path);
    // Then end as the signal would have ended the program: the signal stays
    // blocked until the handler returns, and is then delivered to the
    // default action.
    struct sigaction byDefault { };
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    ::raise(signal);
    errno = savedErrno;
}

bool isListed(const QByteArray& path)
{
    for (const Slot& slot : slotTable)
        if (slot.state.load(std::memory_order_acquire) == Live && path == slot.path)
            return true;
    return false;
}

// The process id in a name of the program's temporary form, or 0 for any
// other name.
pid_t writerOf(const char* name)
{
    const size_t length = std::strlen(name);
    const size_t prefix = sizeof kPrefix - 1;
    const size_t suffix = sizeof kSuffix - 1;
    if (length <= prefix + 1 + kRandomLength + suffix || std::strncmp(name, kPrefix, prefix) != 0
        || std::strcmp(name + length - suffix, kSuffix) != 0)
        return 0;
    const char* const random = name + length - suffix - kRandomLength;
    if (random[-1] != '-')
        return 0;
    for (const char* p = random; p < name + length - suffix; ++p)
        if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
            return 0;
    // Never 0 or negative: kill() would then reach whole process groups.
    long long pid = 0;
    const char* p = name + prefix;
    if (*p == '0')
        return 0;
    for (; p < random - 1; ++p) {
        if (*p < '0' || *p > '9' || pid > INT_MAX / 10)
            return 0;
        pid = pid * 10 + (*p - '0');
    }
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

bool writerIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

QByteArray inFolder(const QByteArray& folder, const char* name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

QByteArray temporaryFilePattern(const QByteArray& folder)
{
    const QByteArray name
        = kPrefix + QByteArray::number(::getpid()) + '-' + QByteArray(kRandomLength, 'X') + kSuffix;
    return inFolder(folder, name.constData());
}

LiveTemporaryFile::LiveTemporaryFile(const QByteArray& path)
{
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlotCount; ++i) {
        int expected = Free;
        if (slotTable[i].state.compare_exchange_strong(expected, Filling, std::memory_order_acquire)) {
            std::memcpy(slotTable[i].path, path.constData(), static_cast<size_t>(path.size()) + 1);
            slotTable[i].state.store(Live, std::memory_order_release);
            m_slot = i;
            return;
        }
    }
}

LiveTemporaryFile::~LiveTemporaryFile()
{
    if (m_slot >= 0)
        slotTable[m_slot].state.store(Free, std::memory_order_release);
}

void removeStaleTemporaryFiles(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t writer = writerOf(entry->d_name);
        if (writer == 0)
            continue;
        struct stat st { };
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const time_t age = now - st.st_mtime;
        if (age < kBusyWindow)
            continue;
        bool stale;
        if (writer == self)
            stale = !isListed(inFolder(folder, entry->d_name));
        else
            stale = age > kAbandoned || writerIsGone(writer);
        if (stale)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void removeStaleTemporaryFilesBeside(const QString& file)
{
    if (!file.isEmpty())
        removeStaleTemporaryFiles(encodePath(QFileInfo(file).absolutePath()));
}

void installTemporaryFileCleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action { };
        action.sa_handler = removeLiveTemporaryFiles;
        sigemptyset(&action.sa_mask);
        for (const int signal : kCleanedSignals)
            sigaddset(&action.sa_mask, signal);
        action.sa_flags = SA_RESTART;
        for (const int signal : kCleanedSignals) {
            // A signal already ignored (nohup) or taken by someone else keeps
            // its meaning.
            struct sigaction current { };
            if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0
                || current.sa_handler != SIG_DFL)
                continue;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

} // namespace tess::io

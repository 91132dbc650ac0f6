#pragma once

#include "io/SystemCalls.h"

#include <cerrno>
#include <functional>

// Makes the file module's system calls fail on purpose, for one scope.
namespace tess::test {

enum class Call {
    Open,
    Read,
    Write,
    Fsync,
    Close,
    Rename,
    CreateTemporary,
    Fchmod,
    Ftruncate,
    Fallocate,
    Lseek,
    CreateNameless,
    Link
};

inline const char* callName(Call call)
{
    static const char* const kNames[] = { "open", "read", "write", "fsync", "close", "rename", "mkostemps",
        "fchmod", "ftruncate", "fallocate", "lseek", "open O_TMPFILE", "linkat" };
    return kNames[static_cast<int>(call)];
}

// Asks `decide` before each of the file module's system calls. A nonzero
// answer fails the call with that errno without it happening, except that
// a failing close still closes, as the system's does.
class InterceptedCalls final {
public:
    using Decide = std::function<int(Call)>;

    explicit InterceptedCalls(Decide decide)
    {
        current() = std::move(decide);
        io::SystemCalls& sys = io::systemCalls();
        sys.open = Wrap<Call::Open, &io::SystemCalls::open>::call;
        sys.read = Wrap<Call::Read, &io::SystemCalls::read>::call;
        sys.write = Wrap<Call::Write, &io::SystemCalls::write>::call;
        sys.fsync = Wrap<Call::Fsync, &io::SystemCalls::fsync>::call;
        sys.close = Wrap<Call::Close, &io::SystemCalls::close>::call;
        sys.rename = Wrap<Call::Rename, &io::SystemCalls::rename>::call;
        sys.mkostemps = Wrap<Call::CreateTemporary, &io::SystemCalls::mkostemps>::call;
        sys.fchmod = Wrap<Call::Fchmod, &io::SystemCalls::fchmod>::call;
        sys.ftruncate = Wrap<Call::Ftruncate, &io::SystemCalls::ftruncate>::call;
        sys.fallocate = Wrap<Call::Fallocate, &io::SystemCalls::fallocate>::call;
        sys.lseek = Wrap<Call::Lseek, &io::SystemCalls::lseek>::call;
        sys.openNameless = openNameless;
        sys.linkat = Wrap<Call::Link, &io::SystemCalls::linkat>::call;
    }
    ~InterceptedCalls()
    {
        io::systemCalls() = io::SystemCalls::kReal;
        current() = nullptr;
    }
    InterceptedCalls(const InterceptedCalls&) = delete;
    InterceptedCalls& operator=(const InterceptedCalls&) = delete;

private:
    static Decide& current()
    {
        static Decide decide;
        return decide;
    }

    // A nameless file is a temporary file too: failing CreateTemporary fails
    // both kinds, failing CreateNameless only this one (as a file system
    // without them does).
    static int openNameless(const char* folder, int flags, mode_t mode)
    {
        int error = current() ? current()(Call::CreateNameless) : 0;
        if (error == 0 && current())
            error = current()(Call::CreateTemporary);
        if (error == 0)
            return io::SystemCalls::kReal.openNameless(folder, flags, mode);
        errno = error;
        return -1;
    }

    template <Call C, auto Field> struct Wrap;
    template <Call C, typename R, typename... A, R (*io::SystemCalls::*Field)(A...)> struct Wrap<C, Field> {
        static R call(A... args)
        {
            const int error = current() ? current()(C) : 0;
            if (error == 0 || C == Call::Close) {
                const R result = (io::SystemCalls::kReal.*Field)(args...);
                if (error == 0)
                    return result;
            }
            errno = error;
            return -1;
        }
    };
};

// Fails every `call` with `error`.
inline InterceptedCalls failing(Call call, int error)
{
    return InterceptedCalls([=](Call c) { return c == call ? error : 0; });
}

} // namespace tess::test

#pragma once

#include "text/SystemCalls.h"

#include <cerrno>
#include <functional>

// Makes the file module's system calls fail on purpose, for one scope.
namespace tess::test {

enum class Call { Open, Read, Write, Fsync, Close, Rename, CreateTemporary, Fchmod, Ftruncate, Fallocate };

inline const char* callName(Call call)
{
    static const char* const kNames[] = { "open", "read", "write", "fsync", "close", "rename", "mkostemps",
        "fchmod", "ftruncate", "fallocate" };
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
        text::SystemCalls& sys = text::systemCalls();
        sys.open = Wrap<Call::Open, &text::SystemCalls::open>::call;
        sys.read = Wrap<Call::Read, &text::SystemCalls::read>::call;
        sys.write = Wrap<Call::Write, &text::SystemCalls::write>::call;
        sys.fsync = Wrap<Call::Fsync, &text::SystemCalls::fsync>::call;
        sys.close = Wrap<Call::Close, &text::SystemCalls::close>::call;
        sys.rename = Wrap<Call::Rename, &text::SystemCalls::rename>::call;
        sys.mkostemps = Wrap<Call::CreateTemporary, &text::SystemCalls::mkostemps>::call;
        sys.fchmod = Wrap<Call::Fchmod, &text::SystemCalls::fchmod>::call;
        sys.ftruncate = Wrap<Call::Ftruncate, &text::SystemCalls::ftruncate>::call;
        sys.fallocate = Wrap<Call::Fallocate, &text::SystemCalls::fallocate>::call;
    }
    ~InterceptedCalls()
    {
        text::systemCalls() = text::SystemCalls::real;
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

    template <Call C, auto Field> struct Wrap;
    template <Call C, typename R, typename... A, R (*text::SystemCalls::*Field)(A...)> struct Wrap<C, Field> {
        static R call(A... args)
        {
            const int error = current() ? current()(C) : 0;
            if (error == 0 || C == Call::Close) {
                const R result = (text::SystemCalls::real.*Field)(args...);
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

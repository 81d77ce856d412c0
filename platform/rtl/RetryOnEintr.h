// A system call cut short by a signal is made again: fn() is repeated while
// it returns -1 with errno EINTR. Its last result is returned, errno as the
// call left it.
#pragma once

#include <cerrno>

template <class F> auto RetryOnEintr(F&& fn) -> decltype(fn()) {
    for (;;) {
        const auto result = fn();
        if (result != -1 || errno != EINTR) return result;
    }
}

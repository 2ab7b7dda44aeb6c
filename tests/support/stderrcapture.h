#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// What a call writes to the process's standard error, which is kept from the terminal meanwhile.
template <typename Call> QByteArray stderrOf(Call call)
{
    QTemporaryFile file;
    if (!file.open()) {
        call();
        return {};
    }
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    call();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

#pragma once

#include <QTemporaryDir>

#include <memory>

// Points the per-user settings (XDG_CONFIG_HOME, HOME) at a fresh temporary directory, which lives
// as long as the returned object. Call before the first QSettings of the process.
inline std::unique_ptr<QTemporaryDir> isolateSettings()
{
    auto dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", dir->filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("HOME", dir->path().toLocal8Bit());
    return dir;
}

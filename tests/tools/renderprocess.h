#pragma once

// Runs the built vorn-render as a script would, for the tests of its subcommands.
#include <QProcess>
#include <QStringList>

struct RenderRun
{
    int exitCode = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

inline RenderRun render(const QStringList& arguments, const QString& workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.start(QStringLiteral(VORN_RENDER_PATH), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
}

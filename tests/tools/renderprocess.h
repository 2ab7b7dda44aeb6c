#pragma once

// Runs the built vorn-render as a script would, for the tests of its subcommands.
#include <QProcess>
#include <QStringList>

#include <optional>

struct RenderRun
{
    int exitCode = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// With `input`, standard input is a pipe that carries it; without, it is left as it is.
inline RenderRun render(const QStringList& arguments, const QString& workingDirectory = {},
    const std::optional<QByteArray>& input = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.start(QStringLiteral(VORN_RENDER_PATH), arguments);
    if (input) {
        process.write(*input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
}

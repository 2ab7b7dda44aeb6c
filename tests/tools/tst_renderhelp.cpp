// vorn-render's help and its design options, as a user meets them: each command's --help names
// exactly the options the command takes, the design options are read and checked by every
// command that runs a filter (and refused by the others), and bad input is one line.
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "renderprocess.h"

namespace {

const QStringList kCommands { "samples", "spectrum", "wav", "points", "plot", "response",
    "coefficients", "poles", "metrics", "filter" };
const QStringList kDesignOptions { "--type", "--order", "--corner", "--shape", "--ripple",
    "--stopband", "--dc-block", "--hold" };

// The options a command's help lists: the lines that start with them.
QStringList HelpOptions(const QByteArray& help)
{
    QStringList options;
    const QRegularExpression line("^  (?:-h, )?(--[a-z][a-z-]*)");
    for (const QByteArray& text : help.split('\n')) {
        const auto match = line.match(QString::fromUtf8(text));
        if (match.hasMatch()) {
            options << match.captured(1);
        }
    }
    return options;
}

QString Simplified(const QByteArray& text)
{
    return QString::fromUtf8(text).simplified();
}

} // namespace

class TestRenderHelp : public QObject
{
    Q_OBJECT

private slots:
    void programHelp();
    void commandHelp_data();
    void commandHelp();
    void designOptions_data();
    void designOptions();
    void filterDesignAtTheFilesRate_data();
    void filterDesignAtTheFilesRate();
    void exactLines_data();
    void exactLines();
    void examplesRun();
};

void TestRenderHelp::programHelp()
{
    const RenderRun run = render({ "--help" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QList<QByteArray> lines = run.out.split('\n');
    // What the program is for, then four examples, before the commands and the reference.
    QVERIFY(lines.front().startsWith("vorn-render lets you hear and see analogue filters"));
    const qsizetype examples = lines.indexOf("examples:");
    QVERIFY(examples > 0 && examples < lines.indexOf("commands:"));
    QVERIFY(lines.indexOf("commands:") < lines.indexOf("usage:"));
    QCOMPARE(std::count_if(lines.begin() + examples + 1, lines.begin() + examples + 9,
                 [](const QByteArray& line) { return line.startsWith("  vorn-render "); }),
        4);
    // The commands one line each, in order.
    const qsizetype start = lines.indexOf("commands:");
    QVERIFY(start > 0);
    QStringList listed;
    for (qsizetype i = start + 1; i < lines.size() && !lines[i].isEmpty(); ++i) {
        QVERIFY2(lines[i].startsWith("  ") && lines[i][2] != ' ', lines[i].constData());
        listed << QString::fromUtf8(lines[i]).section(' ', 2, 2);
    }
    QCOMPARE(listed, kCommands);
    for (const QByteArray& line : lines) {
        QVERIFY2(line.size() <= 100, line.constData());
    }
    QVERIFY(Simplified(run.out).contains("--order 6 alone is then a computed Butterworth whose "
                                         "damping values are exact"));
    QVERIFY(Simplified(run.out).contains("not bit for bit"));
}

void TestRenderHelp::commandHelp_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("designs");
    for (const QString& command : kCommands) {
        const bool designs = !QStringList { "spectrum", "points", "plot" }.contains(command);
        QTest::newRow(qPrintable(command)) << command << designs;
    }
}

void TestRenderHelp::commandHelp()
{
    QFETCH(QString, command);
    QFETCH(bool, designs);
    const RenderRun help = render({ command, "--help" });
    QCOMPARE(help.exitCode, 0);
    QCOMPARE(help.err, QByteArray());
    QVERIFY(help.out.startsWith(("usage:\n  vorn-render " + command).toUtf8()));
    QVERIFY(!help.out.contains("\ncommands:\n"));
    // One or two examples of the command itself, last.
    const QByteArray examples = help.out.mid(help.out.indexOf("\nexamples:\n"));
    const qsizetype shown = examples.count("\n  vorn-render " + command.toUtf8() + ' ');
    QVERIFY2(shown >= 1 && shown <= 2, examples.constData());
    const QStringList options = HelpOptions(help.out);
    QVERIFY(options.contains("--help"));
    for (const QString& option : kDesignOptions) {
        QCOMPARE(options.contains(option), designs);
    }
    QCOMPARE(help.out.contains("\ndesign options:\n"), designs);
    QCOMPARE(
        Simplified(help.out).contains("--order 6 alone is then a computed Butterworth"), designs);

    // The options listed are those its synopsis (written apart from them) names, and the design
    // options; the synopsis is the usage block, up to the first empty line.
    QSet<QString> synopsis;
    const QRegularExpression name("--[a-z][a-z-]*");
    for (const QByteArray& line : help.out.left(help.out.indexOf("\n\n")).split('\n')) {
        auto matches = name.globalMatch(QString::fromUtf8(line));
        while (matches.hasNext()) {
            synopsis.insert(matches.next().captured());
        }
    }
    QSet<QString> listed(options.begin(), options.end());
    listed.remove("--help");
    for (const QString& option : kDesignOptions) {
        listed.remove(option);
    }
    QCOMPARE(listed, synopsis);

    // Each option listed is one the command takes; each other command's option that it does not
    // list, it refuses as unknown. "--name=" is refused either way, so nothing runs; the
    // required options are given, so that their absence is not what is refused.
    const QMap<QString, QStringList> requiredBy {
        { "wav", { "--output", "x.wav" } },
        { "points", { "--mode", "time" } },
        { "plot", { "--mode", "time", "--output", "x.png" } },
        { "filter", { "in.wav", "out.wav" } },
    };
    const QStringList required = requiredBy.value(command);
    QSet<QString> others;
    for (const QString& other : kCommands) {
        for (const QString& option : HelpOptions(render({ other, "--help" }).out)) {
            others.insert(option);
        }
    }
    for (const QString& option : others) {
        if (option == "--help") {
            continue;
        }
        const RenderRun run
            = render(QStringList { command } + required + QStringList { option + "=" });
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.count('\n'), 1);
        const bool unknown = run.err.contains(("unknown option " + option).toUtf8());
        QVERIFY2(unknown != options.contains(option), run.err.constData());
    }
}

void TestRenderHelp::designOptions_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("mentions");
    // Accepted (no line to mention): the command runs the design.
    QTest::newRow("samples, an order") << "samples --order 4" << QString();
    QTest::newRow("wav, a type") << "wav --output OUT.wav --type bessel" << QString();
    QTest::newRow("response csv, a list of eight")
        << "response --format csv --order 1,2,3,4,5,6,7,8" << QString();
    QTest::newRow("response plot, six combinations")
        << "response --plot OUT.png --type butterworth,bessel,chebyshev1 --order 2,4 --ripple 0.5"
        << QString();
    QTest::newRow("coefficients, hold") << "coefficients --hold sections" << QString();
    QTest::newRow("poles, no DC block") << "poles --dc-block off" << QString();
    QTest::newRow("metrics, a corner below half the rate")
        << "metrics --corner 2000 --rate 4001" << QString();
    QTest::newRow("samples, an elliptic")
        << "samples --type elliptic --ripple 0.1 --stopband 80" << QString();
    // Refused while reading them.
    QTest::newRow("nine combinations")
        << "response --format csv --order 1,2,3 --type bessel,butterworth,elliptic"
        << "lists make 9 designs";
    QTest::newRow("a list for the text table") << "response --order 2,4"
                                               << "--order takes one value here, not a list";
    QTest::newRow("a list for frd") << "response --format frd --shape lowpass,highpass"
                                    << "--shape takes one value here, not a list";
    QTest::newRow("a list for samples") << "samples --corner 500,1000"
                                        << "--corner takes one value";
    QTest::newRow("order 0") << "coefficients --order 0"
                             << "--order must be a whole number from 1 to 10, not 0";
    QTest::newRow("order 11") << "metrics --order 11"
                              << "--order must be a whole number from 1 to 10, not 11";
    QTest::newRow("order not whole") << "poles --order 4.5"
                                     << "--order must be a whole number";
    QTest::newRow("corner at half the rate") << "samples --corner 22050"
                                             << "--corner must lie";
    QTest::newRow("corner at half of --rate") << "wav --output OUT.wav --rate 8000 --corner 4000"
                                              << "(4000 Hz), not 4000";
    QTest::newRow("corner at half of the chain's rate")
        << "response --rate 1000 --to 400 --corner 500"
        << "(500 Hz), not 500";
    QTest::newRow("ripple not positive") << "poles --type chebyshev1 --ripple 0"
                                         << "--ripple must be above 0";
    QTest::newRow("stop-band not positive") << "poles --type chebyshev2 --stopband -5"
                                            << "--stopband must be above 0";
    QTest::newRow("elliptic stop-band within the ripple")
        << "metrics --type elliptic --ripple 3 --stopband 3"
        << "--stopband of an elliptic";
    QTest::newRow("unknown type") << "wav --output OUT.wav --type chebyshev3"
                                  << "--type must be one of butterworth, bessel, chebyshev1, "
                                     "chebyshev2, elliptic, not 'chebyshev3'";
    QTest::newRow("unknown shape") << "samples --shape notch"
                                   << "--shape must be one of lowpass, highpass";
    QTest::newRow("ripple of a Butterworth")
        << "samples --ripple 1"
        << "--ripple applies to --type chebyshev1 and elliptic only";
    QTest::newRow("ripple of types without one")
        << "response --format csv --type butterworth,bessel,chebyshev2 --ripple 1,2"
        << "--ripple applies to";
    QTest::newRow("stop-band of a Chebyshev I")
        << "samples --stopband 40 --type chebyshev1"
        << "--stopband applies to --type chebyshev2 and elliptic only";
    QTest::newRow("DC block at 0") << "samples --dc-block 0"
                                   << "--dc-block must lie";
    QTest::newRow("DC block neither") << "samples --dc-block never"
                                      << "--dc-block must be a frequency in Hz or 'off'";
    QTest::newRow("design options on points") << "points --mode time --order 4"
                                              << "unknown option --order";
    QTest::newRow("design options on plot") << "plot --mode time --output OUT.png --type bessel"
                                            << "unknown option --type";
    QTest::newRow("design options on spectrum") << "spectrum --hold whole"
                                                << "unknown option --hold";
}

// Refused: one line on stderr naming the option, status 2, nothing on stdout and no file.
// Accepted: status 0 and the command's output, printed or written.
void TestRenderHelp::designOptions()
{
    QFETCH(QString, arguments);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    QStringList list = arguments.split(' ');
    for (QString& argument : list) {
        argument.replace("OUT", dir.filePath("out"));
    }
    const RenderRun run = render(list);
    if (mentions.isEmpty()) {
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY(!run.out.isEmpty()
            || !QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
        return;
    }
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(
        run.err.startsWith(("vorn-render " + list.front() + ": ").toUtf8()), run.err.constData());
    QVERIFY2(run.err.contains(mentions.toUtf8()), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestRenderHelp::filterDesignAtTheFilesRate_data()
{
    QTest::addColumn<QString>("corner");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("below half of 16000 Hz") << "7999.5" << QString();
    QTest::newRow("at half of 16000 Hz") << "8000"
                                         << "--corner must lie from 0.001 Hz to below "
                                            "half the rate (8000 Hz), not 8000";
    QTest::newRow("a list") << "100,200"
                            << "--corner takes one value here";
}

void TestRenderHelp::filterDesignAtTheFilesRate()
{
    QFETCH(QString, corner);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const QString in = dir.filePath("in.wav");
    QCOMPARE(render({ "wav", "--output", in, "--rate", "16000", "--seconds", "0.1" }).exitCode, 0);
    for (const QString& out : { dir.filePath("out.wav"), QString("-") }) {
        const RenderRun run = render({ "filter", in, out, "--corner", corner, "--quiet" });
        if (mentions.isEmpty()) {
            QVERIFY2(run.exitCode == 0, run.err.constData());
            QVERIFY(out == "-" ? !run.out.isEmpty() : QFile::exists(out));
            QFile::remove(out);
            continue;
        }
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains(mentions.toUtf8()), run.err.constData());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList { "in.wav" });
    }
}

void TestRenderHelp::exactLines_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("line");
    QTest::newRow("a wrong choice") << "response --format xml"
                                    << "vorn-render response: --format must be one of text, csv, "
                                       "frd, tsv, not 'xml'";
    QTest::newRow("a flag with a value") << "samples --after-analysis=1"
                                         << "vorn-render samples: --after-analysis takes no value";
    QTest::newRow("an unknown subcommand") << "play"
                                           << "vorn-render: unknown subcommand 'play' (try --help)";
    QTest::newRow("options that exclude each other")
        << "response --at 100 --from 10"
        << "vorn-render response: --from excludes --at";
    QTest::newRow("an option that needs another")
        << "response --labels"
        << "vorn-render response: --labels requires --plot";
    QTest::newRow("a missing argument") << "filter in.wav"
                                        << "vorn-render filter: OUT is required";
    QTest::newRow("a design's list") << "samples --order 6,8"
                                     << "vorn-render samples: --order takes one value here, not a "
                                        "list: lists of designs are for response --plot and "
                                        "--format csv";
}

void TestRenderHelp::exactLines()
{
    QFETCH(QString, arguments);
    QFETCH(QString, line);
    const RenderRun run = render(arguments.split(' '));
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QString::fromUtf8(run.err), line + '\n');
}

// Every example of the help and of each command's help, pasted into a shell as a learner would:
// in a folder with the files they name (a song, a voice), the sound card's player replaced by a
// sink that takes the stream, and any failure of a pipeline's parts counted.
void TestRenderHelp::examplesRun()
{
    QTemporaryDir dir;
    for (const char* file : { "song.flac", "voice.wav" }) {
        QCOMPARE(render({ "wav", "--output", dir.filePath(file), "--input", "pink", "--seconds",
                            "1", "--rate", "48000" })
                     .exitCode,
            0);
    }
    QStringList examples;
    for (const QString& command : QStringList { "" } + kCommands) {
        const RenderRun help = render(
            command.isEmpty() ? QStringList { "--help" } : QStringList { command, "--help" });
        const QList<QByteArray> lines = help.out.split('\n');
        for (qsizetype i = lines.indexOf("examples:") + 1;
             i > 0 && i < lines.size() && !lines[i].isEmpty(); ++i) {
            if (lines[i].startsWith("  vorn-render ")) {
                examples << QString::fromUtf8(lines[i].trimmed());
            }
        }
    }
    QVERIFY(examples.size() >= 4 + kCommands.size());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH",
        QFileInfo(QStringLiteral(VORN_RENDER_PATH)).absolutePath() + ':'
            + environment.value("PATH"));
    for (QString example : examples) {
        example.replace("| aplay", "| cat > /dev/null");
        QProcess shell;
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(dir.path());
        shell.start("bash", { "-o", "pipefail", "-c", example });
        QVERIFY(shell.waitForFinished(60000));
        // A reader that stops early (head) ends the renderer by SIGPIPE, as it ends any writer.
        const bool stoppedByReader = example.contains("| head") && shell.exitCode() == 128 + 13;
        QVERIFY2(shell.exitStatus() == QProcess::NormalExit
                && (shell.exitCode() == 0 || stoppedByReader),
            qPrintable(example + ": " + shell.readAllStandardError()));
    }
}

QTEST_GUILESS_MAIN(TestRenderHelp)
#include "tst_renderhelp.moc"

// vorn-listen's terminal side and command line without a terminal: the keys from the bytes a
// terminal sends (arrows as escape sequences, split or not, Esc on its own), the status line at
// any width, and what the command line accepts and refuses.
#include "listencommandline.h"
#include "statusline.h"
#include "terminal.h"

#include <QTest>

#include <vector>

using namespace vorn;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

std::vector<int> codes(const std::vector<ListenKey>& keys)
{
    std::vector<int> out;
    for (const ListenKey key : keys) {
        out.push_back(static_cast<int>(key));
    }
    return out;
}

constexpr int T = static_cast<int>(ListenKey::Toggle);
constexpr int Q = static_cast<int>(ListenKey::Quit);
constexpr int B = static_cast<int>(ListenKey::Back);
constexpr int F = static_cast<int>(ListenKey::Forward);
constexpr int Z = static_cast<int>(ListenKey::Suspend);

} // namespace

class TestListenTerminal : public QObject
{
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads"); // what each read() gives
        QTest::addColumn<bool>("pause"); // no byte follows the last read for a while
        QTest::addColumn<std::vector<int>>("keys");
        using L = QList<QByteArray>;
        QTest::newRow("space, q, Q, Ctrl+C, Ctrl+Z")
            << L { " q", "Q\x03\x1a" } << false << std::vector<int> { T, Q, Q, Q, Z };
        QTest::newRow("arrows") << L { "\x1b[D\x1b[C" } << false << std::vector<int> { B, F };
        QTest::newRow("arrows in application mode")
            << L { "\x1bOD\x1bOC" } << false << std::vector<int> { B, F };
        QTest::newRow("an arrow split over three reads")
            << L { "\x1b", "[", "C " } << false << std::vector<int> { F, T };
        QTest::newRow("an arrow with Ctrl") << L { "\x1b[1;5D" } << false << std::vector<int> { B };
        QTest::newRow("other sequences pass")
            << L { "\x1b[A\x1b[3~\x1bOP " } << false << std::vector<int> { T };
        QTest::newRow("Esc on its own, after a pause")
            << L { "\x1b" } << true << std::vector<int> { Q };
        QTest::newRow("Esc, not yet") << L { "\x1b" } << false << std::vector<int> {};
        QTest::newRow("Esc then a key") << L { "\x1b " } << false << std::vector<int> { Q, T };
        QTest::newRow("a sequence cut short is dropped")
            << L { "\x1b[1;" } << true << std::vector<int> {};
        QTest::newRow("letters and digits pass")
            << L { "abc123\r\n" } << false << std::vector<int> {};
    }
    void keys()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(bool, pause);
        QFETCH(std::vector<int>, keys);
        CKeyDecoder decoder;
        std::vector<ListenKey> got;
        for (const QByteArray& bytes : reads) {
            decoder.Feed({ bytes.constData(), static_cast<std::size_t>(bytes.size()) }, got);
        }
        if (pause) {
            decoder.Expire(got);
        }
        QCOMPARE(codes(got), keys);
        QCOMPARE(decoder.Pending(), !pause && reads.last().endsWith('\x1b'));
    }

    void statusLine_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("line");
        QTest::newRow("wide") << 200
                              << "song.flac 1:02/3:45  DRY  in [#########.] -3.0  out "
                                 "[#########!] 1.2 dBFS  latency 23 ms  1 underrun 2 drops  "
                                 "6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass";
        QTest::newRow("narrow: closed up, no bars")
            << 100
            << "song.flac 1:02/3:45 DRY in -3.0 out 1.2 dBFS latency 23 ms 1 underrun 2 drops "
               "6th-order 1 kHz Butter";
        QTest::newRow("narrower: cut") << 40 << "song.flac 1:02/3:45 DRY in -3.0 out 1.2 ";
    }
    void statusLine()
    {
        QFETCH(int, width);
        QFETCH(QString, line);
        ListenStatus status;
        status.what = "song.flac";
        status.seconds = 62.97;
        status.duration = 225.0;
        status.dry = true;
        status.peakIn = std::pow(10.0, -3.0 / 20);
        status.peakOut = std::pow(10.0, 1.2 / 20);
        status.filter = "6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass";
        status.underruns = 1;
        status.drops = 2;
        status.latencyMs = 23.4;
        const std::string text = StatusLine(status, static_cast<std::size_t>(width));
        QCOMPARE(QString::fromStdString(text), line);
        QVERIFY(text.size() <= static_cast<std::size_t>(width));
        status.note = "the sound server does not respond";
        QVERIFY(StatusLine(status, 200).find("respond  1 underrun") != std::string::npos);
    }

    void meterAndTimes()
    {
        QCOMPARE(QString::fromStdString(PeakMeter(0.0, 10)), "[..........]");
        QCOMPARE(QString::fromStdString(PeakMeter(0.001, 10)), "[..........]"); // -60 dBFS
        QCOMPARE(QString::fromStdString(PeakMeter(0.0021, 10)), "[#.........]"); // -53.6
        QCOMPARE(QString::fromStdString(PeakMeter(0.7, 10)), "[#########.]"); // -3.1
        QCOMPARE(QString::fromStdString(PeakMeter(1.0, 10)), "[##########]");
        QCOMPARE(QString::fromStdString(Dbfs(0.0)), "-inf");
        QCOMPARE(QString::fromStdString(Dbfs(0.5)), "-6.0");
        QCOMPARE(QString::fromStdString(ClockTime(59.999)), "0:59");
        QCOMPARE(QString::fromStdString(ClockTime(3723.5)), "1:02:03");
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: runs
        QTest::addColumn<QString>("says");
        QTest::newRow("a file") << QStringList { "song.flac", "--gain", "-6", "--ab", "5" } << -1
                                << "";
        QTest::newRow("standard input") << QStringList { "-" } << -1 << "";
        QTest::newRow("the default source")
            << QStringList { "--capture", "--latency", "10" } << -1 << "";
        QTest::newRow("a named source") << QStringList { "--capture", "x.monitor" } << -1 << "";
        QTest::newRow("noise") << QStringList { "--input", "pink", "--seed", "7" } << -1 << "";
        QTest::newRow("nothing") << QStringList {} << 2 << "vorn-listen: nothing to play";
        QTest::newRow("an empty FILE")
            << QStringList { "--", "" } << 2 << "vorn-listen: FILE is empty";
        QTest::newRow("two things") << QStringList { "a.wav", "--input", "sine" } << 2
                                    << "vorn-listen: play one thing at a time";
        QTest::newRow("--freq for noise") << QStringList { "--input", "noise", "--freq", "3" } << 2
                                          << "vorn-listen: --freq applies to --input sine";
        QTest::newRow("--rate for a file") << QStringList { "a.wav", "--rate", "48000" } << 2
                                           << "vorn-listen: --rate applies to --input only";
        QTest::newRow("--latency 0")
            << QStringList { "a.wav", "--latency", "0" } << 2 << "vorn-listen: --latency must be";
        QTest::newRow("a corner the signal's rate cannot take") << QStringList { "--input", "sine",
            "--rate", "8000", "--corner", "5000" } << 2 << "vorn-listen: --corner";
        QTest::newRow("a list of designs") << QStringList { "a.wav", "--order", "2,4" } << 2
                                           << "vorn-listen: --order takes one value here";
        QTest::newRow("--capture=") << QStringList { "--capture=" } << 2
                                    << "vorn-listen: --capture needs a value after '='";
        QTest::newRow("help") << QStringList { "--help" } << 0 << "usage:";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        std::vector<std::string> words;
        for (const QString& argument : arguments) {
            words.push_back(argument.toStdString());
        }
        const ListenCommandLine line = ParseListenCommandLine(words);
        if (status < 0) {
            QVERIFY2(
                line.result.action == CommandLineResult::Action::Run, line.result.text.c_str());
            return;
        }
        QCOMPARE(line.result.status, status);
        QVERIFY2(
            QString::fromStdString(line.result.text).startsWith(says), line.result.text.c_str());
        if (status == 2) {
            QCOMPARE(std::count(line.result.text.begin(), line.result.text.end(), '\n'), 1);
        }
    }

    void whatTheCommandLineGives()
    {
        ListenCommandLine line = ParseListenCommandLine({ "--capture", "x.monitor", "--device",
            "speakers", "--dry", "--gain", "-20", "--type", "chebyshev1", "--ripple", "3" });
        QCOMPARE(line.options.source, ListenSource::Capture);
        QCOMPARE(QString::fromStdString(line.options.device), "x.monitor");
        QCOMPARE(QString::fromStdString(line.options.sink), "speakers");
        QVERIFY(line.options.dry);
        QCOMPARE(line.options.gain, 0.1);
        QVERIFY(line.options.design && line.options.design->type == FilterType::Chebyshev1);
        QCOMPARE(line.options.design->rippleDb, 3.0);
        QCOMPARE(ListenLatencyMs(line.options), kCaptureLatencyMs);
        line = ParseListenCommandLine({ "--capture" });
        QCOMPARE(QString::fromStdString(line.options.device), "");
        line = ParseListenCommandLine({ "song.wav" });
        QCOMPARE(line.options.source, ListenSource::File);
        QVERIFY(!line.options.design);
        QCOMPARE(ListenLatencyMs(line.options), kPlaybackLatencyMs);
    }
};

QTEST_GUILESS_MAIN(TestListenTerminal)
#include "tst_listenterminal.moc"

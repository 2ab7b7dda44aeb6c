// The program's streams as the sound server's mixer lists them (pactl, as a volume control
// sees them), on a private PulseAudio or PipeWire (VORN_SOUND_SERVER): who plays, and which
// window each stream belongs to, also after a window's caption changes while it plays.
#include "apptestcase.h"
#include "resources.h"
#include "soundserverexec.h"
#include "vorndoc.h"
#include "vornview.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>
#include <vector>

using namespace vorn;

namespace {

// The properties of every stream of the program playing into the server, by media name. From
// pactl's text listing: its JSON form loses every value that is not ASCII.
std::map<QString, std::map<QString, QString>> sinkInputs()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), { QStringLiteral("list"), QStringLiteral("sink-inputs") });
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) {
        return {};
    }
    std::vector<std::map<QString, QString>> inputs;
    static const QRegularExpression property(QStringLiteral(R"re(^\s+([\w.]+) = "(.*)"$)re"));
    for (const QString& line : QString::fromUtf8(pactl.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(QLatin1String("Sink Input #"))) {
            inputs.emplace_back();
        } else if (const QRegularExpressionMatch match = property.match(line);
                   match.hasMatch() && !inputs.empty()) {
            inputs.back()[match.captured(1)] = match.captured(2);
        }
    }
    std::map<QString, std::map<QString, QString>> streams;
    for (auto& properties : inputs) {
        // The server's own keep-alive player is not the program's.
        if (properties[QStringLiteral("application.name")]
            == LoadStringResource(AFX_IDS_APP_TITLE)) {
            streams[properties[QStringLiteral("media.name")]] = properties;
        }
    }
    return streams;
}

QStringList names(const std::map<QString, std::map<QString, QString>>& streams)
{
    QStringList result;
    for (const auto& [name, properties] : streams) {
        result << name;
    }
    return result;
}

} // namespace

class TestMixerStreams : public AppTestCase
{
    Q_OBJECT

    // Waits until the program's streams are exactly these, by name.
    bool waitForStreams(const QStringList& expected)
    {
        QStringList seen;
        for (int i = 0; i < 100; ++i) {
            seen = names(sinkInputs());
            if (seen == expected) {
                return true;
            }
            QTest::qWait(100);
        }
        qWarning() << "streams" << seen << "expected" << expected;
        return false;
    }

    void run()
    {
        QVERIFY(frame()->SendCommand(ID_RUN));
        QCOMPARE(frame()->GetActiveView()->m_bRunning, 1);
    }

private slots:
    void init() { QVERIFY(startApp()); }
    void cleanup() { stopApp(); }

    void everyWindowsStreamIsNamedByItsCaption()
    {
        run();
        QVERIFY(waitForStreams({ QStringLiteral("Vorn1") }));

        // A second window on the document renames the first while it plays.
        QVERIFY(frame()->SendCommand(ID_WINDOW_NEW));
        QCoreApplication::processEvents();
        run();
        QVERIFY(frame()->SendCommand(ID_FILE_NEW));
        QCoreApplication::processEvents();
        run();
        QVERIFY(waitForStreams(
            { QStringLiteral("Vorn1:1"), QStringLiteral("Vorn1:2"), QStringLiteral("Vorn2") }));

        // Every stream says who plays and what kind of sound it is.
        for (const auto& [name, properties] : sinkInputs()) {
            const auto property = [&](const char* key) {
                const auto found = properties.find(QLatin1String(key));
                return found == properties.end() ? QString() : found->second;
            };
            QCOMPARE(property("application.id"), QString::fromLatin1(kAppID));
            QCOMPARE(property("application.icon_name"), QString::fromLatin1(kAppIconName));
            QCOMPARE(property("media.role"), QStringLiteral("production"));
        }

        // Saved under a name while it plays, the document's stream takes the file's name.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("トーン.txt"));
        auto* document = static_cast<CVornDoc*>(frame()->GetActiveView()->GetDocument());
        QVERIFY(document->DoSave(path));
        QVERIFY(waitForStreams({ QStringLiteral("Vorn1:1"), QStringLiteral("Vorn1:2"),
            QStringLiteral("トーン.txt") }));

        // Closing the second window of Vorn1 leaves one, named as the document again; Stop
        // ends a stream.
        windows().at(1)->close();
        QCoreApplication::processEvents();
        QVERIFY(waitForStreams({ QStringLiteral("Vorn1"), QStringLiteral("トーン.txt") }));
        frame()->MdiArea()->setActiveSubWindow(windows().back());
        QVERIFY(frame()->SendCommand(ID_STOP));
        QVERIFY(waitForStreams({ QStringLiteral("Vorn1") }));
    }
};

int main(int argc, char* argv[])
{
    // Run inside a private sound server unless already there.
    if (qEnvironmentVariableIsEmpty("VORN_SOUND_CTL")) {
        return ReexecUnderSoundServer(argc, argv);
    }
    QApplication app(argc, argv);
    TestMixerStreams test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mixerstreams.moc"

// The help's layout and the manual page made from the same texts: filled lines, the synopsis,
// the options of every command, and roff that a formatter takes as text.
#include "commandline.h"
#include "designoptions.h"
#include "helpformatter.h"
#include "manualpage.h"
#include "optionvalues.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace vorn;

namespace {

// A program with two commands, one with the design options, one with an argument.
struct Program
{
    double freq = 0;
    bool quiet = false;
    std::string in;
    CommandLine line { "prog", "1", { {}, "The program, in one paragraph.\nAnd a second one." },
        6 };
    CLI::App* first = nullptr;
    CLI::App* second = nullptr;

    Program()
    {
        first = line.AddCommand("first", "the first command",
            { { "[--freq HZ] [--a-rather-long-option-name-to-wrap-the-line VALUE] "
                "[--another-long-option VALUE] [--and-one-more VALUE]",
                  "... [--quiet]" },
                "Does the first thing." });
        AddDecimal(*first, "--freq", freq, "HZ", "a frequency");
        AddFlag(*first, "--quiet", quiet, "says nothing");
        DesignOptions::Add(line, *first);
        second = line.AddCommand("second", "the second command, with an argument",
            { { "IN" }, "Reads IN; the backslash \\ and a line starting with a '.'" });
        second->add_option("IN", in, "the file")->required();
        line.Help().SetText(
            &line.App(), { { "--help | --version" }, line.Help().Text(&line.App()).details });
        line.Help().SetPurpose(&line.App(), "What the program is for.");
        line.SetExamples(&line.App(), { { "prog first --freq 440", "the first thing at 440 Hz" } });
        line.SetExamples(second, { { "prog second in.txt", "the second thing" } });
    }
};

QStringList Lines(const std::string& text)
{
    return QString::fromStdString(text).split('\n');
}

} // namespace

class TestHelpFormatter : public QObject
{
    Q_OBJECT

private slots:
    void fillKeepsWordsWithinTheWidth();
    void synopsisWordsKeepGroups();
    void programHelp();
    void commandHelp();
    void roffText_data();
    void roffText();
    void manualSections();
    void fillManualPage();
};

void TestHelpFormatter::fillKeepsWordsWithinTheWidth()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> words;
        const int count = random.bounded(1, 60);
        for (int i = 0; i < count; ++i) {
            words.emplace_back(static_cast<std::size_t>(random.bounded(1, 30)), 'a' + i % 26);
        }
        const std::size_t indent = static_cast<std::size_t>(random.bounded(0, 40));
        const std::size_t first = static_cast<std::size_t>(random.bounded(0, 60));
        const QStringList lines = Lines(HelpFormatter::Fill(words, first, indent));
        QStringList seen;
        for (int i = 0; i < lines.size(); ++i) {
            const QString& line = lines[i];
            // The columns the line takes, the first after those already written.
            const std::size_t used = static_cast<std::size_t>(line.size()) + (i == 0 ? first : 0);
            if (i > 0) {
                QVERIFY(line.startsWith(QString(static_cast<qsizetype>(indent), ' ')));
            }
            const QStringList lineWords = line.split(' ', Qt::SkipEmptyParts);
            // A line holds one word at least, and keeps within the width unless that one word
            // alone is wider; the next line's first word would not have fitted on it.
            QVERIFY(!lineWords.isEmpty());
            QVERIFY(used <= HelpFormatter::kWidth || lineWords.size() == 1);
            if (i + 1 < lines.size()) {
                const qsizetype next = lines[i + 1].trimmed().section(' ', 0, 0).size();
                QVERIFY(used + 1 + static_cast<std::size_t>(next) > HelpFormatter::kWidth);
            }
            seen += lineWords;
        }
        QStringList expected;
        for (const std::string& word : words) {
            expected << QString::fromStdString(word);
        }
        QCOMPARE(seen, expected);
    }
}

void TestHelpFormatter::synopsisWordsKeepGroups()
{
    const std::vector<std::string> words
        = HelpFormatter::Words("--mode time|freq [--freq HZ]  [--at HZ]... [--x [--y Z]] IN", true);
    const std::vector<std::string> expected { "--mode", "time|freq", "[--freq HZ]", "[--at HZ]...",
        "[--x [--y Z]]", "IN" };
    QVERIFY(words == expected);
    QCOMPARE(HelpFormatter::Words("[--freq HZ] a", false).size(), std::size_t(3));
}

void TestHelpFormatter::programHelp()
{
    Program program;
    const QStringList all = Lines(program.line.App().help());
    // What it is for, the examples, the commands, then the synopsis and the details.
    QCOMPARE(all.mid(0, 5),
        QStringList({ "What the program is for.", "", "examples:", "  # the first thing at 440 Hz",
            "  prog first --freq 440" }));
    const qsizetype usage = all.indexOf("usage:");
    QVERIFY(usage > all.indexOf("commands:"));
    const QStringList lines = all.mid(usage);
    // The commands' lines first, their names padded to 6, continued lines after the name.
    QVERIFY(lines[1].startsWith("  prog first  [--freq HZ] [--a-rather-long"));
    QVERIFY(lines[2].startsWith(QString(14, ' ') + '['));
    QVERIFY(!lines[2].startsWith(QString(15, ' ')));
    const int usageEnd = static_cast<int>(lines.indexOf(QString()));
    QCOMPARE(lines.mid(usageEnd - 3, 3),
        QStringList(
            { "  prog first  ... [--quiet]", "  prog second IN", "  prog --help | --version" }));
    QCOMPARE(lines[usageEnd + 1], QString("The program, in one paragraph."));
    QCOMPARE(lines[usageEnd + 3], QString("And a second one."));
    const qsizetype commands = all.indexOf("commands:");
    QVERIFY(commands > 0);
    QCOMPARE(all[commands + 1], QString("  first   the first command"));
    QCOMPARE(all[commands + 2], QString("  second  the second command, with an argument"));
    // A command's examples come last in its own help, not in the program's.
    QVERIFY(!all.contains("  prog second in.txt"));
    QVERIFY(QString::fromStdString(program.second->help())
                .endsWith("examples:\n  # the second thing\n  prog second in.txt\n"));
    for (const QString& line : all) {
        QVERIFY2(line.size() <= static_cast<qsizetype>(HelpFormatter::kWidth), qPrintable(line));
    }
}

void TestHelpFormatter::commandHelp()
{
    Program program;
    const std::string first = program.first->help();
    const QStringList lines = Lines(first);
    QCOMPARE(lines[0], QString("usage:"));
    QVERIFY(!lines.contains("commands:"));
    const qsizetype options = lines.indexOf("options:");
    const qsizetype design = lines.indexOf("design options:");
    QVERIFY(options > 0 && design > options);
    QCOMPARE(lines[options + 1], QString("  --freq HZ").leftJustified(24) + "a frequency");
    QCOMPARE(lines[options + 2], QString("  --quiet").leftJustified(24) + "says nothing");
    QVERIFY(lines[options + 3].startsWith("  -h, --help"));
    QVERIFY(lines[design + 1].startsWith("  Any of them replaces the window's chain"));
    for (const char* name : { "--type", "--order", "--corner", "--shape", "--ripple", "--stopband",
             "--dc-block", "--hold" }) {
        QVERIFY2(first.find(std::string("\n  ") + name + ' ') != std::string::npos, name);
    }

    const QStringList second = Lines(program.second->help());
    const qsizetype arguments = second.indexOf("arguments:");
    QVERIFY(arguments > 0);
    QCOMPARE(second[arguments + 1], QString("  IN").leftJustified(24) + "the file (required)");
    QVERIFY(!second.contains("design options:"));
}

void TestHelpFormatter::roffText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("placeholders");
    QTest::addColumn<QString>("roff");
    QTest::newRow("option and hyphen") << "--freq a-b" << false << "\\fB\\-\\-freq\\fR a\\-b";
    QTest::newRow("backslash") << "a \\ b" << false << "a \\e b";
    QTest::newRow("not an option inside a word")
        << "x--y -5 --3" << false << "x\\-\\-y \\-5 \\-\\-3";
    QTest::newRow("option in brackets, with =")
        << "[--freq=440]" << false << "[\\fB\\-\\-freq\\fR=440]";
    QTest::newRow("placeholders")
        << "[--size WxH] FILE.png|FILE.svg ..." << true
        << "[\\fB\\-\\-size\\fR \\fIWxH\\fR] \\fIFILE.png\\fR|\\:\\fIFILE.svg\\fR ...";
    QTest::newRow("no placeholders in prose") << "IN and OUT" << false << "IN and OUT";
}

void TestHelpFormatter::roffText()
{
    QFETCH(QString, text);
    QFETCH(bool, placeholders);
    QFETCH(QString, roff);
    QCOMPARE(QString::fromStdString(RoffText(text.toStdString(), placeholders)), roff);
}

void TestHelpFormatter::manualSections()
{
    Program program;
    const std::string roff = ManualSections(program.line.App(), program.line.Help());
    const QStringList lines = Lines(roff);
    for (const char* section : { ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS" }) {
        QCOMPARE(lines.count(section), 1);
    }
    // Every line of the synopsis, each command's description, each option once per command that
    // has it, the shared group once.
    QCOMPARE(lines.count(".B prog first"), 2);
    QCOMPARE(lines.count(".B prog second"), 1);
    QCOMPARE(lines.count(".B first"), 1);
    QCOMPARE(lines.count(".SS first"), 1);
    QCOMPARE(lines.count(".SS second"), 1);
    QCOMPARE(lines.count(".SS \"design options\""), 1);
    QCOMPARE(lines.count("\\fB\\-\\-freq\\fR \\fIHZ\\fR"), 1);
    QCOMPARE(lines.count("\\fB\\-\\-hold\\fR \\fBwhole\\fR|\\fBsections\\fR"), 1);
    QCOMPARE(lines.count("\\fB\\-h\\fR, \\fB\\-\\-help\\fR"), 1);
    // IN: in the synopsis and as the argument's tag.
    QCOMPARE(lines.count("\\fIIN\\fR"), 2);
    QVERIFY(lines.contains("For first. Any of them replaces the window's chain by a computed "
                           "design, the options not given at their defaults: \\fB\\-\\-order\\fR "
                           "6 alone is then a computed Butterworth whose damping values are "
                           "exact, a difference from the window's chain far below 0.001 dB, but "
                           "not bit for bit."));
    // No text line that roff would take for a request.
    for (const QString& line : lines) {
        if (line.startsWith('.') || line.startsWith('\'')) {
            QVERIFY2(QRegularExpression("^\\.(SH|SS|TP|PP|IP|B|br|nh)( |$)").match(line).hasMatch(),
                qPrintable(line));
        }
    }
    QVERIFY(lines.contains("Reads IN; the backslash \\e and a line starting with a '.'"));
}

void TestHelpFormatter::fillManualPage()
{
    const std::string page = ".TH X 1\n.SH NAME\nx \\- y\n.\\\" marker\n.SH SEE ALSO\n";
    QCOMPARE(QString::fromStdString(FillManualPage(page, ".\\\" marker", ".SH OPTIONS\n")),
        QString(".TH X 1\n.SH NAME\nx \\- y\n.SH OPTIONS\n.SH SEE ALSO\n"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)FillManualPage(page, ".\\\" other", ""));
}

QTEST_GUILESS_MAIN(TestHelpFormatter)
#include "tst_helpformatter.moc"

// Reading option values, and a small command line on them parsed as the tools parse theirs: the
// accepted values, and the one line that refuses the others.
#include "commandline.h"
#include "optionvalues.h"
#include "usageerror.h"

#include <QTest>

#include <cmath>
#include <optional>

using namespace vorn;

namespace {

// A program "prog" with one command, "run", that has one option of each kind.
struct Program
{
    double freq = 1000.0;
    bool labels = false;
    std::vector<double> at;
    int mode = 0;
    long long count = 3;
    CommandLine line { "prog", "1.2.3", { { "--help" }, "A program." } };

    Program()
    {
        CLI::App* run = line.AddCommand("run", "runs", { { "--mode a|b [--freq HZ]" }, "Runs." });
        AddDecimal(*run, "--freq", freq, "HZ", "a frequency");
        AddFlag(*run, "--labels", labels, "labels");
        AddRepeatedDecimal(*run, "--at", at, "HZ", "a frequency, again and again");
        AddChoice(*run, "--mode", mode, Choices<int> { { "a", 1 }, { "b", 2 } }, "a mode")
            ->required();
        AddWhole(*run, "--count", count, 0, 10, "N", "a count");
    }
};

} // namespace

class TestOptionValues : public QObject
{
    Q_OBJECT

private slots:
    void decimal_data();
    void decimal();
    void range_data();
    void range();
    void whole_data();
    void whole();
    void choiceMessage();
    void parsed_data();
    void parsed();
    void refused_data();
    void refused();
    void helpAndVersion();
};

void TestOptionValues::decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "1000" << true << 1000.0;
    QTest::newRow("blanks around") << " 250.5 " << true << 250.5;
    QTest::newRow("plus sign") << "+3" << true << 3.0;
    QTest::newRow("leading point, negative") << "-.5" << true << -0.5;
    QTest::newRow("exponent") << "2e3" << true << 2000.0;
    QTest::newRow("too small: zero") << "1e-400" << true << 0.0;
    QTest::newRow("too large") << "1e309" << false << 0.0;
    QTest::newRow("infinity") << "inf" << false << 0.0;
    QTest::newRow("not a number") << "nan" << false << 0.0;
    QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
    QTest::newRow("trailing garbage") << "12abc" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("a comma") << "1,5" << false << 0.0;
}

void TestOptionValues::decimal()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(double, value);
    const std::string typed = text.toStdString();
    try {
        QCOMPARE(ReadDecimal("--freq", typed), value);
        QVERIFY(accepted);
    } catch (const UsageError& error) {
        QVERIFY2(!accepted, error.what());
        QCOMPARE(QByteArray(error.what()),
            QByteArray(("--freq must be a finite decimal number, not '" + typed + "'").c_str()));
    }
}

void TestOptionValues::range_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<bool>("aboveLow");
    QTest::addColumn<bool>("belowHigh");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<double>>("inside");
    QTest::addColumn<QList<double>>("outside");
    QTest::newRow("closed") << 1000.0 << 1e7 << false << false << "from 1000 to 10000000"
                            << QList<double> { 1000, 44100, 1e7 }
                            << QList<double> { 999.999, 1e7 + 1, -1000 };
    QTest::newRow("open below") << 0.0 << 3600.0 << true << false << "above 0 and at most 3600"
                                << QList<double> { 1e-300, 1, 3600 }
                                << QList<double> { 0, -0.0, -1, 3600.001 };
    QTest::newRow("open above") << 0.001 << 22050.0 << false << true << "from 0.001 to below 22050"
                                << QList<double> { 0.001, 22049.999 }
                                << QList<double> { 0.000999, 22050 };
    QTest::newRow("open both") << -1.5 << 2.5 << true << true << "above -1.5 and below 2.5"
                               << QList<double> { -1.4999, 0, 2.4999 }
                               << QList<double> { -1.5, 2.5 };
}

void TestOptionValues::range()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(bool, aboveLow);
    QFETCH(bool, belowHigh);
    QFETCH(QString, text);
    QFETCH(QList<double>, inside);
    QFETCH(QList<double>, outside);
    const NumberRange range { low, high, aboveLow, belowHigh };
    QCOMPARE(QString::fromStdString(range.Text()), text);
    for (const double value : inside) {
        QVERIFY2(range.Contains(value), qPrintable(QString::number(value)));
        QCOMPARE(
            ReadDecimal("--x", QByteArray::number(value, 'g', 17).toStdString(), range), value);
    }
    for (const double value : outside) {
        QVERIFY2(!range.Contains(value), qPrintable(QString::number(value)));
        const std::string typed = QByteArray::number(value, 'g', 17).toStdString();
        try {
            (void)ReadDecimal("--x", typed, range);
            QFAIL("accepted");
        } catch (const UsageError& error) {
            QCOMPARE(QString(error.what()),
                "--x must be a number " + text + ", not '" + QString::fromStdString(typed) + "'");
        }
    }
}

void TestOptionValues::whole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<long long>("value");
    QTest::newRow("low end") << "0" << true << 0LL;
    QTest::newRow("high end") << "10" << true << 10LL;
    QTest::newRow("past the high end") << "11" << false << 0LL;
    QTest::newRow("negative") << "-1" << false << 0LL;
    QTest::newRow("fraction") << "1.5" << false << 0LL;
    QTest::newRow("plus sign") << "+5" << false << 0LL;
    QTest::newRow("blank before") << " 5" << false << 0LL;
    QTest::newRow("overflow") << "99999999999999999999" << false << 0LL;
    QTest::newRow("empty") << "" << false << 0LL;
}

void TestOptionValues::whole()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(long long, value);
    const std::string typed = text.toStdString();
    try {
        QCOMPARE(ReadWhole("--blocks", typed, 0, 10), value);
        QVERIFY(accepted);
    } catch (const UsageError& error) {
        QVERIFY2(!accepted, error.what());
        QCOMPARE(QByteArray(error.what()),
            QByteArray(
                ("--blocks must be a whole number from 0 to 10, not '" + typed + "'").c_str()));
    }
}

void TestOptionValues::choiceMessage()
{
    const std::vector<std::string> formats { "text", "csv", "frd", "tsv" };
    QCOMPARE(ReadChoice("--format", "frd", formats), std::size_t(2));
    QCOMPARE(QByteArray(ChoiceMessage("--format", "xml", formats).c_str()),
        QByteArray("--format must be one of text, csv, frd, tsv, not 'xml'"));
    QVERIFY_THROWS_EXCEPTION(UsageError, (void)ReadChoice("--format", "CSV", formats));
}

void TestOptionValues::parsed_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("freq");
    QTest::addColumn<bool>("labels");
    QTest::addColumn<QList<double>>("at");
    QTest::addColumn<int>("mode");
    QTest::addColumn<long long>("count");
    QTest::newRow("defaults") << QStringList { "run", "--mode", "a" } << 1000.0 << false
                              << QList<double> {} << 1 << 3LL;
    QTest::newRow("all, with =") << QStringList { "run", "--mode=b", "--freq= 440 ", "--labels",
        "--count=10" } << 440.0 << true
                                 << QList<double> {} << 2 << 10LL;
    QTest::newRow("the last value counts")
        << QStringList { "run", "--freq", "1", "--mode", "a", "--freq", "2", "--mode", "b" } << 2.0
        << false << QList<double> {} << 2 << 3LL;
    QTest::newRow("repeated, in the order given")
        << QStringList { "run", "--at", "3", "--mode", "a", "--at=1", "--at", "2" } << 1000.0
        << false << QList<double> { 3, 1, 2 } << 1 << 3LL;
    QTest::newRow("a value that looks like an option")
        << QStringList { "run", "--mode", "a", "--freq", "-.5" } << -0.5 << false
        << QList<double> {} << 1 << 3LL;
}

void TestOptionValues::parsed()
{
    QFETCH(QStringList, arguments);
    Program program;
    std::vector<std::string> args;
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
    }
    const CommandLineResult result = program.line.Parse(args);
    QVERIFY2(result.action == CommandLineResult::Action::Run, result.text.c_str());
    QTEST(program.freq, "freq");
    QTEST(program.labels, "labels");
    QTEST(QList<double>(program.at.begin(), program.at.end()), "at");
    QTEST(program.mode, "mode");
    QTEST(program.count, "count");
}

void TestOptionValues::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");
    QTest::newRow("no command") << QStringList {} << "prog: no subcommand given (try --help)";
    QTest::newRow("unknown command")
        << QStringList { "walk" } << "prog: unknown subcommand 'walk' (try --help)";
    QTest::newRow("required option missing")
        << QStringList { "run" } << "prog run: --mode is required";
    QTest::newRow("unknown option") << QStringList { "run", "--mode", "a", "--speed", "2" }
                                    << "prog run: unknown option --speed";
    QTest::newRow("unknown option with =")
        << QStringList { "run", "--speed=2", "--mode", "a" } << "prog run: unknown option --speed";
    QTest::newRow("stray argument")
        << QStringList { "run", "--mode", "a", "extra" } << "prog run: unexpected argument 'extra'";
    QTest::newRow("flag with a value") << QStringList { "run", "--mode", "a", "--labels=1" }
                                       << "prog run: --labels takes no value";
    QTest::newRow("flag with true") << QStringList { "run", "--labels=true", "--mode", "a" }
                                    << "prog run: --labels takes no value";
    QTest::newRow("empty value after =") << QStringList { "run", "--mode", "a", "--freq=", "5" }
                                         << "prog run: --freq needs a value after '='";
    QTest::newRow("bad decimal") << QStringList { "run", "--mode", "a", "--freq", "inf" }
                                 << "prog run: --freq must be a finite decimal number, not 'inf'";
    QTest::newRow("bad choice") << QStringList { "run", "--mode", "c" }
                                << "prog run: --mode must be one of a, b, not 'c'";
    QTest::newRow("whole number out of range") << QStringList { "run", "--mode", "a", "--count",
        "11" } << "prog run: --count must be a whole number from 0 to 10, not '11'";
    QTest::newRow("a line break stays in the line") << QStringList { "run", "--mode", "a\nb" }
                                                    << "prog run: --mode must be one of a, b, not "
                                                       "'a\\nb'";
    QTest::newRow("not ASCII") << QStringList { "run", "--mode", "a", "-\u00e9" }
                               << "prog run: unexpected argument '-\u00e9'";
    QTest::newRow("a second command")
        << QStringList { "run", "--mode", "a", "run" } << "prog run: unexpected argument 'run'";
}

void TestOptionValues::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    Program program;
    std::vector<std::string> args;
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
    }
    const CommandLineResult result = program.line.Parse(args);
    QVERIFY(result.action == CommandLineResult::Action::Refuse);
    QCOMPARE(result.status, 2);
    QCOMPARE(QString::fromStdString(result.text), line + '\n');
}

void TestOptionValues::helpAndVersion()
{
    Program program;
    const CommandLineResult version = program.line.Parse({ "--version" });
    QVERIFY(version.action == CommandLineResult::Action::Print);
    QCOMPARE(version.status, 0);
    QCOMPARE(QByteArray(version.text.c_str()), QByteArray("prog 1.2.3\n"));

    Program again;
    const CommandLineResult help = again.line.Parse({ "run", "--freq", "5", "--help" });
    QVERIFY(help.action == CommandLineResult::Action::Print);
    QVERIFY2(
        QByteArray(help.text.c_str()).startsWith("usage:\n  prog run --mode a|b [--freq HZ]\n"),
        help.text.c_str());
    QVERIFY(QByteArray(help.text.c_str()).contains("--mode a|b"));
    QVERIFY(QByteArray(help.text.c_str()).contains("a mode (required)"));
    QVERIFY(QByteArray(help.text.c_str()).contains("a count (from 0 to 10)"));
}

QTEST_GUILESS_MAIN(TestOptionValues)
#include "tst_optionvalues.moc"

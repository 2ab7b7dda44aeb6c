// The design options as a command receives them: the designs they name, their lists and the
// combinations of those, and the refusals, each one line naming the option.
#include "commandline.h"
#include "designoptions.h"
#include "usageerror.h"

#include <QTest>

#include <set>
#include <tuple>

using namespace vorn;

namespace {

// The designs that `arguments` give a command with the design options, or the message refusing
// them; `lists` as for response --plot.
struct Outcome
{
    std::vector<DesignPlan> designs;
    QString refusal;
};

Outcome Parse(const QStringList& arguments, bool lists)
{
    CommandLine line("prog", "1", {});
    CLI::App* command = line.AddCommand("run", "", {});
    const auto options = DesignOptions::Add(line, *command);
    Outcome outcome;
    command->callback([&] { outcome.designs = options->Designs(lists, "response --plot"); });
    std::vector<std::string> args { "run" };
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
    }
    const CommandLineResult result = line.Parse(args);
    if (result.action == CommandLineResult::Action::Refuse) {
        outcome.refusal = QString::fromStdString(result.text);
    }
    return outcome;
}

DesignPlan Design(FilterType type, int order)
{
    DesignPlan plan;
    plan.type = type;
    plan.order = order;
    return plan;
}

} // namespace

class TestDesignOptions : public QObject
{
    Q_OBJECT

private slots:
    void noneGiven();
    void oneDesign();
    void listsCombineTypeOutermost();
    void everyCombinationOnce();
    void unusedRippleGivesOneDesign();
    void refusals_data();
    void refusals();
    void checkedAtTheRate();
    void synopsisNamesEveryOption();
};

void TestDesignOptions::noneGiven()
{
    const Outcome outcome = Parse({}, true);
    QCOMPARE(outcome.refusal, QString());
    QVERIFY(outcome.designs.empty());
}

void TestDesignOptions::oneDesign()
{
    Outcome outcome = Parse({ "--hold", "whole" }, false);
    QCOMPARE(outcome.refusal, QString());
    // The default value given is still a design: the window's chain is the absence of options.
    QCOMPARE(outcome.designs.size(), std::size_t(1));
    QVERIFY(outcome.designs[0] == DesignPlan {});

    outcome = Parse(
        { "--type", "elliptic", "--order=4", "--corner", "2500", "--shape", "highpass", "--ripple",
            "0.5", "--stopband", "40", "--dc-block", "off", "--hold", "sections" },
        false);
    QCOMPARE(outcome.refusal, QString());
    QCOMPARE(outcome.designs.size(), std::size_t(1));
    const DesignPlan& plan = outcome.designs[0];
    QVERIFY(plan.type == FilterType::Elliptic);
    QCOMPARE(plan.order, 4);
    QCOMPARE(plan.cornerHz, 2500.0);
    QVERIFY(plan.shape == FilterShape::HighPass);
    QCOMPARE(plan.rippleDb, 0.5);
    QCOMPARE(plan.stopbandDb, 40.0);
    QVERIFY(!plan.dcBlockHz.has_value());
    QVERIFY(plan.hold == HoldMode::Sections);
}

void TestDesignOptions::listsCombineTypeOutermost()
{
    const Outcome outcome = Parse({ "--order", "2,4", "--type", "butterworth,bessel" }, true);
    QCOMPARE(outcome.refusal, QString());
    const std::vector<DesignPlan> expected { Design(FilterType::Butterworth, 2),
        Design(FilterType::Butterworth, 4), Design(FilterType::Bessel, 2),
        Design(FilterType::Bessel, 4) };
    QVERIFY(outcome.designs == expected);
}

void TestDesignOptions::everyCombinationOnce()
{
    // 2 x 2 x 2 = 8 designs: each combination of the three lists exactly once.
    const Outcome outcome = Parse(
        { "--corner", "500,2000", "--dc-block", "1,off", "--shape", "lowpass,highpass" }, true);
    QCOMPARE(outcome.refusal, QString());
    QCOMPARE(outcome.designs.size(), std::size_t(8));
    std::set<std::tuple<double, bool, int>> seen;
    for (const DesignPlan& plan : outcome.designs) {
        QVERIFY(plan.cornerHz == 500 || plan.cornerHz == 2000);
        QVERIFY(!plan.dcBlockHz || *plan.dcBlockHz == 1.0);
        seen.emplace(plan.cornerHz, plan.dcBlockHz.has_value(), static_cast<int>(plan.shape));
        QCOMPARE(plan.order, 6);
        QVERIFY(plan.type == FilterType::Butterworth);
    }
    QCOMPARE(seen.size(), std::size_t(8));
}

void TestDesignOptions::unusedRippleGivesOneDesign()
{
    // A Butterworth has no ripple: the two ripples make two Chebyshev designs but one
    // Butterworth.
    const Outcome outcome
        = Parse({ "--type", "butterworth,chebyshev1", "--ripple", "0.5,3" }, true);
    QCOMPARE(outcome.refusal, QString());
    QCOMPARE(outcome.designs.size(), std::size_t(3));
    QVERIFY(outcome.designs[0].type == FilterType::Butterworth);
    QCOMPARE(outcome.designs[0].rippleDb, DesignPlan {}.rippleDb);
    QCOMPARE(outcome.designs[1].rippleDb, 0.5);
    QCOMPARE(outcome.designs[2].rippleDb, 3.0);
}

void TestDesignOptions::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("lists");
    QTest::addColumn<QString>("message");
    QTest::newRow("a list without lists") << QStringList { "--order", "2,4" } << false
                                          << "--order takes one value here, not a list: lists of "
                                             "designs are for response --plot";
    QTest::newRow("nine designs") << QStringList { "--order", "2,4,6", "--corner", "1,2,3" } << true
                                  << "the design options' lists make 9 designs: at most 8 can be "
                                     "compared";
    QTest::newRow("eight designs and a duplicate")
        << QStringList { "--order", "1,2,3,4,5,6,7,8,8" } << true
        << "the design options' lists make 9 designs: at most 8 can be compared";
    QTest::newRow("a huge list") << QStringList { "--corner", QString("1,").repeated(5000) + "1",
        "--order", QString("1,").repeated(5000) + "1" }
                                 << true
                                 << "the design options' lists make 25010001 designs: at most 8 "
                                    "can be compared";
    QTest::newRow("ripple of a Butterworth") << QStringList { "--ripple",
        "2" } << false << "--ripple applies to --type chebyshev1 and elliptic only";
    QTest::newRow("stop-band of a Chebyshev I")
        << QStringList { "--type", "chebyshev1", "--stopband", "40" } << false
        << "--stopband applies to --type chebyshev2 and elliptic only";
    QTest::newRow("unknown type") << QStringList { "--type", "cheby" } << false
                                  << "--type must be one of butterworth, bessel, chebyshev1, "
                                     "chebyshev2, elliptic, not 'cheby'";
    QTest::newRow("unknown type in a list") << QStringList { "--type", "bessel,Bessel" } << true
                                            << "--type must be one of butterworth, bessel, "
                                               "chebyshev1, chebyshev2, elliptic, not 'Bessel'";
    QTest::newRow("unknown shape") << QStringList { "--shape", "bandpass" } << false
                                   << "--shape must be one of lowpass, highpass, not 'bandpass'";
    QTest::newRow("unknown hold") << QStringList { "--hold", "none" } << false
                                  << "--hold must be one of whole, sections, not 'none'";
    QTest::newRow("order not a number")
        << QStringList { "--order", "six" } << false << "--order must be a whole number, not 'six'";
    QTest::newRow("empty item") << QStringList { "--order", "2,,4" } << true
                                << "--order must be a whole number, not ''";
    QTest::newRow("corner not a number") << QStringList { "--corner", "1k" } << false
                                         << "--corner must be a finite decimal number, not '1k'";
    QTest::newRow("dc block neither") << QStringList { "--dc-block", "none" } << false
                                      << "--dc-block must be a frequency in Hz or 'off', not "
                                         "'none'";
}

void TestDesignOptions::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, lists);
    QFETCH(QString, message);
    const Outcome outcome = Parse(arguments, lists);
    QCOMPARE(outcome.refusal, "prog run: " + message + '\n');
}

void TestDesignOptions::checkedAtTheRate()
{
    // CheckDesign's own messages, at the command's rate: the corner below half of it.
    DesignPlan plan;
    plan.cornerHz = 22049.99;
    QVERIFY_THROWS_NO_EXCEPTION(CheckDesigns({ DesignPlan {}, plan }, 44100));
    plan.cornerHz = 22050;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, CheckDesigns({ DesignPlan {}, plan }, 44100));
    plan.cornerHz = 1000;
    plan.order = 11;
    try {
        CheckDesigns({ plan }, 44100);
        QFAIL("order 11 accepted");
    } catch (const std::invalid_argument& error) {
        QCOMPARE(QByteArray(error.what()),
            QByteArray("--order must be a whole number from 1 to 10, not 11"));
    }
}

void TestDesignOptions::synopsisNamesEveryOption()
{
    const QString synopsis = QString::fromStdString(DesignOptions::Synopsis());
    QCOMPARE(synopsis,
        QString("[--type butterworth|bessel|chebyshev1|chebyshev2|elliptic] [--order N] "
                "[--corner HZ] [--shape lowpass|highpass] [--ripple DB] [--stopband DB] "
                "[--dc-block HZ|off] [--hold whole|sections]"));
}

QTEST_GUILESS_MAIN(TestDesignOptions)
#include "tst_designoptions.moc"

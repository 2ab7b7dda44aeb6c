// vorn-render coefficients, poles and metrics and the response's exchange formats, as other
// tools read them: the exported rows run through a direct-form filter of the test's own against
// the chain, their response and roots against response and poles, the JSON and the C header by
// their own readers, the pole-zero figure against the list, and the refusals of bad input.
#include "filterchain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <vector>

#include "renderprocess.h"

using namespace vorn;
using Complex = std::complex<double>;
using Rows = std::vector<std::vector<double>>;

namespace {

const double kTwoPi = 2 * std::numbers::pi;

// The numbers of each line, as numpy's loadtxt reads them: blank-separated, '#' or '*' lines and
// the words of a line left out.
Rows numbers(const QByteArray& text, char separator = ' ')
{
    Rows rows;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#') || line.startsWith('*')) {
            continue;
        }
        std::vector<double> row;
        for (const QByteArray& field : line.split(separator)) {
            bool ok = false;
            const double value = field.toDouble(&ok);
            if (ok) {
                row.push_back(value);
            }
        }
        rows.push_back(row);
    }
    return rows;
}

Rows sosRows(double rate)
{
    const RenderRun run = render({ "coefficients", "--rate", QString::number(rate) });
    return run.exitCode == 0 ? numbers(run.out) : Rows {};
}

// Direct form I, row after row, as sosfilt computes it.
std::vector<double> sosfilt(const Rows& sos, std::vector<double> x)
{
    for (const std::vector<double>& r : sos) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& value : x) {
            const double y = r[0] * value + r[1] * x1 + r[2] * x2 - r[4] * y1 - r[5] * y2;
            x2 = x1;
            x1 = value;
            y2 = y1;
            y1 = y;
            value = y;
        }
    }
    return x;
}

Complex rowsResponse(const Rows& sos, double hz, double rate)
{
    const Complex z1 = std::polar(1.0, -kTwoPi * hz / rate);
    Complex h = 1;
    for (const std::vector<double>& r : sos) {
        h *= (r[0] + r[1] * z1 + r[2] * z1 * z1) / (r[3] + r[4] * z1 + r[5] * z1 * z1);
    }
    return h;
}

// The roots of c0 z^2 + c1 z + c2.
std::vector<Complex> roots(double c0, double c1, double c2)
{
    const Complex d = std::sqrt(Complex(c1 * c1 - 4 * c0 * c2));
    return { (-c1 + d) / (2 * c0), (-c1 - d) / (2 * c0) };
}

// The list of poles: {kind, stage} -> values, each as a complex number.
std::map<QByteArray, std::vector<Complex>> poleList(double rate)
{
    const RenderRun run = render({ "poles", "--rate", QString::number(rate) });
    std::map<QByteArray, std::vector<Complex>> list;
    for (const QByteArray& line : run.out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (line.startsWith("analogue")) {
            list[f[0] + ' ' + f[1]].emplace_back(f[3].toDouble(), f[4].toDouble());
        } else if (line.startsWith("discrete")) {
            list[f[0] + ' ' + f[1]].push_back(std::polar(f[3].toDouble(), f[4].toDouble()));
            // The angle in Hz is the angle in radians at the rate.
            if (std::fabs(f[5].toDouble() - f[4].toDouble() * rate / kTwoPi) > 1e-6) {
                return {};
            }
        }
    }
    return list;
}

// Whether every value of `expected` has one of `actual` within `tolerance`, one to one.
bool sameRoots(std::vector<Complex> actual, const std::vector<Complex>& expected, double tolerance)
{
    if (actual.size() != expected.size()) {
        return false;
    }
    for (const Complex& value : expected) {
        const auto it = std::find_if(actual.begin(), actual.end(),
            [&](Complex a) { return std::abs(a - value) <= tolerance; });
        if (it == actual.end()) {
            return false;
        }
        actual.erase(it);
    }
    return true;
}

} // namespace

class TestRenderDesign : public QObject
{
    Q_OBJECT

private slots:
    void rowsRunTheChain_data();
    void rowsRunTheChain();
    void rowsMatchResponseAndPoles_data();
    void rowsMatchResponseAndPoles();
    void jsonAndHeaderHoldTheRows();
    void figureShowsTheList();
    void metricsMatchTheSamples();
    void exchangeFormats_data();
    void exchangeFormats();
    void designRowsRunTheDesign_data();
    void designRowsRunTheDesign();
    void designComparisonColumns();
    void badInput_data();
    void badInput();
};

void TestRenderDesign::rowsRunTheChain_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<bool>("sine");
    QTest::newRow("sine at 44100 Hz") << 44100.0 << true;
    QTest::newRow("step at 44100 Hz") << 44100.0 << false;
    QTest::newRow("sine at 48000 Hz") << 48000.0 << true;
    QTest::newRow("step at 48000 Hz") << 48000.0 << false;
}

// The four rows, 17 significant digits each, run through direct form I give the chain's output
// before truncation to within 1e-9 of its peak; at 44100 Hz, truncated, the program's samples.
void TestRenderDesign::rowsRunTheChain()
{
    QFETCH(double, rate);
    QFETCH(bool, sine);
    const RenderRun run = render({ "coefficients", "--rate", QString::number(rate) });
    QCOMPARE(run.exitCode, 0);
    const Rows sos = numbers(run.out);
    QCOMPARE(sos.size(), std::size_t { 4 });
    for (const std::vector<double>& row : sos) {
        QCOMPARE(row.size(), std::size_t { 6 });
        QCOMPARE(row[3], 1.0);
    }
    QCOMPARE(sos[3][2], 0.0);
    QCOMPARE(sos[3][5], 0.0);
    for (const QByteArray& field : run.out.split('\n')[3].simplified().split(' ')) {
        QCOMPARE(field.split('e').front().replace("-", "").replace(".", "").size(), 17);
    }

    constexpr int kSamples = 4000;
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    FilterState state {};
    std::vector<double> input;
    std::vector<double> chain;
    const double dphi = (1000 * (std::atan(1.0) * 8)) / rate;
    for (int n = 0; n < kSamples; ++n) {
        input.push_back(sine ? std::sin(state[7]) * 10000 : 10000.0);
        chain.push_back(StepFilterChain(coefficients, state, input.back()));
        state[7] = dphi + state[7];
    }
    const std::vector<double> filtered = sosfilt(sos, input);
    double peak = 0;
    double error = 0;
    for (int n = 0; n < kSamples; ++n) {
        peak = std::max(peak, std::fabs(chain[n]));
        error = std::max(error, std::fabs(filtered[n] - chain[n]));
    }
    QVERIFY2(error <= 1e-9 * peak, qPrintable(QString::number(error / peak)));

    if (rate == 44100) {
        const RenderRun samples
            = render({ "samples", "--input", sine ? "sine" : "step", "--blocks", "2" });
        const QList<QByteArray> lines = samples.out.trimmed().split('\n');
        QCOMPARE(lines.size(), kSamples);
        for (int n = 0; n < kSamples; ++n) {
            QCOMPARE(lines[n].toInt(), static_cast<int>(std::trunc(filtered[n])));
        }
    }
}

void TestRenderDesign::rowsMatchResponseAndPoles_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("44100 Hz") << 44100.0;
    QTest::newRow("48000 Hz") << 48000.0;
    QTest::newRow("1 MHz") << 1e6;
}

// The rows' response is response's at a few frequencies; the roots of their a and b are the
// listed discrete poles and zeros, which are e^(sT) of the listed analogue poles (the hold keeps
// the poles' places); those lie on the 1 kHz circle at 105, 135 and 165 degrees (to 2e-5 rad:
// the damping is rounded to five decimals).
void TestRenderDesign::rowsMatchResponseAndPoles()
{
    QFETCH(double, rate);
    const Rows sos = sosRows(rate);
    QCOMPARE(sos.size(), std::size_t { 4 });
    const RenderRun response = render({ "response", "--format", "csv", "--rate",
        QString::number(rate), "--at", "10", "--at", "1000", "--at", "5000", "--at", "20000" });
    QCOMPARE(response.exitCode, 0);
    for (const QByteArray& line : response.out.split('\n').mid(1, 4)) {
        const QList<QByteArray> f = line.split(',');
        const Complex h = rowsResponse(sos, f[0].toDouble(), rate);
        QVERIFY(std::fabs(20 * std::log10(std::abs(h)) - f[1].toDouble()) < 1e-6);
        QVERIFY(
            std::fabs(std::remainder(std::arg(h) * 360 / kTwoPi - f[2].toDouble(), 360)) < 1e-6);
    }

    auto list = poleList(rate);
    std::vector<Complex> poles;
    std::vector<Complex> zeros;
    for (const std::vector<double>& r : sos) {
        for (const Complex& p : roots(r[3], r[4], r[5])) {
            poles.push_back(p);
        }
        for (const Complex& z : roots(r[0], r[1], r[2])) {
            zeros.push_back(z);
        }
    }
    // The high-pass row's extra pole and zero at 0 cancel.
    poles.erase(std::find(poles.begin(), poles.end(), Complex(0)));
    zeros.erase(std::find(zeros.begin(), zeros.end(), Complex(0)));
    QVERIFY(sameRoots(list["discrete pole"], poles, 1e-10));
    QVERIFY(sameRoots(list["discrete zero"], zeros, 1e-10));

    std::vector<Complex> mapped;
    for (const Complex& s : list["analogue pole"]) {
        mapped.push_back(std::exp(s * kTwoPi / rate));
    }
    QVERIFY(sameRoots(list["discrete pole"], mapped, 1e-10));
    QVERIFY(sameRoots(list["analogue zero"], { 0.0 }, 0));
    std::vector<Complex> butterworth { -1.0 };
    for (const double degrees : { 105, 135, 165, -105, -135, -165 }) {
        butterworth.push_back(std::polar(1000.0, degrees * kTwoPi / 360));
    }
    QVERIFY(sameRoots(list["analogue pole"], butterworth, 1000 * 2e-5));
    for (const Complex& s : list["analogue pole"]) {
        QVERIFY(s == -1.0 || std::fabs(std::abs(s) - 1000) < 1e-8);
    }
}

// The JSON holds the rows exactly (17 digits and the shortest form read back the same), the
// gain, and the analogue poles in rad/s; the C header compiles as C89 and C++ without a warning,
// its doubles are the rows and its floats the rows rounded to float.
void TestRenderDesign::jsonAndHeaderHoldTheRows()
{
    const Rows sos = sosRows(48000);
    const RenderRun json = render({ "coefficients", "--rate", "48000", "--format", "json" });
    QCOMPARE(json.exitCode, 0);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root["rate"].toDouble(), 48000.0);
    QJsonArray stages = root["sections"].toArray();
    QCOMPARE(stages.size(), 3);
    stages.append(root["highPass"]);
    double gain = 1;
    for (qsizetype i = 0; i < 4; ++i) {
        const QJsonObject stage = stages[i].toObject();
        for (int j = 0; j < 3; ++j) {
            QCOMPARE(stage["b"].toArray()[j].toDouble(), sos[i][j]);
            QCOMPARE(stage["a"].toArray()[j].toDouble(), sos[i][3 + j]);
        }
        gain *= sos[i][0];
    }
    QCOMPARE(stages[1].toObject()["k"].toDouble(), 1.41421);
    QCOMPARE(stages[0].toObject()["naturalFrequencyHz"].toDouble(), 1000.0);
    QCOMPARE(root["gain"].toDouble(), gain);
    const QJsonObject analogue = root["analogue"].toObject();
    std::vector<Complex> poles;
    for (const QJsonValue& pole : analogue["poles"].toArray()) {
        poles.emplace_back(pole["re"].toDouble() / kTwoPi, pole["im"].toDouble() / kTwoPi);
    }
    auto list = poleList(48000);
    poles.emplace_back(analogue["highPassPole"]["re"].toDouble() / kTwoPi, 0);
    QVERIFY(sameRoots(list["analogue pole"], poles, 1e-9));

    QTemporaryDir dir;
    const QString header = dir.filePath(QStringLiteral("vorn_sos.h"));
    const QString program = dir.filePath(QStringLiteral("check.c"));
    const RenderRun c = render({ "coefficients", "--rate", "48000", "--format", "c" });
    QCOMPARE(c.exitCode, 0);
    for (const auto& [path, bytes] : { std::pair { header, c.out },
             { program,
                 "#include <stdio.h>\n#include \"vorn_sos.h\"\nint main(void) {\n"
                 "  int i, j; printf(\"%.17g\\n\", VORN_SOS_RATE_HZ);\n"
                 "  for (i = 0; i < VORN_SOS_ROWS; ++i) for (j = 0; j < 6; ++j)\n"
                 "    printf(\"%.17g %d\\n\", vorn_sos[i][j],"
                 " vorn_sos_float[i][j] == (float)vorn_sos[i][j]);\n  return 0;\n}\n" } }) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QStringList strict { "-Wall", "-Wextra", "-pedantic", "-Werror" };
    for (const QStringList& compile :
        { QStringList { "-fsyntax-only", "-std=c89", "-x", "c", header },
            QStringList { "-fsyntax-only", "-std=c++17", "-x", "c++", header },
            QStringList { "-std=c99", program, "-o", dir.filePath(QStringLiteral("check")) } }) {
        QProcess cc;
        cc.start(QStringLiteral(VORN_CC_PATH), strict + compile);
        QVERIFY(cc.waitForFinished(60000));
        QVERIFY2(cc.exitCode() == 0, cc.readAllStandardError().constData());
    }
    QProcess check;
    check.start(dir.filePath(QStringLiteral("check")));
    QVERIFY(check.waitForFinished(10000));
    const Rows printed = numbers(check.readAllStandardOutput());
    QCOMPARE(printed.size(), std::size_t { 25 });
    QCOMPARE(printed[0][0], 48000.0);
    for (std::size_t k = 0; k < 24; ++k) {
        QCOMPARE(printed[k + 1][0], sos[k / 6][k % 6]);
        QCOMPARE(printed[k + 1][1], 1.0);
    }
}

// The figure's marks sit where the list puts the roots: the reference circles (1 kHz and the
// unit circle) give each panel's centre and scale; x (two red strokes) for a pole, o (a blue
// circle) for a zero. The PNG of the same reads back.
void TestRenderDesign::figureShowsTheList()
{
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("poles.svg"));
    QCOMPARE(render({ "poles", "--plot", svg }).exitCode, 0);
    QCOMPARE(render({ "poles", "--plot", dir.filePath(QStringLiteral("p.PNG")) }).exitCode, 0);
    QVERIFY(!QImage(dir.filePath(QStringLiteral("p.PNG")), "PNG").isNull());

    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<QString> strokes { QStringLiteral("none") };
    std::vector<Complex> circles; // centre and radius of the reference circles
    std::vector<double> radii;
    std::vector<Complex> zeros;
    std::vector<Complex> poles; // each x's centre, once per stroke
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            strokes.pop_back();
        }
        if (!xml.isStartElement()) {
            continue;
        }
        const auto value = [&](const char* name) { return xml.attributes().value(name); };
        strokes.push_back(value("stroke").isEmpty() ? strokes.back() : value("stroke").toString());
        if (xml.name() == QStringLiteral("circle")) {
            const Complex centre(value("cx").toDouble(), value("cy").toDouble());
            if (strokes.back() == QStringLiteral("#145ac8")) {
                zeros.push_back(centre);
            } else if (strokes.back() == QStringLiteral("#969696")) {
                circles.push_back(centre);
                radii.push_back(value("r").toDouble());
            }
        } else if (xml.name() == QStringLiteral("polyline") && strokes.back() == "#c81e1e") {
            Complex sum;
            for (const QString& point : value("points").toString().split(' ', Qt::SkipEmptyParts)) {
                sum += Complex(
                    point.section(',', 0, 0).toDouble(), point.section(',', 1).toDouble());
            }
            poles.push_back(sum / 2.0);
        }
    }
    QVERIFY(!xml.hasError());
    QCOMPARE(circles.size(), std::size_t { 2 });
    // The marks of the two planes' own panels, which reach 1.25 times their circles' radii to
    // each side; the legend's and the enlargements' lie outside them.
    const auto inPlanes = [&](std::vector<Complex>& marks) {
        std::erase_if(marks, [&](Complex mark) {
            for (std::size_t panel = 0; panel < circles.size(); ++panel) {
                const double reach = 1.26 * radii[panel];
                if (std::fabs(mark.real() - circles[panel].real()) <= reach
                    && std::fabs(mark.imag() - circles[panel].imag()) <= reach) {
                    return false;
                }
            }
            return true;
        });
    };
    inPlanes(poles);
    inPlanes(zeros);

    // One mark for each place, however many roots lie there.
    std::vector<Complex> expectedPoles;
    std::vector<Complex> expectedZeros;
    for (const auto& [kind, values] : poleList(44100)) {
        const std::size_t panel = kind.startsWith("analogue") ? 0 : 1;
        for (const Complex& root : values) {
            const Complex mark
                = circles[panel] + std::conj(root) * radii[panel] / (panel ? 1 : 1000.0);
            std::vector<Complex>& expected = kind.endsWith("pole") ? expectedPoles : expectedZeros;
            if (std::find(expected.begin(), expected.end(), mark) != expected.end()) {
                continue;
            }
            // Two strokes per x.
            expected.push_back(mark);
            if (kind.endsWith("pole")) {
                expected.push_back(mark);
            }
        }
    }
    QCOMPARE(expectedZeros.size(), std::size_t { 6 });
    QVERIFY(sameRoots(poles, expectedPoles, 0.01));
    QVERIFY(sameRoots(zeros, expectedZeros, 0.01));
}

// The program's step samples (amplitude 10000) peak where metrics says the simulated chain
// peaks; the analogue column holds the reference values (scipy.signal, see tst_stepmetrics) in
// its units, to 1e-4.
void TestRenderDesign::metricsMatchTheSamples()
{
    const RenderRun run = render({ "metrics" });
    QCOMPARE(run.exitCode, 0);
    std::map<QByteArray, std::vector<double>> figures;
    for (const QByteArray& line : run.out.split('\n').mid(3)) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() == 3) {
            figures[f[0]] = { f[1].toDouble(), f[2].toDouble() };
        }
    }
    QCOMPARE(figures.size(), std::size_t { 8 });
    const std::map<QByteArray, double> references { { "rise_time_ms", 0.426526257 },
        { "overshoot_percent", 14.2514259 }, { "peak_time_ms", 1.11997 },
        { "settling_time_ms", 2.25065821 }, { "impulse_peak_per_ms", 2.23107521 },
        { "impulse_peak_time_ms", 0.70588 }, { "chain_overshoot_percent", 13.943629 },
        { "chain_peak_time_ms", 1.11871 } };
    for (const auto& [name, reference] : references) {
        QVERIFY2(std::fabs(figures[name].at(1) / reference - 1) < 1e-4, name.constData());
    }
    const RenderRun samples = render({ "samples", "--input", "step" });
    int peak = 0;
    int at = 0;
    const QList<QByteArray> lines = samples.out.trimmed().split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        if (lines[n].toInt() > peak) {
            peak = lines[n].toInt();
            at = n;
        }
    }
    QCOMPARE(static_cast<int>(10000 * (1 + figures["chain_overshoot_percent"][0] / 100)), peak);
    QVERIFY(std::fabs(figures["chain_peak_time_ms"][0] - at / 44.1) < 1e-6);
}

void TestRenderDesign::exchangeFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("analogue");
    QTest::newRow("frd") << "frd" << false;
    QTest::newRow("frd, analogue") << "frd" << true;
    QTest::newRow("tsv") << "tsv" << false;
    QTest::newRow("tsv, analogue") << "tsv" << true;
}

// The same numbers as the CSV table: FRD with '*' comments and the phase within (-180, 180],
// TSV under its header.
void TestRenderDesign::exchangeFormats()
{
    QFETCH(QString, format);
    QFETCH(bool, analogue);
    const QStringList grid { "--points", "50", "--from", "1", "--to", "21000" };
    QStringList arguments = QStringList { "response", "--format", format } + grid;
    if (analogue) {
        arguments << "--analogue";
    }
    const RenderRun run = render(arguments);
    const RenderRun csv = render(QStringList { "response", "--format", "csv" } + grid);
    QCOMPARE(run.exitCode, 0);
    const bool frd = format == QStringLiteral("frd");
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY(frd ? lines[0].startsWith("* ") : lines[0] == "Frequency (Hz)\tLevel (dB)");
    const Rows rows = numbers(frd ? run.out : run.out.mid(lines[0].size() + 1), frd ? ' ' : '\t');
    const Rows table = numbers(csv.out.mid(csv.out.indexOf('\n') + 1), ',');
    QCOMPARE(rows.size(), std::size_t { 50 });
    QCOMPARE(table.size(), rows.size());
    const std::size_t level = analogue ? 4 : 1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].size(), std::size_t { frd ? 3u : 2u });
        QCOMPARE(rows[i][0], table[i][0]);
        QCOMPARE(rows[i][1], table[i][level]);
        if (frd) {
            QVERIFY(rows[i][2] > -180 && rows[i][2] <= 180);
            QVERIFY(std::fabs(std::remainder(rows[i][2] - table[i][level + 1], 360)) < 1e-6);
        }
    }
}

void TestRenderDesign::designRowsRunTheDesign_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::newRow("butterworth 6") << QStringList { "--order", "6" };
    QTest::newRow("bessel 5 high-pass") << QStringList { "--type", "bessel", "--order", "5",
        "--shape", "highpass", "--corner", "300" };
    QTest::newRow("chebyshev I 4, sections") << QStringList { "--type", "chebyshev1", "--order",
        "4", "--ripple", "0.5", "--hold", "sections" };
    QTest::newRow("chebyshev II 7 high-pass, sections") << QStringList { "--type", "chebyshev2",
        "--order", "7", "--shape", "highpass", "--corner", "2000", "--hold", "sections" };
    QTest::newRow("elliptic 10") << QStringList { "--type", "elliptic", "--order", "10" };
    QTest::newRow("elliptic 3 high-pass, no DC block") << QStringList { "--type", "elliptic",
        "--order", "3", "--shape", "highpass", "--dc-block", "off" };
}

// A design's rows as coefficients prints them, run by the test as their comments say (the
// parallel rows added, then the cascade), give samples' impulse response and response's levels
// and phases; the roots of their denominators are the discrete poles that poles lists.
void TestRenderDesign::designRowsRunTheDesign()
{
    QFETCH(QStringList, design);
    const RenderRun coefficients = render(QStringList { "coefficients" } + design);
    QCOMPARE(coefficients.exitCode, 0);
    const Rows rows = numbers(coefficients.out);
    const int first = coefficients.out.indexOf("# The first ");
    const std::size_t parallel
        = first < 0 ? 0 : coefficients.out.mid(first + 12).split(' ').front().toUInt();
    QVERIFY(parallel <= rows.size());
    const Rows parallelRows(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(parallel));
    const Rows cascadeRows(rows.begin() + static_cast<std::ptrdiff_t>(parallel), rows.end());

    std::vector<double> impulse(2000, 0.0);
    impulse[0] = 10000;
    std::vector<double> h(impulse.size(), 0.0);
    if (parallel == 0) {
        h = impulse;
    }
    for (const std::vector<double>& row : parallelRows) {
        const std::vector<double> branch = sosfilt({ row }, impulse);
        for (std::size_t n = 0; n < h.size(); ++n) {
            h[n] += branch[n];
        }
    }
    h = sosfilt(cascadeRows, h);
    const RenderRun samples
        = render(QStringList { "samples", "--input", "impulse", "--blocks", "1" } + design);
    QCOMPARE(samples.exitCode, 0);
    const QList<QByteArray> lines = samples.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2000);
    for (std::size_t n = 0; n < h.size(); ++n) {
        const double expected = std::clamp(std::trunc(h[n]), -32768.0, 32767.0);
        QVERIFY2(std::fabs(lines[static_cast<qsizetype>(n)].toDouble() - expected) <= 1,
            qPrintable(QString("sample %1: %2 against %3").arg(n).arg(lines[n]).arg(h[n])));
    }

    const RenderRun response = render(QStringList { "response", "--format", "csv", "--at", "100",
                                          "--at", "1000", "--at", "3000", "--at", "15000" }
        + design);
    QCOMPARE(response.exitCode, 0);
    for (const QByteArray& line : response.out.trimmed().split('\n').mid(1)) {
        const QList<QByteArray> f = line.split(',');
        const double hz = f[0].toDouble();
        Complex value = parallel == 0 ? 1.0 : 0.0;
        for (const std::vector<double>& row : parallelRows) {
            value += rowsResponse({ row }, hz, 44100);
        }
        value *= rowsResponse(cascadeRows, hz, 44100);
        QVERIFY2(
            std::fabs(20 * std::log10(std::abs(value)) - f[1].toDouble()) < 1e-6, line.constData());
        // Nine significant digits: a phase of some thousand degrees is printed to 1e-5.
        const double phase = f[2].toDouble();
        if (f[1].toDouble() > -200) {
            QVERIFY2(std::fabs(std::remainder(std::arg(value) * 360 / kTwoPi - phase, 360))
                    < 1e-6 * std::max(1.0, std::fabs(phase)),
                line.constData());
        }
    }

    std::vector<Complex> poles;
    for (const std::vector<double>& row : rows) {
        if (row[4] == 0 && row[5] == 0) {
            continue; // the direct term
        }
        for (const Complex& p : roots(row[3], row[4], row[5])) {
            if (row[5] != 0 || p != 0.0) {
                poles.push_back(p);
            }
        }
    }
    const RenderRun list = render(QStringList { "poles" } + design);
    std::vector<Complex> listed;
    for (const QByteArray& line : list.out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (line.startsWith("discrete pole")) {
            listed.push_back(std::polar(f[3].toDouble(), f[4].toDouble()));
        }
    }
    QVERIFY(sameRoots(listed, poles, 1e-10));
}

// Several designs' CSV holds, after the frequency, each design's six columns as that design's own
// CSV has them, named by it.
void TestRenderDesign::designComparisonColumns()
{
    const QStringList at { "--at", "50", "--at", "900", "--at", "4000" };
    const RenderRun both = render(
        QStringList { "response", "--format", "csv", "--type", "bessel", "--order", "2,4" } + at);
    QCOMPARE(both.exitCode, 0);
    const QList<QByteArray> lines = both.out.trimmed().split('\n');
    QVERIFY(lines[0].startsWith("hz,\"db (2nd-order 1 kHz Bessel low-pass + 1 Hz DC block)\","));
    QVERIFY(lines[0].contains(",\"analog_delay_ms (4th-order 1 kHz Bessel low-pass"));
    for (int k = 0; k < 2; ++k) {
        const RenderRun one = render(QStringList { "response", "--format", "csv", "--type",
                                         "bessel", "--order", k == 0 ? "2" : "4" }
            + at);
        const QList<QByteArray> single = one.out.trimmed().split('\n');
        QCOMPARE(single[0],
            QByteArray("hz,db,phase_deg,delay_ms,analog_db,analog_phase_deg,"
                       "analog_delay_ms"));
        for (int r = 1; r < single.size(); ++r) {
            const QList<QByteArray> mine = lines[r].split(',');
            QCOMPARE(mine.size(), 13);
            QCOMPARE(mine.mid(1 + 6 * k, 6), single[r].split(',').mid(1));
        }
    }
}

void TestRenderDesign::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("mentions");
    // clang-format off
    const char* cases[][2] = {
        { "coefficients --format xml", "xml" }, { "coefficients --rate 999", "--rate" },
        { "metrics --rate fast", "fast" }, { "poles --rate inf", "--rate" },
        { "metrics 44100", "44100" }, { "metrics --plot DIR/out.jpg", "out.jpg" },
        { "poles --format json", "--format" }, { "poles --plot DIR/out.jpg", "out.jpg" },
        { "poles --plot DIR/missing/out.svg", "missing/out.svg" },
        { "poles --plot DIR/out.png --rate 2e7", "--rate" },
        { "response --format csv --analogue", "--analogue" },
        { "response --plot DIR/out.svg --analogue", "--analogue" },
        { "response --plot DIR/out.svg --format frd", "--format" },
        { "response --format tsv --analogue=1", "--analogue" },
    };
    // clang-format on
    for (const auto& [arguments, mentions] : cases) {
        QTest::newRow(arguments) << QString::fromUtf8(arguments).split(' ') << QByteArray(mentions);
    }
}

// One line on stderr, exit status 2, nothing on stdout and no file.
void TestRenderDesign::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("DIR"), dir.path());
    }
    const RenderRun run = render(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.startsWith("vorn-render " + arguments.front().toUtf8() + ": "));
    QVERIFY2(run.err.contains(mentions), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(TestRenderDesign)
#include "tst_renderdesign.moc"

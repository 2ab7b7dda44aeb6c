// vorn-render response as a script would use it: the table against the core's response, its
// grids and formats, the pictures, and the refusals of bad input.
#include "response.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "renderprocess.h"

using namespace vorn;

namespace {

const QByteArray kHeader = "hz,db,phase_deg,delay_ms,analog_db,analog_phase_deg,analog_delay_ms";

// The rows of a CSV table after its header, as numbers.
std::vector<std::vector<double>> csvRows(const QByteArray& text)
{
    std::vector<std::vector<double>> rows;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            continue;
        }
        std::vector<double> row;
        for (const QByteArray& field : lines[i].split(',')) {
            bool ok = false;
            row.push_back(field.toDouble(&ok));
            if (!ok) {
                return {};
            }
        }
        rows.push_back(row);
    }
    return rows;
}

// Digits of the mantissa of a number as written: "-3.03417687" has 9, "1.5e-05" has 2.
int significantDigits(const QByteArray& field)
{
    QByteArray mantissa = field.split('e').front();
    mantissa.replace("-", "").replace(".", "");
    while (mantissa.startsWith('0') && mantissa.size() > 1) {
        mantissa.remove(0, 1);
    }
    return static_cast<int>(mantissa.size());
}

bool close(double actual, double expected)
{
    // Nine significant digits: half a unit in the ninth, with room for the decimal round trip.
    return std::fabs(actual - expected) <= 6e-9 * std::fabs(expected) + 1e-300;
}

// The rows (top to bottom) where a panel's frame runs across the picture: long runs of its grey.
std::vector<int> frameRows(const QImage& image, int& left, int& right)
{
    const QRgb frame = qRgb(110, 110, 110);
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        int best = 0;
        int end = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = image.pixel(x, y) == frame ? run + 1 : 0;
            if (run > best) {
                best = run;
                end = x;
            }
        }
        if (best > image.width() / 2) {
            rows.push_back(y);
            left = end - best + 1;
            right = end;
        }
    }
    return rows;
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class TestRenderResponse : public QObject
{
    Q_OBJECT

private slots:
    void tableIsTheCoresResponse_data();
    void tableIsTheCoresResponse();
    void textHasTheSameColumns();
    void pngShowsBothTraces_data();
    void pngShowsBothTraces();
    void svgHoldsBothTraces_data();
    void svgHoldsBothTraces();
    void badInput_data();
    void badInput();
    void helpDescribesIt();
};

void TestRenderResponse::tableIsTheCoresResponse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QList<double>>("hz"); // empty: the default grid, checked for its shape
    QTest::newRow("defaults") << QStringList {} << 44100.0 << QList<double> {};
    QTest::newRow("linear, five points") << QStringList { "--linear", "--points", "5", "--from",
        "100", "--to", "500" } << 44100.0 << QList<double> { 100, 200, 300, 400, 500 };
    QTest::newRow("log, three points at 40960 Hz")
        << QStringList { "--rate", "40960", "--from", "20", "--to=20000", "--points=3" } << 40960.0
        << QList<double> { 20, std::sqrt(20.0 * 20000), 20000 };
    QTest::newRow("one point") << QStringList { "--points", "1", "--from", "440" } << 44100.0
                               << QList<double> { 440 };
    QTest::newRow("--at, in the order given") << QStringList {
        "--at", "1000", "--at", "1", "--at=2000", "--at", "20479.5", "--rate", "40960"
    } << 40960.0 << QList<double> { 1000, 1, 2000, 20479.5 };
    QTest::newRow("a high rate") << QStringList { "--rate", "192000", "--at", "95999" } << 192000.0
                                 << QList<double> { 95999 };
}

// Every column is the core's response at the listed frequencies, to nine significant digits.
void TestRenderResponse::tableIsTheCoresResponse()
{
    QFETCH(QStringList, arguments);
    QFETCH(double, rate);
    QFETCH(QList<double>, hz);
    const RenderRun run = render(QStringList { "response", "--format", "csv" } + arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.startsWith(kHeader + '\n'));
    const std::vector<std::vector<double>> rows = csvRows(run.out);

    std::vector<double> frequencies;
    if (hz.isEmpty()) {
        // 200 points from 10 Hz to 20 kHz, in equal ratios.
        QCOMPARE(rows.size(), std::size_t { 200 });
        for (std::size_t i = 0; i < rows.size(); ++i) {
            frequencies.push_back(10 * std::pow(2000.0, static_cast<double>(i) / 199));
        }
    } else {
        frequencies.assign(hz.begin(), hz.end());
    }
    QCOMPARE(rows.size(), frequencies.size());
    const std::vector<ResponseRow> expected = ChainResponse(rate, frequencies);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResponseRow& e = expected[i];
        const double values[] = { e.hz, e.simulated.db, e.simulated.phaseDeg, e.simulated.delayMs,
            e.analogue.db, e.analogue.phaseDeg, e.analogue.delayMs };
        QCOMPARE(rows[i].size(), std::size_t { 7 });
        for (std::size_t column = 0; column < 7; ++column) {
            QVERIFY2(close(rows[i][column], values[column]),
                qPrintable(QStringLiteral("row %1 column %2: %3 instead of %4")
                               .arg(i)
                               .arg(column)
                               .arg(rows[i][column], 0, 'g', 12)
                               .arg(values[column], 0, 'g', 12)));
        }
    }
    // Written with nine significant digits, not fewer in general and never more.
    int nine = 0;
    for (const QByteArray& field : run.out.mid(kHeader.size() + 1).replace('\n', ',').split(',')) {
        QVERIFY2(significantDigits(field) <= 9, field.constData());
        nine += significantDigits(field) == 9 ? 1 : 0;
    }
    QVERIFY(nine >= static_cast<int>(rows.size()) * 4);
}

// The text table holds the same numbers in right-aligned columns under the same names.
void TestRenderResponse::textHasTheSameColumns()
{
    const QStringList grid { "--points", "9", "--from", "3", "--to", "21000" };
    const RenderRun csv = render(QStringList { "response", "--format", "csv" } + grid);
    const RenderRun text = render(QStringList { "response" } + grid);
    QCOMPARE(csv.exitCode, 0);
    QCOMPARE(text.exitCode, 0);
    const QList<QByteArray> csvLines = csv.out.trimmed().split('\n');
    const QList<QByteArray> textLines = text.out.trimmed().split('\n');
    QCOMPARE(textLines.size(), 10);
    QCOMPARE(textLines.size(), csvLines.size());
    const qsizetype width = text.out.split('\n').front().size();
    for (qsizetype i = 0; i < textLines.size(); ++i) {
        QCOMPARE(text.out.split('\n')[i].size(), width);
        QCOMPARE(textLines[i].simplified().split(' '), csvLines[i].split(','));
    }
    // Right-aligned: every column ends where its header ends.
    const QByteArray header = text.out.split('\n').front();
    for (qsizetype end = header.indexOf(' ', header.indexOf("hz")); end > 0;
         end = header.indexOf(' ', end + 1)) {
        if (header[end - 1] == ' ') {
            continue;
        }
        for (qsizetype i = 1; i < textLines.size(); ++i) {
            QVERIFY(text.out.split('\n')[i][end - 1] != ' ');
            QCOMPARE(text.out.split('\n')[i][end], ' ');
        }
    }
}

void TestRenderResponse::pngShowsBothTraces_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("panels");
    QTest::newRow("level and phase") << QStringList {} << 2;
    QTest::newRow("with --labels, the group delay too") << QStringList { "--labels" } << 3;
    QTest::newRow("linear, to near half the rate")
        << QStringList { "--linear", "--from", "100", "--to", "22000", "--labels" } << 3;
    QTest::newRow("a few frequencies")
        << QStringList { "--at", "300", "--at", "1000", "--at", "3000", "--rate", "40960" } << 2;
}

// Each panel holds both traces in their colours, and text around it: the scale labels left of
// it and below it. Above the panels the legend shows both colours next to its text.
void TestRenderResponse::pngShowsBothTraces()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, panels);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("response.PNG"));
    const RenderRun run = render(QStringList { "response", "--plot", path } + arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    const QImage image(path, "PNG");
    QVERIFY(!image.isNull());

    int left = 0;
    int right = 0;
    const std::vector<int> frames = frameRows(image, left, right);
    // Top and bottom edge of each panel.
    QCOMPARE(static_cast<int>(frames.size()), 2 * panels);
    const auto simulated = [](QRgb pixel) { return pixel == qRgb(200, 30, 30); };
    const auto analogue = [](QRgb pixel) { return pixel == qRgb(20, 90, 200); };
    // Text: black and the greys of its smoothed edges. The traces' colours, and their blends
    // where they cross, are about as dark but each has a bright channel.
    const auto dark = [](QRgb pixel) {
        return std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel) }) < 100;
    };
    for (int panel = 0; panel < panels; ++panel) {
        const int top = frames[static_cast<std::size_t>(2 * panel)];
        const int bottom = frames[static_cast<std::size_t>(2 * panel + 1)];
        QVERIFY(bottom - top > 100);
        const QRect inside(QPoint(left + 1, top + 1), QPoint(right - 1, bottom - 1));
        QVERIFY2(countPixels(image, inside, simulated) > 20, qPrintable(QString::number(panel)));
        QVERIFY2(countPixels(image, inside, analogue) > 20, qPrintable(QString::number(panel)));
        // Nothing dark inside but the traces: the grid is light. (The level panel holds the notes
        // on the corner and the slope.)
        if (panel > 0) {
            QCOMPARE(countPixels(image, inside, dark), 0);
        }
        const QRect leftScale(QPoint(0, top - 6), QPoint(left - 2, bottom + 6));
        const QRect bottomScale(QPoint(left - 20, bottom + 2), QPoint(right + 20, bottom + 20));
        QVERIFY(countPixels(image, leftScale, dark) > 100);
        QVERIFY(countPixels(image, bottomScale, dark) > 20);
    }
    const QRect legend(QPoint(0, 0), QPoint(image.width() - 1, frames.front() - 2));
    QVERIFY(countPixels(image, legend, simulated) > 20);
    QVERIFY(countPixels(image, legend, analogue) > 20);
    QVERIFY(countPixels(image, legend, dark) > 100);
}

void TestRenderResponse::svgHoldsBothTraces_data()
{
    QTest::addColumn<QStringList>("grid");
    QTest::addColumn<QStringList>("picture");
    QTest::addColumn<int>("panels");
    QTest::addColumn<bool>("logarithmic");
    // A level axis that holds every level, so that no trace is cut.
    QTest::newRow("log, level and phase")
        << QStringList { "--points", "300" } << QStringList { "--range=-200:20" } << 2 << true;
    QTest::newRow("linear, with the group delay")
        << QStringList { "--linear", "--points", "300", "--from", "50" }
        << QStringList { "--labels", "--range", "-250:10" } << 3 << false;
}

// The SVG parses, and each trace is a polyline in its colour per panel whose points are the
// table's values: x an affine function of the (log) frequency, y of the value.
void TestRenderResponse::svgHoldsBothTraces()
{
    QFETCH(QStringList, grid);
    QFETCH(QStringList, picture);
    QFETCH(int, panels);
    QFETCH(bool, logarithmic);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("response.svg"));
    const RenderRun run = render(QStringList { "response", "--plot", path } + grid + picture);
    QCOMPARE(run.exitCode, 0);
    const RenderRun table = render(QStringList { "response", "--format", "csv" } + grid);
    QCOMPARE(table.exitCode, 0);
    const std::vector<std::vector<double>> rows = csvRows(table.out);
    QCOMPARE(rows.size(), std::size_t { 300 });

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<QString> strokes { QStringLiteral("none") };
    std::map<QString, std::vector<QPolygonF>> polylines;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QString stroke = xml.attributes().value(QStringLiteral("stroke")).toString();
            strokes.push_back(stroke.isEmpty() ? strokes.back() : stroke);
            if (xml.name() == QStringLiteral("polyline")) {
                QPolygonF points;
                const QString list = xml.attributes().value(QStringLiteral("points")).toString();
                for (const QString& pair : list.split(' ', Qt::SkipEmptyParts)) {
                    const QStringList xy = pair.split(',');
                    points.append(QPointF(xy.value(0).toDouble(), xy.value(1).toDouble()));
                }
                polylines[strokes.back()].push_back(points);
            }
        } else if (xml.isEndElement()) {
            strokes.pop_back();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(QSvgRenderer(path).isValid());

    // Simulated: level, phase, delay columns 1, 2, 3; analogue 4, 5, 6.
    const std::map<QString, int> firstColumn { { QStringLiteral("#c81e1e"), 1 },
        { QStringLiteral("#145ac8"), 4 } };
    for (const auto& [colour, first] : firstColumn) {
        const int column = first;
        const std::vector<QPolygonF>& traces = polylines[colour];
        QCOMPARE(static_cast<int>(traces.size()), panels);
        for (int panel = 0; panel < panels; ++panel) {
            const QPolygonF& trace = traces[static_cast<std::size_t>(panel)];
            QCOMPARE(trace.size(), qsizetype { 300 });
            const auto u
                = [&](std::size_t i) { return logarithmic ? std::log(rows[i][0]) : rows[i][0]; };
            const auto v
                = [&](std::size_t i) { return rows[i][static_cast<std::size_t>(column + panel)]; };
            // The affine maps through the first and last points; every point on them.
            const double sx = (trace.back().x() - trace.front().x()) / (u(299) - u(0));
            const double sy = (trace.back().y() - trace.front().y()) / (v(299) - v(0));
            QVERIFY(sx > 0);
            QVERIFY(sy < 0);
            for (std::size_t i = 0; i < 300; ++i) {
                const QPointF point = trace[static_cast<qsizetype>(i)];
                QVERIFY(std::fabs(point.x() - (trace.front().x() + sx * (u(i) - u(0)))) < 0.01);
                QVERIFY2(std::fabs(point.y() - (trace.front().y() + sy * (v(i) - v(0)))) < 0.01,
                    qPrintable(
                        QStringLiteral("%1, panel %2, point %3").arg(colour).arg(panel).arg(i)));
            }
        }
    }
}

void TestRenderResponse::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("mentions");
    QTest::newRow("no points") << QStringList { "--points", "0" } << QByteArray("--points");
    QTest::newRow("too many points")
        << QStringList { "--points", "1000001" } << QByteArray("--points");
    QTest::newRow("fractional points")
        << QStringList { "--points", "2.5" } << QByteArray("--points");
    QTest::newRow("rate too low") << QStringList { "--rate", "999" } << QByteArray("--rate");
    QTest::newRow("rate too high") << QStringList { "--rate", "1e8" } << QByteArray("--rate");
    QTest::newRow("rate not a number") << QStringList { "--rate", "fast" } << QByteArray("--rate");
    QTest::newRow("infinite rate") << QStringList { "--rate", "inf" } << QByteArray("--rate");
    QTest::newRow("--at 0") << QStringList { "--at", "0" } << QByteArray("--at");
    QTest::newRow("--at negative") << QStringList { "--at", "-5" } << QByteArray("--at");
    QTest::newRow("--at half the rate") << QStringList { "--at", "22050" } << QByteArray("--at");
    QTest::newRow("--at above the default rate's half")
        << QStringList { "--at", "1000", "--at", "30000" } << QByteArray("30000");
    QTest::newRow("--at NaN") << QStringList { "--at", "nan" } << QByteArray("--at");
    QTest::newRow("--at below a millihertz")
        << QStringList { "--at", "1e-4" } << QByteArray("--at");
    QTest::newRow("--at empty") << QStringList { "--at=" } << QByteArray("--at");
    QTest::newRow("--at with --from")
        << QStringList { "--at", "100", "--from", "10" } << QByteArray("--from");
    QTest::newRow("--at with --points")
        << QStringList { "--points", "3", "--at", "100" } << QByteArray("--points");
    QTest::newRow("--at with --linear")
        << QStringList { "--at", "100", "--linear" } << QByteArray("--linear");
    QTest::newRow("empty range") << QStringList { "--from", "100", "--to", "100" }
                                 << QByteArray("--from");
    QTest::newRow("reversed range")
        << QStringList { "--from", "2000", "--to", "100" } << QByteArray("--from");
    QTest::newRow("--to at half of --rate")
        << QStringList { "--rate", "8000", "--to", "4000" } << QByteArray("--to");
    QTest::newRow("default --to above half of --rate")
        << QStringList { "--rate", "32000" } << QByteArray("--to");
    QTest::newRow("--from with junk") << QStringList { "--from", "10Hz" } << QByteArray("--from");
    QTest::newRow("unknown format") << QStringList { "--format", "json" } << QByteArray("json");
    QTest::newRow("--labels without --plot")
        << QStringList { "--labels" } << QByteArray("--labels");
    QTest::newRow("--format with --plot")
        << QStringList { "--plot", "OUT.png", "--format", "csv" } << QByteArray("--format");
    QTest::newRow("jpeg") << QStringList { "--plot", "OUT.jpg" } << QByteArray("OUT.jpg");
    QTest::newRow("no extension") << QStringList { "--plot", "OUT" } << QByteArray("--plot");
    QTest::newRow("missing folder")
        << QStringList { "--plot", "MISSING/OUT.svg" } << QByteArray("MISSING/OUT.svg");
    QTest::newRow("plot with a bad grid")
        << QStringList { "--plot", "OUT.png", "--points", "-1" } << QByteArray("--points");
    QTest::newRow("--range without --plot")
        << QStringList { "--range=-80:10" } << QByteArray("--range");
    QTest::newRow("--range reversed")
        << QStringList { "--plot", "OUT.png", "--range=10:-80" } << QByteArray("--range");
    QTest::newRow("--range empty")
        << QStringList { "--plot", "OUT.png", "--range", "5:5" } << QByteArray("--range");
    QTest::newRow("--range without a colon")
        << QStringList { "--plot", "OUT.svg", "--range", "80" } << QByteArray("--range");
    QTest::newRow("--range not numbers")
        << QStringList { "--plot", "OUT.svg", "--range", "low:high" } << QByteArray("--range");
    QTest::newRow("--range infinite")
        << QStringList { "--plot", "OUT.svg", "--range=-inf:0" } << QByteArray("--range");
    QTest::newRow("--title without --plot")
        << QStringList { "--title", "A low-pass" } << QByteArray("--title");
    QTest::newRow("unknown option") << QStringList { "--size", "10x10" } << QByteArray("--size");
    QTest::newRow("stray argument") << QStringList { "1000" } << QByteArray("1000");
}

// One line on stderr, exit status 2, nothing on stdout and no file.
void TestRenderResponse::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out")));
        argument.replace(QStringLiteral("MISSING"), dir.filePath(QStringLiteral("missing")));
    }
    mentions.replace("OUT", dir.filePath(QStringLiteral("out")).toUtf8());
    mentions.replace("MISSING", dir.filePath(QStringLiteral("missing")).toUtf8());
    const RenderRun run = render(QStringList { "response" } + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.startsWith("vorn-render response: "));
    QVERIFY2(run.err.contains(mentions), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestRenderResponse::helpDescribesIt()
{
    const RenderRun help = render({ "--help" });
    QCOMPARE(help.exitCode, 0);
    for (const char* text : { "vorn-render response", "--plot", "--at HZ", "--input sweep",
             "--linear", "group delay" }) {
        QVERIFY2(help.out.contains(text), text);
    }
}

QTEST_MAIN(TestRenderResponse)
#include "tst_renderresponse.moc"

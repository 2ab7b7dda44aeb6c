// The renderer's figures read back from their SVG: the response's corner, slope, level axis and
// title; the pole-zero figure's enlargements and counts; the step figure's marks against
// metrics' numbers; and the style they share.
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <set>
#include <vector>

#include "renderprocess.h"
#include "svgfigure.h"

namespace {

using Complex = std::complex<double>;

const QString kFrame = QStringLiteral("#6e6e6e");
const QString kAnalogue = QStringLiteral("#145ac8");
const QString kPole = QStringLiteral("#c81e1e");
const QString kNote = QStringLiteral("#3c3c3c");

// The figure that `arguments` (a command and its options) write with --plot.
SvgFigure figureOf(const QStringList& arguments, const QString& name = QStringLiteral("f.svg"))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const RenderRun run = render(arguments + QStringList { "--plot", path });
    return run.exitCode == 0 ? readSvgFigure(path) : SvgFigure {};
}

std::vector<std::vector<double>> csv(const QStringList& arguments)
{
    std::vector<std::vector<double>> rows;
    const RenderRun run = render(QStringList { "response", "--format", "csv" } + arguments);
    for (const QByteArray& line : run.out.trimmed().split('\n').mid(1)) {
        std::vector<double> row;
        for (const QByteArray& field : line.split(',')) {
            row.push_back(field.toDouble());
        }
        rows.push_back(row);
    }
    return rows;
}

// The panels' frames, top to bottom.
std::vector<QRectF> frames(const SvgFigure& figure)
{
    std::vector<QRectF> found;
    for (const SvgItem& item : figure.of(QStringLiteral("rect"), kFrame)) {
        found.push_back(item.rect);
    }
    std::sort(found.begin(), found.end(), [](const QRectF& a, const QRectF& b) {
        return a.top() < b.top() || (a.top() == b.top() && a.left() < b.left());
    });
    return found;
}

// A panel's scale read as a reader reads it, pixel = offset + slope * value: its tick marks
// outside the frame paired in order with the numbers written at them; the fit's worst miss.
struct AxisMap
{
    double offset = 0;
    double slope = 0;
    double miss = HUGE_VAL;
    [[nodiscard]] double at(double value) const { return offset + slope * value; }
    [[nodiscard]] double value(double pixel) const { return (pixel - offset) / slope; }
};

AxisMap readAxis(const SvgFigure& figure, const QRectF& frame, bool vertical)
{
    std::vector<double> ticks;
    for (const SvgItem& tick : figure.of(QStringLiteral("polyline"), kFrame)) {
        const QPointF a = tick.points.value(0);
        const QPointF b = tick.points.value(1);
        if (!vertical && a.x() == b.x() && a.y() > frame.bottom() && a.y() < frame.bottom() + 10
            && a.x() >= frame.left() - 1 && a.x() <= frame.right() + 1) {
            ticks.push_back(a.x());
        } else if (vertical && a.y() == b.y() && a.x() < frame.left() && a.x() > frame.left() - 10
            && a.y() >= frame.top() - 1 && a.y() <= frame.bottom() + 1) {
            ticks.push_back(a.y());
        }
    }
    std::vector<std::pair<double, double>> labels; // position, value
    for (const SvgItem& text : figure.of(QStringLiteral("text"))) {
        bool ok = false;
        const double value = figureNumber(text.text, &ok);
        // Below the ticks: under the lowest of the y scale's labels, which is centred on a tick.
        if (ok && !vertical && text.at.y() > frame.bottom() + 12
            && text.at.y() < frame.bottom() + 40 && text.angle == 0) {
            labels.emplace_back(text.at.x(), value);
        } else if (ok && vertical && text.at.x() < frame.left() && text.at.x() > frame.left() - 120
            && text.at.y() > frame.top() - 15 && text.at.y() < frame.bottom() + 15) {
            labels.emplace_back(text.at.y(), value);
        }
    }
    std::sort(ticks.begin(), ticks.end());
    std::sort(labels.begin(), labels.end());
    AxisMap map;
    if (ticks.size() < 2 || ticks.size() != labels.size()) {
        return map;
    }
    const double n = static_cast<double>(ticks.size());
    double sv = 0, sp = 0, svv = 0, svp = 0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        sv += labels[i].second;
        sp += ticks[i];
        svv += labels[i].second * labels[i].second;
        svp += labels[i].second * ticks[i];
    }
    map.slope = (n * svp - sv * sp) / (n * svv - sv * sv);
    map.offset = (sp - map.slope * sv) / n;
    map.miss = 0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        map.miss = std::max(map.miss, std::fabs(map.at(labels[i].second) - ticks[i]));
    }
    return map;
}

// The analogue level curve's pieces inside the level panel (the first frame).
std::vector<QPolygonF> levelCurve(const SvgFigure& figure)
{
    std::vector<QPolygonF> pieces;
    const QRectF level = frames(figure).front().adjusted(-1, -1, 1, 1);
    for (const SvgItem& line : figure.of(QStringLiteral("polyline"), kAnalogue)) {
        if (line.points.size() > 1 && level.contains(line.points.front())) {
            pieces.push_back(line.points);
        }
    }
    return pieces;
}

double distanceToCurve(const std::vector<QPolygonF>& pieces, QPointF point)
{
    double best = HUGE_VAL;
    for (const QPolygonF& piece : pieces) {
        best = std::min(best, distanceToLine(piece, point));
    }
    return best;
}

// The places of a plane from the poles list, each value once with how many roots lie there: the
// s-plane in rad/s, the z-plane.
struct Place
{
    Complex value;
    bool pole = false;
    int count = 1;
};

std::vector<Place> places(const QStringList& design, bool discrete)
{
    std::vector<Place> found;
    const RenderRun run = render(QStringList { "poles" } + design);
    for (const QByteArray& line : run.out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 5 || f[0] != (discrete ? "discrete" : "analogue")) {
            continue;
        }
        const Complex value = discrete
            ? std::polar(f[3].toDouble(), f[4].toDouble())
            : Complex(f[3].toDouble(), f[4].toDouble()) * (2 * std::numbers::pi);
        const bool pole = f[1] == "pole";
        const auto same = std::find_if(found.begin(), found.end(), [&](const Place& place) {
            return place.pole == pole
                && std::abs(place.value - value) <= 1e-9 * std::max(1.0, std::abs(value));
        });
        if (same != found.end()) {
            ++same->count;
        } else {
            found.push_back({ value, pole });
        }
    }
    return found;
}

// The marks of the pole-zero figure: each x's centre (its two strokes cross there) and each o's.
struct Mark
{
    QPointF at;
    bool pole = false;
};

std::vector<Mark> marks(const SvgFigure& figure, double& markerWidth)
{
    std::vector<Mark> found;
    for (const SvgItem& zero : figure.of(QStringLiteral("circle"), kAnalogue)) {
        found.push_back({ zero.centre, false });
        markerWidth = 2 * zero.radius;
    }
    for (const SvgItem& stroke : figure.of(QStringLiteral("polyline"), kPole)) {
        const QPointF centre = (stroke.points.value(0) + stroke.points.value(1)) / 2;
        if (std::none_of(found.begin(), found.end(),
                [&](const Mark& m) { return m.pole && QLineF(m.at, centre).length() < 0.01; })) {
            found.push_back({ centre, true });
        }
    }
    return found;
}

// metrics' analogue column, by quantity.
std::map<QByteArray, double> analogueMetrics(const QStringList& design)
{
    std::map<QByteArray, double> values;
    for (const QByteArray& line : render(QStringList { "metrics" } + design).out.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() == 3 && !line.startsWith('#')) {
            values[f[0]] = f[2].toDouble();
        }
    }
    return values;
}

bool hasText(const SvgFigure& figure, const QString& text)
{
    const std::vector<QString> texts = figure.texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

class TestRenderFigures : public QObject
{
    Q_OBJECT

private slots:
    void cornerIsMarked_data();
    void cornerIsMarked();
    void slopeIsWritten_data();
    void slopeIsWritten();
    void levelAxis_data();
    void levelAxis();
    void title_data();
    void title();
    void marksApartInSomePanel_data();
    void marksApartInSomePanel();
    void coincidentRootsCounted_data();
    void coincidentRootsCounted();
    void stepMarksAreTheMetrics_data();
    void stepMarksAreTheMetrics();
    void oneStyle_data();
    void oneStyle();
};

void TestRenderFigures::cornerIsMarked_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("db");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("where");
    // |H|^2 = 1 / (1 + 1) at a Butterworth's corner; the others by their definitions.
    QTest::newRow("the window's chain") << QStringList {} << 1000.0 << -3.0103 << "−3 dB corner"
                                        << "1.00 kHz, −3.01 dB";
    QTest::newRow("a high-pass") << QStringList { "--order", "4", "--shape", "highpass" } << 1000.0
                                 << -3.0103 << "−3 dB corner"
                                 << "1.00 kHz, −3.01 dB";
    QTest::newRow("Chebyshev I") << QStringList { "--type", "chebyshev1", "--ripple", "3",
        "--order", "5" } << 1000.0
                                 << -3.0 << "pass-band edge"
                                 << "1.00 kHz, −3.00 dB";
    QTest::newRow("Chebyshev II") << QStringList { "--type", "chebyshev2", "--order", "5",
        "--stopband", "40", "--corner", "2000" }
                                  << 2000.0 << -40.0 << "stop-band edge"
                                  << "2.00 kHz, −40.0 dB";
    QTest::newRow("elliptic") << QStringList { "--type", "elliptic", "--order", "4", "--corner",
        "500" } << 500.0 << -1.0
                              << "pass-band edge"
                              << "500 Hz, −1.00 dB";
}

// The dot lies on the analogue curve at the corner's frequency and level, within a pixel, with
// what it is and where written beside it. The curve's scale comes from the table: its points are
// the rows', on a log frequency axis.
void TestRenderFigures::cornerIsMarked()
{
    QFETCH(QStringList, design);
    QFETCH(double, hz);
    QFETCH(double, db);
    QFETCH(QString, what);
    QFETCH(QString, where);
    const std::vector<std::vector<double>> rows = csv(design);
    double lowest = 0;
    for (const std::vector<double>& row : rows) {
        lowest = std::min(lowest, row[4]);
    }
    // A level axis that holds the whole analogue curve, in one piece.
    const QString range = QStringLiteral("--range=%1:20").arg(std::floor(lowest) - 10);
    const SvgFigure figure = figureOf(QStringList { "response", range } + design);
    QVERIFY(figure.ok);
    const std::vector<QPolygonF> curve = levelCurve(figure);
    QCOMPARE(curve.size(), std::size_t { 1 });
    const QPolygonF& line = curve.front();
    QCOMPARE(static_cast<std::size_t>(line.size()), rows.size());
    const double sx
        = (line.back().x() - line.front().x()) / std::log(rows.back()[0] / rows.front()[0]);
    const double sy = (line.back().y() - line.front().y()) / (rows.back()[4] - rows.front()[4]);
    const QPointF expected(line.front().x() + sx * std::log(hz / rows.front()[0]),
        line.front().y() + sy * (db - rows.front()[4]));

    const std::vector<SvgItem> dots = figure.of(QStringLiteral("circle"), {}, kAnalogue);
    QCOMPARE(dots.size(), std::size_t { 1 });
    const QPointF dot = dots.front().centre;
    QVERIFY2(QLineF(dot, expected).length() <= 1,
        qPrintable(QStringLiteral("(%1, %2) instead of (%3, %4)")
                       .arg(dot.x())
                       .arg(dot.y())
                       .arg(expected.x())
                       .arg(expected.y())));
    QVERIFY(distanceToLine(line, dot) <= 1);
    for (const QString& text : { what, where }) {
        const auto item = std::find_if(figure.items.begin(), figure.items.end(),
            [&](const SvgItem& i) { return i.element == "text" && i.text == text; });
        QVERIFY2(item != figure.items.end(), qPrintable(text));
        QVERIFY(std::fabs(item->at.y() - dot.y()) < 80);
        QVERIFY(std::fabs(item->at.x() - dot.x()) < 300);
    }
}

void TestRenderFigures::slopeIsWritten_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("octaveFrom"); // 0: a stop band that levels off
    QTest::newRow("the window's chain, 6th order") << QStringList {} << "−36 dB/octave" << 8000.0;
    QTest::newRow("2nd order") << QStringList { "--order", "2" } << "−12 dB/octave" << 8000.0;
    QTest::newRow("a 4th-order high-pass")
        << QStringList { "--order", "4", "--shape", "highpass" } << "+24 dB/octave" << 20.0;
    QTest::newRow("Chebyshev II, even order")
        << QStringList { "--type", "chebyshev2", "--order", "4" } << "stop band −60 dB" << 0.0;
    QTest::newRow("elliptic, odd order") << QStringList { "--type", "elliptic", "--order", "5" }
                                         << "stop band −60 dB, then −6 dB/octave" << 0.0;
}

// The slope's number is the analogue level's fall over an octave far into the stop band, from
// the table; its text starts on the analogue curve and runs along it. A stop band that levels off
// has its level written above a dashed line at that level.
void TestRenderFigures::slopeIsWritten()
{
    QFETCH(QStringList, design);
    QFETCH(QString, text);
    QFETCH(double, octaveFrom);
    const SvgFigure figure = figureOf(QStringList { "response" } + design);
    QVERIFY(figure.ok);
    const std::vector<SvgItem> texts = figure.of(QStringLiteral("text"));
    const auto item = std::find_if(
        texts.begin(), texts.end(), [&](const SvgItem& i) { return i.text == text; });
    QVERIFY2(item != texts.end(), qPrintable(text));
    QCOMPARE(std::count_if(texts.begin(), texts.end(),
                 [](const SvgItem& i) { return i.text.contains("dB/octave"); }),
        text.contains("dB/octave") ? 1 : 0);
    const std::vector<QPolygonF> curve = levelCurve(figure);
    if (octaveFrom > 0) {
        const std::vector<std::vector<double>> rows = csv(design
            + QStringList {
                "--at", QString::number(octaveFrom), "--at", QString::number(2 * octaveFrom) });
        bool ok = false;
        const double written = figureNumber(text.section(' ', 0, 0), &ok);
        QVERIFY(ok);
        QCOMPARE(written, std::round(rows[1][4] - rows[0][4]));
        QVERIFY(distanceToCurve(curve, item->origin) <= 1.5);
        // The curve's direction where the text stands on it.
        double best = HUGE_VAL;
        double direction = 0;
        for (const QPolygonF& piece : curve) {
            for (qsizetype i = 1; i < piece.size(); ++i) {
                const double d = distanceToLine({ piece[i - 1], piece[i] }, item->origin);
                if (d < best) {
                    best = d;
                    direction = std::atan2(piece[i].y() - piece[i - 1].y(),
                                    piece[i].x() - piece[i - 1].x())
                        * 180 / std::numbers::pi;
                }
            }
        }
        QVERIFY2(std::fabs(item->angle - direction) < 3,
            qPrintable(QStringLiteral("%1 along a curve at %2").arg(item->angle).arg(direction)));
        return;
    }
    QCOMPARE(item->angle, 0.0);
    const QRectF level = frames(figure).front();
    const AxisMap y = readAxis(figure, level, true);
    QVERIFY(y.miss < 0.5);
    const std::vector<SvgItem> dashed = figure.of(QStringLiteral("polyline"), kNote);
    const auto floor = std::find_if(dashed.begin(), dashed.end(), [&](const SvgItem& i) {
        return i.dashed && level.contains(i.points.value(0))
            && i.points.value(0).y() == i.points.value(1).y();
    });
    QVERIFY(floor != dashed.end());
    QVERIFY(std::fabs(y.value(floor->points.value(0).y()) - -60) < 0.01);
    QVERIFY(item->at.y() < floor->points.value(0).y());
    QVERIFY(item->at.y() > floor->points.value(0).y() - 30);
}

void TestRenderFigures::levelAxis_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");
    QTest::newRow("--range") << QStringList { "--range=-80:10" } << 10.0 << -80.0;
    QTest::newRow("--range, not on a tick")
        << QStringList { "--range", "-45.5:3", "--order", "3" } << 3.0 << -45.5;
    // By default from the 10 dB step above the highest level, at most 100 dB deep.
    QTest::newRow("10th order, cut at 100 dB") << QStringList { "--order", "10" } << 10.0 << -90.0;
    QTest::newRow("a shallow curve, to its lowest level")
        << QStringList { "--order", "2", "--to", "2000" } << 10.0 << -20.0;
    QTest::newRow("a deep stop band, 20 dB below it") << QStringList { "--type", "elliptic",
        "--order", "6", "--stopband", "100" } << 10.0 << -120.0;
}

// The level panel's frame spans the range, read off its own scale; no curve leaves it.
void TestRenderFigures::levelAxis()
{
    QFETCH(QStringList, arguments);
    QFETCH(double, top);
    QFETCH(double, bottom);
    const SvgFigure figure = figureOf(QStringList { "response" } + arguments);
    QVERIFY(figure.ok);
    const QRectF level = frames(figure).front();
    const AxisMap y = readAxis(figure, level, true);
    QVERIFY(y.miss < 0.5);
    QVERIFY(std::fabs(y.value(level.top()) - top) < 0.01);
    QVERIFY(std::fabs(y.value(level.bottom()) - bottom) < 0.01);
    for (const SvgItem& line : figure.of(QStringLiteral("polyline"))) {
        if (line.stroke != kAnalogue && line.stroke != kPole) {
            continue;
        }
        if (level.contains(line.points.value(0))) {
            for (const QPointF& point : line.points) {
                QVERIFY(level.adjusted(-0.01, -0.01, 0.01, 0.01).contains(point));
            }
        }
    }
}

void TestRenderFigures::title_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("legend");
    QTest::newRow("the window's chain")
        << QStringList {} << "6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass"
        << QStringList { "simulated at 44100 Hz", "analogue prototype" };
    QTest::newRow("a design") << QStringList { "--type", "chebyshev1", "--ripple", "0.5", "--order",
        "4", "--corner", "2000" }
                              << "4th-order 2 kHz Chebyshev I (0.5 dB) low-pass + 1 Hz DC block"
                              << QStringList {};
    QTest::newRow("--title") << QStringList { "--title", "Figure 3: a low-pass" }
                             << "Figure 3: a low-pass" << QStringList {};
    QTest::newRow("two designs: what they share, and each apart")
        << QStringList { "--order", "2,4" }
        << "2 designs: 1 kHz Butterworth low-pass + 1 Hz DC block"
        << QStringList { "2nd-order, −12 dB/octave", "4th-order, −24 dB/octave" };
}

// The title is the one line in the title's size; the legend's entries are there.
void TestRenderFigures::title()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, title);
    QFETCH(QStringList, legend);
    const SvgFigure figure = figureOf(QStringList { "response" } + arguments);
    QVERIFY(figure.ok);
    QStringList large;
    for (const SvgItem& text : figure.of(QStringLiteral("text"))) {
        if (text.fontSize == 24) {
            large << text.text;
        }
    }
    QCOMPARE(large, QStringList { title });
    for (const QString& entry : legend) {
        QVERIFY2(hasText(figure, entry), qPrintable(entry));
    }
}

void TestRenderFigures::marksApartInSomePanel_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::newRow("the window's chain at 44.1 kHz") << QStringList {};
    QTest::newRow("a high-pass") << QStringList { "--shape", "highpass" };
    QTest::newRow("8th order at 200 Hz") << QStringList { "--order", "8", "--corner", "200" };
}

// Every panel's marks are the listed places of one plane under one scale (found from its two
// farthest marks); every place is, in some panel, at least a marker's width from every other
// place that panel shows.
void TestRenderFigures::marksApartInSomePanel()
{
    QFETCH(QStringList, design);
    const SvgFigure figure = figureOf(QStringList { "poles" } + design);
    QVERIFY(figure.ok);
    double markerWidth = 0;
    const std::vector<Mark> all = marks(figure, markerWidth);
    QVERIFY(markerWidth >= 12);
    const std::vector<QRectF> panels = frames(figure);
    QVERIFY(panels.size() > 2);
    const std::vector<Place> planes[2] = { places(design, false), places(design, true) };
    std::vector<std::vector<bool>> apart { std::vector<bool>(planes[0].size()),
        std::vector<bool>(planes[1].size()) };
    for (const QRectF& panel : panels) {
        std::vector<Mark> inside;
        std::copy_if(all.begin(), all.end(), std::back_inserter(inside),
            [&](const Mark& m) { return panel.contains(m.at); });
        QVERIFY(inside.size() >= 2);
        std::size_t a = 0, b = 1;
        for (std::size_t i = 0; i < inside.size(); ++i) {
            for (std::size_t j = i + 1; j < inside.size(); ++j) {
                if (QLineF(inside[i].at, inside[j].at).length()
                    > QLineF(inside[a].at, inside[b].at).length()) {
                    a = i;
                    b = j;
                }
            }
        }
        // Which plane, as the x axis's title under the panel says.
        const std::vector<SvgItem> texts = figure.of(QStringLiteral("text"));
        const auto title = std::find_if(texts.begin(), texts.end(), [&](const SvgItem& t) {
            return t.at.y() > panel.bottom() && t.at.y() < panel.bottom() + 80
                && t.at.x() > panel.left() && t.at.x() < panel.right()
                && (t.text.startsWith("Re z") || t.text.startsWith(QChar(0x3c3)));
        });
        QVERIFY(title != texts.end());
        const std::size_t plane = title->text.startsWith("Re z") ? 1 : 0;
        bool fitted = false;
        {
            for (const Place& p : planes[plane]) {
                for (const Place& q : planes[plane]) {
                    if (fitted || p.pole != inside[a].pole || q.pole != inside[b].pole
                        || p.value == q.value) {
                        continue;
                    }
                    const Complex d = q.value - p.value;
                    const QPointF span = inside[b].at - inside[a].at;
                    const double k = std::fabs(d.real()) > std::fabs(d.imag())
                        ? span.x() / d.real()
                        : -span.y() / d.imag();
                    const auto map = [&](Complex v) {
                        return inside[a].at
                            + QPointF(k * (v - p.value).real(), -k * (v - p.value).imag());
                    };
                    fitted = k > 0 && std::all_of(inside.begin(), inside.end(), [&](const Mark& m) {
                        return std::any_of(
                            planes[plane].begin(), planes[plane].end(), [&](const Place& r) {
                                return r.pole == m.pole && QLineF(map(r.value), m.at).length() < 1;
                            });
                    });
                    if (!fitted) {
                        continue;
                    }
                    for (std::size_t i = 0; i < planes[plane].size(); ++i) {
                        const QPointF at = map(planes[plane][i].value);
                        if (!panel.contains(at)) {
                            continue;
                        }
                        apart[plane][i] = apart[plane][i]
                            || std::all_of(
                                planes[plane].begin(), planes[plane].end(), [&](const Place& r) {
                                    const QPointF other = map(r.value);
                                    return &r == &planes[plane][i] || !panel.contains(other)
                                        || QLineF(at, other).length() >= markerWidth;
                                });
                    }
                }
            }
        }
        QVERIFY2(fitted,
            qPrintable(QStringLiteral("panel at (%1, %2)").arg(panel.left()).arg(panel.top())));
    }
    for (std::size_t plane = 0; plane < 2; ++plane) {
        for (std::size_t i = 0; i < planes[plane].size(); ++i) {
            QVERIFY2(apart[plane][i],
                qPrintable(QStringLiteral("%1 %2 at %3%4%5j")
                               .arg(plane ? "z-plane" : "s-plane")
                               .arg(planes[plane][i].pole ? "pole" : "zero")
                               .arg(planes[plane][i].value.real())
                               .arg(planes[plane][i].value.imag() < 0 ? "" : "+")
                               .arg(planes[plane][i].value.imag())));
        }
    }
}

void TestRenderFigures::coincidentRootsCounted_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::newRow("the window's chain: three zeros at z = 0") << QStringList {};
    QTest::newRow("a high-pass: seven zeros at s = 0, two at z = 1")
        << QStringList { "--shape", "highpass" };
    QTest::newRow("without a DC block: six at s = 0")
        << QStringList { "--shape", "highpass", "--dc-block", "off" };
}

// "(n)" stands beside a mark of its colour for each place where n > 1 roots lie, counted from
// the list; the legend says what it means.
void TestRenderFigures::coincidentRootsCounted()
{
    QFETCH(QStringList, design);
    const SvgFigure figure = figureOf(QStringList { "poles" } + design);
    QVERIFY(figure.ok);
    std::multiset<int> expected;
    for (const bool discrete : { false, true }) {
        for (const Place& place : places(design, discrete)) {
            if (place.count > 1) {
                expected.insert(place.count);
            }
        }
    }
    QVERIFY(!expected.empty());
    double markerWidth = 0;
    const std::vector<Mark> all = marks(figure, markerWidth);
    std::multiset<int> written;
    const QRegularExpression count(QStringLiteral("^\\((\\d+)\\)$"));
    for (const SvgItem& text : figure.of(QStringLiteral("text"))) {
        const auto match = count.match(text.text);
        if (!match.hasMatch()) {
            continue;
        }
        written.insert(match.captured(1).toInt());
        const bool pole = text.fill == kPole;
        QVERIFY(std::any_of(all.begin(), all.end(), [&](const Mark& m) {
            return m.pole == pole && QLineF(m.at, text.at).length() < markerWidth * 1.5;
        }));
    }
    QCOMPARE(written, expected);
    QVERIFY(hasText(figure, "(n): n of them at one place"));
}

void TestRenderFigures::stepMarksAreTheMetrics_data()
{
    QTest::addColumn<QStringList>("design");
    QTest::addColumn<QString>("says");
    QTest::newRow("the window's chain")
        << QStringList {} << "Step response of the low-pass, before the 1 Hz high-pass";
    QTest::newRow("Chebyshev I") << QStringList { "--type", "chebyshev1", "--order", "4" }
                                 << "Step response, before the DC block";
    QTest::newRow("a high-pass, its complement")
        << QStringList { "--shape", "highpass", "--order", "4" }
        << "Complement of the step response (the gain at high frequencies minus it), before the "
           "DC block";
    QTest::newRow("Bessel at 8 kHz, without a DC block")
        << QStringList { "--type", "bessel", "--order", "3", "--rate", "8000", "--dc-block", "off" }
        << "Step response";
}

// Read off the figure's own scales: the 10 % and 90 % lines end at crossings of the analogue
// curve rise_time_ms apart, the dot is at the peak (peak_time_ms, 100 + overshoot_percent), the
// band spans 98 to 102 % and the settling line stands at settling_time_ms; the texts say the same.
void TestRenderFigures::stepMarksAreTheMetrics()
{
    QFETCH(QStringList, design);
    QFETCH(QString, says);
    std::map<QByteArray, double> m = analogueMetrics(design);
    const SvgFigure figure = figureOf(QStringList { "metrics" } + design);
    QVERIFY(figure.ok);
    QVERIFY(hasText(figure, says));
    const std::vector<QRectF> panels = frames(figure);
    QCOMPARE(panels.size(), std::size_t { 1 });
    const QRectF panel = panels.front();
    const AxisMap x = readAxis(figure, panel, false);
    const AxisMap y = readAxis(figure, panel, true);
    QVERIFY(x.miss < 0.5 && y.miss < 0.5);
    const auto near = [](double a, double b) { return std::fabs(a - b) <= 1; };

    std::vector<QPointF> levelEnds;
    double settling = NAN;
    for (const SvgItem& line : figure.of(QStringLiteral("polyline"), kNote)) {
        const QPointF a = line.points.value(0);
        const QPointF b = line.points.value(1);
        if (line.dashed && a.y() == b.y() && a.x() == panel.left()) {
            levelEnds.push_back(b);
        } else if (line.dashed && a.x() == b.x() && b.y() == panel.bottom()) {
            settling = a.x();
        }
    }
    QCOMPARE(levelEnds.size(), std::size_t { 2 });
    std::sort(
        levelEnds.begin(), levelEnds.end(), [](QPointF a, QPointF b) { return a.y() > b.y(); });
    QVERIFY(near(levelEnds[0].y(), y.at(10)));
    QVERIFY(near(levelEnds[1].y(), y.at(90)));
    QVERIFY(std::fabs(x.value(levelEnds[1].x()) - x.value(levelEnds[0].x()) - m["rise_time_ms"])
        <= 1 / x.slope);
    const std::vector<QPolygonF> curve {
        figure.of(QStringLiteral("polyline"), kAnalogue).front().points
    };
    for (const QPointF& end : levelEnds) {
        QVERIFY(distanceToCurve(curve, end) <= 1);
    }
    const std::vector<SvgItem> dots = figure.of(QStringLiteral("circle"), {}, kAnalogue);
    QCOMPARE(dots.size(), std::size_t { 1 });
    QVERIFY(near(dots.front().centre.x(), x.at(m["peak_time_ms"])));
    QVERIFY(near(dots.front().centre.y(), y.at(100 + m["overshoot_percent"])));
    QVERIFY(near(settling, x.at(m["settling_time_ms"])));
    const std::vector<SvgItem> band = figure.of(QStringLiteral("rect"), {}, "#deecd6");
    QCOMPARE(band.size(), std::size_t { 1 });
    QVERIFY(near(band.front().rect.top(), y.at(102)));
    QVERIFY(near(band.front().rect.bottom(), y.at(98)));

    // Three significant digits, trailing zeros kept ("0.210").
    const auto three = [](double value) {
        return QString::number(
            value, 'f', std::max(0, 2 - static_cast<int>(std::floor(std::log10(value)))));
    };
    QVERIFY(hasText(figure, "rise time " + three(m["rise_time_ms"]) + " ms"));
    QVERIFY(hasText(figure, "peak at " + three(m["peak_time_ms"]) + " ms"));
    QVERIFY(hasText(figure, three(m["settling_time_ms"]) + " ms"));
    const auto overshoot = std::find_if(figure.items.begin(), figure.items.end(),
        [](const SvgItem& i) { return i.text.startsWith("overshoot "); });
    QVERIFY(overshoot != figure.items.end());
    QVERIFY(std::fabs(overshoot->text.section(' ', 1, 1).toDouble() - m["overshoot_percent"])
        <= 0.005 * m["overshoot_percent"]);
}

void TestRenderFigures::oneStyle_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("smallest"); // pixels
    QTest::newRow("response") << QStringList { "response", "--labels" } << 20;
    QTest::newRow("designs compared") << QStringList { "response", "--order", "2,4,6,8,10",
        "--type", "butterworth", "--shape", "lowpass" }
                                      << 20;
    QTest::newRow("poles") << QStringList { "poles" } << 20;
    QTest::newRow("metrics") << QStringList { "metrics", "--shape", "highpass" } << 20;
}

// Every text in DejaVu Sans, at least 20 px on a figure at most 1340 wide (a 67th of it), every
// character one the font has; the PNG is the SVG's size.
void TestRenderFigures::oneStyle()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, smallest);
    const SvgFigure figure = figureOf(arguments);
    QVERIFY(figure.ok);
    QVERIFY(figure.viewBox.width() >= 1200 && figure.viewBox.width() <= 1340);
    const QFont font(QStringLiteral("DejaVu Sans"));
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    const QFontMetricsF metrics(font);
    int texts = 0;
    for (const SvgItem& text : figure.of(QStringLiteral("text"))) {
        if (text.text.trimmed().isEmpty()) {
            continue;
        }
        ++texts;
        QCOMPARE(text.fontFamily, QStringLiteral("DejaVu Sans"));
        QVERIFY2(text.fontSize >= smallest, qPrintable(text.text));
        for (const char32_t c : text.text.toUcs4()) {
            QVERIFY2(metrics.inFontUcs4(c), qPrintable(text.text));
        }
    }
    QVERIFY(texts > 10);
    QTemporaryDir dir;
    const QString png = dir.filePath("f.png");
    QCOMPARE(render(arguments + QStringList { "--plot", png }).exitCode, 0);
    QCOMPARE(QImage(png).size(), figure.viewBox.size().toSize());
}

QTEST_MAIN(TestRenderFigures)
#include "tst_renderfigures.moc"

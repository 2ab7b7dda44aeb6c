// The plot in a real view window: Draw paints at once, a repaint replays the recorded points at
// the current size, Settings and the frequency-response command are driven through their real
// dialog and message box, and the commands combine as a user would combine them. Every picture
// is compared with the same plot drawn on its own into an image of the same size.
#include "modalscript.h"
#include "plotcanvas.h"
#include "resources.h"
#include "vornview.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace vorn;

namespace {

std::unique_ptr<CVornView> showView(QSize client)
{
    auto view = std::make_unique<CVornView>();
    view->resize(client + QSize(40, 40));
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get())) {
        return nullptr;
    }
    view->resize(client + (view->size() - view->viewport()->size()));
    QCoreApplication::processEvents();
    return view;
}

// What the window shows, in 32-bit RGB at device resolution.
QImage grabShown(CVornView& view)
{
    QImage image = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return image;
}

// An image the size of the view's client area at its pixel ratio, drawn on its own.
QImage blank(const CVornView& view)
{
    const qreal ratio = view.viewport()->devicePixelRatioF();
    QImage image((QSizeF(view.viewport()->size()) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

QImage referenceDraw(const CVornView& view, CVornSimulation& simulation)
{
    QImage image = blank(view);
    CImageTarget target(image);
    std::vector<CPoint> points;
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, points);
    return image;
}

QImage referenceRepaint(const CVornView& view, const std::vector<CPoint>& points)
{
    QImage image = blank(view);
    CImageTarget target(image);
    PaintRecordedTrace(target, points);
    return image;
}

bool sameImage(const QImage& a, const QImage& b)
{
    return a.size() == b.size()
        && a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

// The view's simulation state as a whole, to see that something changed nothing.
struct Snapshot
{
    FilterState filter;
    SampleBlock block0;
    std::int32_t input;
    double frequency;
    std::int32_t mode;
    std::vector<CPoint> points;
    bool operator==(const Snapshot&) const = default;
};

Snapshot take(const CVornView& view)
{
    return { view.m_filter, view.m_samples[0], view.m_nInput, view.m_dFreq, view.m_bFreqMode,
        view.m_points };
}

ModalScript::Step onSettingsDialog(std::function<void(QWidget*)> act, int buttonId)
{
    return [act = std::move(act), buttonId](QWidget* widget) {
        if (widget->windowTitle() != QStringLiteral("設定Dialog")) {
            return false;
        }
        act(widget);
        const QList<QPushButton*> buttons = widget->findChildren<QPushButton*>();
        const QString text = buttonId == IDOK ? QStringLiteral("OK") : QStringLiteral("キャンセル");
        for (QPushButton* button : buttons) {
            if (button->text() == text) {
                ModalScript::press(button);
            }
        }
        return true;
    };
}

QRadioButton* radioNamed(QWidget* dialog, const QString& text)
{
    for (QRadioButton* radio : dialog->findChildren<QRadioButton*>()) {
        if (radio->text() == text) {
            return radio;
        }
    }
    return nullptr;
}

// The frequency-response command through its message box; `whileOpen` runs before OK is pressed.
bool runFrequencyResponse(
    CVornView& view, std::function<void(QMessageBox*)> whileOpen = [](QMessageBox*) {})
{
    ModalScript script({ ModalScript::acceptMessageBox(std::move(whileOpen)) });
    view.OnCmdMsg(ID_FREQ_RESPONSE, nullptr);
    return script.finished();
}

// A filter state whose next time block holds samples from 21267 to 21399, which truncate to
// y = 0 and so break the replayed line: the high-pass's own state lifts the 1 kHz sine by a
// nearly constant offset.
FilterState stateWithBreakPoints()
{
    for (int offset = 14000; offset < 30000; offset += 37) {
        CVornSimulation probe;
        probe.m_filter[0] = -offset;
        const FilterState state = probe.m_filter;
        probe.GenerateBlock(0);
        if (std::any_of(probe.m_samples[0].begin(), probe.m_samples[0].end(),
                [](std::int16_t s) { return s >= 21267 && s <= 21399; })) {
            return state;
        }
    }
    return {};
}

class PostedEventCounter : public QObject
{
public:
    int count = 0;

protected:
    void customEvent(QEvent*) override { ++count; }
};

} // namespace

class TestViewPlot : public QObject
{
    Q_OBJECT

private slots:
    void repaintBeforeAnyDraw();
    void drawPaintsAtOnce();
    void repaintAfterResize();
    void widthThreshold_data();
    void widthThreshold();
    void everyRepaintFollowsTheReplayRule_data();
    void everyRepaintFollowsTheReplayRule();
    void repeatedDrawContinuesTheSignal();
    void frequencyResponseSequence();
    void drawInFrequencyModeKeepsTheSpectrum();
    void settingsCancelChangesNothing();
    void settingsOkResetsAndLeavesFrequencyMode();
    void settingsStepThenDraw();
    void settingsZeroFrequencyIsSilent();
    void settingsRefusedTextChangesNothing();
    void viewsAreIndependent();
};

void TestViewPlot::repaintBeforeAnyDraw()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    QCOMPARE(view->viewport()->size(), QSize(760, 640));
    const QImage shown = grabShown(*view);
    QVERIFY(sameImage(shown, referenceRepaint(*view, {})));
    // The retained picture has device pixels (run with QT_SCALE_FACTOR=2 as well).
    const qreal r = view->viewport()->devicePixelRatioF();
    QCOMPARE(r, qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2.0 : 1.0);
    QCOMPARE(view->m_surface.Image().size(), QSize(int(760 * r), int(640 * r)));
    // Grid and axis only, on white.
    QCOMPARE(shown.pixel(int(400 * r), int(20 * r)), qRgb(0, 0, 255));
    QCOMPARE(shown.pixel(int(400 * r), int(320 * r)), qRgb(255, 0, 0));
    QCOMPARE(shown.pixel(int(400 * r), int(210 * r)), qRgb(255, 255, 255));
    QVERIFY(view->m_points.empty());
}

void TestViewPlot::drawPaintsAtOnce()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    grabShown(*view);
    CVornSimulation twin;
    const QImage expected = referenceDraw(*view, twin);

    view->OnCmdMsg(ID_DRAW, nullptr);
    // Painted into the retained picture before any paint event, which only shows it.
    QCOMPARE(view->m_points.size(), std::size_t { 3998 });
    QVERIFY(sameImage(view->m_surface.Image(), expected));
    std::vector<DcOp> ops;
    view->m_surface.SetLog(&ops);
    QVERIFY(sameImage(grabShown(*view), expected));
    view->m_surface.SetLog(nullptr);
    QVERIFY(ops.empty());
    QCOMPARE(view->m_samples[0], twin.m_samples[0]);

    // The picture shows the 1 kHz sine: well above and below the axis.
    const auto [low, high] = std::minmax_element(view->m_points.begin(), view->m_points.end(),
        [](const CPoint& a, const CPoint& b) { return a.y < b.y; });
    QVERIFY(low->y < 250);
    QVERIFY(high->y > 390);
}

void TestViewPlot::repaintAfterResize()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    view->OnCmdMsg(ID_DRAW, nullptr);
    const Snapshot before = take(*view);

    view->resize(QSize(1000, 500) + (view->size() - view->viewport()->size()));
    QCoreApplication::processEvents();
    QCOMPARE(view->viewport()->size(), QSize(1000, 500));
    const QImage shown = grabShown(*view);
    QVERIFY(sameImage(shown, referenceRepaint(*view, before.points)));
    QCOMPARE(shown.size(), (QSizeF(1000, 500) * view->viewport()->devicePixelRatioF()).toSize());
    // The repaint replays; it generates nothing and records nothing new.
    QVERIFY(take(*view) == before);
    QCOMPARE(view->m_surface.Image().size(), shown.size());
}

void TestViewPlot::widthThreshold_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("plotted");
    QTest::newRow("199") << 199 << false;
    QTest::newRow("200") << 200 << true;
}

void TestViewPlot::widthThreshold()
{
    QFETCH(int, width);
    QFETCH(bool, plotted);
    auto view = showView({ width, 300 });
    QVERIFY(view);
    QCOMPARE(view->viewport()->width(), width);
    CVornSimulation twin;
    const QImage expected = referenceDraw(*view, twin);
    view->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(view->m_points.size(), std::size_t { plotted ? 3998u : 0u });
    QCOMPARE(view->m_samples[0], twin.m_samples[0]);
    QVERIFY(sameImage(grabShown(*view), expected));

    // A real repaint at this width: everything, or nothing on the white background.
    std::vector<DcOp> ops;
    view->m_surface.SetLog(&ops);
    view->m_surface.Invalidate();
    const QImage repainted = grabShown(*view);
    view->m_surface.SetLog(nullptr);
    QCOMPARE(ops.empty(), !plotted);
    if (!plotted) {
        QImage white = blank(*view);
        white.fill(Qt::white);
        QVERIFY(sameImage(repainted, white));
    } else {
        QVERIFY(sameImage(repainted, expected));
    }
}

void TestViewPlot::everyRepaintFollowsTheReplayRule_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("199") << 199;
    QTest::newRow("200") << 200;
}

void TestViewPlot::everyRepaintFollowsTheReplayRule()
{
    QFETCH(int, width);
    auto view = showView({ width, 300 });
    QVERIFY(view);
    const FilterState state = stateWithBreakPoints();
    QVERIFY(state != FilterState {});
    view->m_filter = state;
    CVornSimulation twin;
    twin.m_filter = state;
    const QImage drawn = referenceDraw(*view, twin);

    view->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(view->m_samples[0], twin.m_samples[0]);
    const auto breaks = std::count_if(view->m_points.begin(), view->m_points.end(),
        [](const CPoint& p) { return p.x == 0 || p.y == 0; });
    QCOMPARE(breaks > 0, width >= 200);
    const QImage replayed = referenceRepaint(*view, view->m_points);
    // The two pictures differ: at 199 pixels Draw shows grid and axis and a repaint nothing, at
    // 200 the replay leaves out both segments at every break.
    QVERIFY(!sameImage(drawn, replayed));
    if (width < 200) {
        QImage white = blank(*view);
        white.fill(Qt::white);
        QVERIFY(sameImage(replayed, white));
    }

    // The paint that Draw asked for shows what Draw drew.
    QVERIFY(sameImage(grabShown(*view), drawn));
    // Any later paint shows the replay, whether the kept picture is renewed or reused.
    std::vector<DcOp> ops;
    view->m_surface.SetLog(&ops);
    QVERIFY(sameImage(grabShown(*view), replayed));
    QCOMPARE(ops.empty(), width < 200); // a narrow repaint draws nothing at all
    ops.clear();
    QCoreApplication::processEvents();
    view->viewport()->repaint(QRect(0, 0, width / 2, 100));
    QVERIFY(sameImage(grabShown(*view), replayed));
    QVERIFY(ops.empty());
    view->m_surface.SetLog(nullptr);

    // A Draw on a hidden view is never shown: the next paint is a replay too.
    view->hide();
    view->OnCmdMsg(ID_DRAW, nullptr);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QVERIFY(sameImage(grabShown(*view), referenceRepaint(*view, view->m_points)));
}

void TestViewPlot::repeatedDrawContinuesTheSignal()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    CVornSimulation twin;
    referenceDraw(*view, twin);
    const QImage second = referenceDraw(*view, twin);
    view->OnCmdMsg(ID_DRAW, nullptr);
    const std::vector<CPoint> first = view->m_points;
    view->OnCmdMsg(ID_DRAW, nullptr);
    QVERIFY(view->m_points != first);
    QCOMPARE(view->m_samples[0], twin.m_samples[0]);
    QVERIFY(sameImage(grabShown(*view), second));
}

void TestViewPlot::frequencyResponseSequence()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    view->m_nInput = 1;
    view->OnCmdMsg(ID_DRAW, nullptr);
    const QImage timePicture = grabShown(*view);
    const Snapshot before = take(*view);

    PostedEventCounter counter;
    bool unchangedWhileOpen = false;
    bool pictureKept = false;
    const bool dismissed = runFrequencyResponse(*view, [&](QMessageBox* box) {
        QCOMPARE(box->text(),
            QStringLiteral(
                "1KHz 6th Butterworth LPF + 1Hz HPF \nfreq graph : 10dB/div 1KHz/div max 20KHz"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Vorn"));
        QCOMPARE(box->buttons().size(), 1);
        QVERIFY(box->isModal());
        // Posted events keep being processed while the box is open.
        QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
        QTRY_COMPARE(counter.count, 1);
        unchangedWhileOpen = take(*view) == before;
        pictureKept = sameImage(grabShown(*view), timePicture);
    });
    QVERIFY(dismissed);
    QVERIFY(unchangedWhileOpen);
    QVERIFY(pictureKept);

    // Then frequency mode, the spectrum in block 0 and on screen.
    CVornSimulation twin;
    twin.m_nInput = 1;
    twin.GenerateBlock(0);
    twin.RunFrequencyAnalysis(twin.AnalysisPhaseStep());
    QCOMPARE(view->m_bFreqMode, 1);
    QCOMPARE(view->m_samples[0], twin.m_samples[0]);
    QCOMPARE(view->m_samples[0][50], std::int16_t { -3 });
    QCOMPARE(view->m_filter, twin.m_filter);
    QCOMPARE(view->m_points.size(), std::size_t { 2000 });
    const QImage spectrum = grabShown(*view);
    QVERIFY(sameImage(spectrum, referenceDraw(*view, twin)));

    // Again: the same picture, the same state.
    const Snapshot afterFirst = take(*view);
    QVERIFY(runFrequencyResponse(*view));
    QVERIFY(take(*view) == afterFirst);
    QVERIFY(sameImage(grabShown(*view), spectrum));
}

void TestViewPlot::drawInFrequencyModeKeepsTheSpectrum()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    QVERIFY(runFrequencyResponse(*view));
    const std::vector<CPoint> spectrumPoints = view->m_points;
    const QImage spectrum = grabShown(*view);
    const FilterState state = view->m_filter;

    // What the stream's refill of buffer 0 does meanwhile.
    view->GenerateBlock(0);
    const FilterState refilled = view->m_filter;
    QVERIFY(refilled != state);
    view->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(view->m_points, spectrumPoints);
    QVERIFY(sameImage(grabShown(*view), spectrum));
    // Draw in frequency mode generates nothing.
    QCOMPARE(view->m_filter, refilled);
}

void TestViewPlot::settingsCancelChangesNothing()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    QVERIFY(runFrequencyResponse(*view));
    const Snapshot before = take(*view);
    bool sawDefaults = false;
    ModalScript script({ onSettingsDialog(
        [&](QWidget* dialog) {
            sawDefaults = radioNamed(dialog, QStringLiteral("Sin wave"))->isChecked()
                && dialog->findChild<QLineEdit*>()->text() == QStringLiteral("1000");
            QTest::mouseClick(radioNamed(dialog, QStringLiteral("Step")), Qt::LeftButton);
            dialog->findChild<QLineEdit*>()->setText(QStringLiteral("440"));
        },
        IDCANCEL) });
    view->OnCmdMsg(ID_SETTINGS, nullptr);
    QVERIFY(script.finished());
    QVERIFY(sawDefaults);
    QVERIFY(take(*view) == before);
    QCOMPARE(view->m_bFreqMode, 1);
}

void TestViewPlot::settingsOkResetsAndLeavesFrequencyMode()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    QVERIFY(runFrequencyResponse(*view));
    const QImage spectrum = grabShown(*view);
    ModalScript script({ onSettingsDialog([](QWidget*) {}, IDOK) });
    view->OnCmdMsg(ID_SETTINGS, nullptr);
    QVERIFY(script.finished());
    QCOMPARE(view->m_bFreqMode, 0);
    QCOMPARE(view->m_filter, FilterState {});
    QCOMPARE(view->m_nInput, 0);
    QCOMPARE(view->m_dFreq, 1000.0);
    // Settings draws nothing: the spectrum stays until the next Draw, which starts from rest.
    QVERIFY(sameImage(grabShown(*view), spectrum));
    CVornSimulation fresh;
    const QImage expected = referenceDraw(*view, fresh);
    view->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(view->m_samples[0], fresh.m_samples[0]);
    QVERIFY(sameImage(grabShown(*view), expected));
}

void TestViewPlot::settingsStepThenDraw()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    view->OnCmdMsg(ID_DRAW, nullptr);
    ModalScript script({ onSettingsDialog(
        [](QWidget* dialog) {
            QTest::mouseClick(radioNamed(dialog, QStringLiteral("Step")), Qt::LeftButton);
        },
        IDOK) });
    view->OnCmdMsg(ID_SETTINGS, nullptr);
    QVERIFY(script.finished());
    QCOMPARE(view->m_nInput, 1);
    CVornSimulation step;
    step.m_nInput = 1;
    const QImage expected = referenceDraw(*view, step);
    view->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(view->m_samples[0], step.m_samples[0]);
    QCOMPARE(view->m_samples[0][0], step.m_samples[0][0]);
    QVERIFY(sameImage(grabShown(*view), expected));
}

void TestViewPlot::settingsZeroFrequencyIsSilent()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    ModalScript script({ onSettingsDialog(
        [](QWidget* dialog) { dialog->findChild<QLineEdit*>()->setText(QStringLiteral("0")); },
        IDOK) });
    view->OnCmdMsg(ID_SETTINGS, nullptr);
    QVERIFY(script.finished());
    QCOMPARE(view->m_dFreq, 0.0);
    view->OnCmdMsg(ID_DRAW, nullptr);
    QVERIFY(std::all_of(
        view->m_points.begin(), view->m_points.end(), [](const CPoint& p) { return p.y == 320; }));
}

void TestViewPlot::settingsRefusedTextChangesNothing()
{
    auto view = showView({ 760, 640 });
    QVERIFY(view);
    view->OnCmdMsg(ID_DRAW, nullptr);
    const Snapshot before = take(*view);
    ModalScript script({
        onSettingsDialog(
            [](QWidget* dialog) {
                QTest::mouseClick(radioNamed(dialog, QStringLiteral("Step")), Qt::LeftButton);
                dialog->findChild<QLineEdit*>()->setText(QStringLiteral("12abc"));
            },
            IDOK),
        ModalScript::acceptMessageBox([](QMessageBox* box) {
            QCOMPARE(box->text(), QStringLiteral("数値を入力してください。"));
        }),
        onSettingsDialog([](QWidget*) {}, IDCANCEL),
    });
    view->OnCmdMsg(ID_SETTINGS, nullptr);
    QVERIFY(script.finished());
    QVERIFY(take(*view) == before);
}

void TestViewPlot::viewsAreIndependent()
{
    auto first = showView({ 400, 300 });
    auto second = showView({ 400, 300 });
    QVERIFY(first && second);
    QVERIFY(runFrequencyResponse(*first));
    second->OnCmdMsg(ID_DRAW, nullptr);
    QCOMPARE(first->m_bFreqMode, 1);
    QCOMPARE(second->m_bFreqMode, 0);
    QCOMPARE(first->m_points.size(), std::size_t { 2000 });
    QCOMPARE(second->m_points.size(), std::size_t { 3998 });
    CVornSimulation fresh;
    fresh.GenerateBlock(0);
    QCOMPARE(second->m_samples[0], fresh.m_samples[0]);
}

QTEST_MAIN(TestViewPlot)
#include "tst_viewplot.moc"

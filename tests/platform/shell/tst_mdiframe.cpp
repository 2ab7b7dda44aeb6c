// The MDI frame and its document windows without the program, on Qt's offscreen platform: the
// frame built from resource templates, the command route and Window > New window that a derived
// frame gives, the menu that follows the windows that still have a document, and the close
// question a derived window answers.
#include "document.h"
#include "mdiframe.h"
#include "resources.h"

#include <QMdiArea>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace vorn;

namespace {

constexpr int kOwnCommand = 32772;

class Document : public CDocument
{
public:
    void RemoveView(QWidget* /*pView*/) override { }
};

class Window : public CMDIChildWnd
{
public:
    explicit Window(CDocument* pDocument)
        : CMDIChildWnd(new QPlainTextEdit)
        , m_pDocument(pDocument)
    {
        OnCommand(kOwnCommand, [this] { ++m_nRuns; });
    }
    CDocument* GetActiveDocument() const override { return m_pDocument; }

    CDocument* m_pDocument;
    bool m_bMayClose = true;
    int m_nAsked = 0;
    int m_nRuns = 0;

protected:
    bool CanCloseFrame() override
    {
        ++m_nAsked;
        return m_bMayClose;
    }
    void OnFrameClosed() override { m_pDocument = nullptr; }
};

class Frame : public CMDIFrameWnd
{
public:
    Frame()
        : CMDIFrameWnd(IDR_VornTYPE)
    { }
    int m_nNewWindows = 0;

protected:
    std::vector<CCmdTarget*> GetCommandRoute() override { return { MDIGetActive(), this }; }
    void OnWindowNew() override { ++m_nNewWindows; }
};

} // namespace

class TestMdiFrame : public QObject
{
    Q_OBJECT

private slots:
    void noFrameWithoutItsTemplates() { QVERIFY(!Frame().LoadFrame(IDR_MAINFRAME + 1)); }

    void routeMenusAndClosing()
    {
        Frame frame;
        QVERIFY(frame.LoadFrame(IDR_MAINFRAME));
        frame.show();
        QCOMPARE(frame.CurrentMenuId(), IDR_MAINFRAME);
        frame.UpdateCommandUI();
        QVERIFY(!frame.CommandAction(ID_WINDOW_NEW)->isEnabled());
        QVERIFY(!frame.SendCommand(kOwnCommand));

        Document document;
        auto* window = new Window(&document);
        frame.AddMDIChild(window);
        QCOMPARE(frame.MDIGetActive(), window);
        frame.UpdateCommandUI();
        QCOMPARE(frame.CurrentMenuId(), IDR_VornTYPE);
        // The window's own command comes through the route the derived frame gave.
        QVERIFY(frame.CommandAction(kOwnCommand)->isEnabled());
        QVERIFY(frame.SendCommand(kOwnCommand));
        QCOMPARE(window->m_nRuns, 1);
        QVERIFY(frame.SendCommand(ID_WINDOW_NEW));
        QCOMPARE(frame.m_nNewWindows, 1);

        // A window whose view has left its document is no longer the active one.
        window->m_pDocument = nullptr;
        frame.UpdateCommandUI();
        QVERIFY(frame.MDIGetActive() == nullptr);
        QCOMPARE(frame.CurrentMenuId(), IDR_MAINFRAME);
        window->m_pDocument = &document;

        // Closing asks the window; closing without prompt does not.
        QSignalSpy closed(window, &CMDIChildWnd::frameClosed);
        window->m_bMayClose = false;
        QVERIFY(!window->close());
        QCOMPARE(window->m_nAsked, 1);
        QCOMPARE(frame.MdiArea()->subWindowList().size(), 1);
        window->CloseWithoutPrompt();
        QCOMPARE(window->m_nAsked, 1);
        QCOMPARE(closed.count(), 1);
        QVERIFY(window->m_pDocument == nullptr);
        frame.UpdateCommandUI();
        QCOMPARE(frame.CurrentMenuId(), IDR_MAINFRAME);
    }
};

QTEST_MAIN(TestMdiFrame)
#include "tst_mdiframe.moc"

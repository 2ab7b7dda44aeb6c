#pragma once

// The base of the tests that run the whole program in their own process: per-user settings in a
// private directory, the application started as the command line `vorn` would start it, and the
// main frame's commands at hand.
#include "isolatedsettings.h"
#include "mainframe.h"
#include "vornapp.h"

#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QObject>
#include <QTest>

#include <memory>

class AppTestCase : public QObject
{
protected:
    // Starts the program with the arguments (argv[0] first); false when it chose to end.
    [[nodiscard]] bool startApp(const QStringList& arguments = { QStringLiteral("vorn") })
    {
        if (!m_settings) {
            m_settings = isolateSettings();
        }
        m_app = std::make_unique<vorn::CVornApp>();
        if (!m_app->InitInstance(arguments)) {
            return false;
        }
        const bool shown = QTest::qWaitForWindowExposed(frame());
        QCoreApplication::processEvents();
        return shown;
    }

    // Ends the program and deletes what it left for deletion.
    void stopApp()
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    [[nodiscard]] vorn::CMainFrame* frame() const { return m_app->GetMainWnd(); }
    [[nodiscard]] QAction* action(int id) const { return frame()->CommandAction(id); }
    // Whether the command is enabled, as the menus would show it now.
    [[nodiscard]] bool enabled(int id) const
    {
        frame()->UpdateCommandUI();
        return action(id)->isEnabled();
    }
    [[nodiscard]] QList<QMdiSubWindow*> windows() const
    {
        return frame()->MdiArea()->subWindowList();
    }

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<vorn::CVornApp> m_app;
};

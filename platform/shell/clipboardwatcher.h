#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>

struct xcb_connection_t;

namespace vorn {

// Knows whether the clipboard holds non-empty text without ever waiting for the clipboard's
// owner, and says when that changes, so that a command's state can be decided on every keystroke.
// On X11 it asks another owning client on the application's own connection, asynchronously and
// to a small window of its own, for its targets and then for the length of its text; an owner
// that does not answer within a few seconds leaves the state as it was. While this process owns
// the clipboard, and on other window systems, it reads the toolkit's clipboard data whenever the
// clipboard changes. One per process; UI thread.
class CClipboardWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // The process's watcher, made on first use as a child of the application object.
    static CClipboardWatcher* Instance();

    [[nodiscard]] bool HasText() const { return m_bHasText; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void hasTextChanged();

private:
    explicit CClipboardWatcher(QObject* parent);
    ~CClipboardWatcher() override;

    void OnClipboardChanged();
    // Asks the clipboard's owner to put the clipboard in this target on a fresh requestor window.
    void Request(std::uint32_t target);
    // Gives up the request in flight; its answer, should one come, goes to no window.
    void Abandon();
    void OnTargets(std::uint32_t property);
    void OnText(std::uint32_t property);
    void SetHasText(bool bHasText);

    xcb_connection_t* m_pConnection = nullptr; // null where the window system is not X11
    std::uint32_t m_root = 0;
    std::uint32_t m_requestor = 0; // the window of the request in flight, 0 when none
    std::uint32_t m_atomClipboard = 0;
    std::uint32_t m_atomTargets = 0;
    std::uint32_t m_atomIncr = 0;
    std::uint32_t m_atomProperty = 0;
    std::array<std::uint32_t, 5> m_atomTextTargets {}; // in order of preference
    QTimer m_timeout;
    bool m_bHasText = false;
};

} // namespace vorn

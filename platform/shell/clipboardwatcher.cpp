#include "clipboardwatcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace vorn {

namespace {

CClipboardWatcher* s_pClipboardWatcher = nullptr;

// How long an owner may take to answer one request before its answer no longer counts.
constexpr int kOwnerTimeoutMs = 3000;
// TARGETS lists fit this many atoms.
constexpr std::uint32_t kMaxTargets = 1024;

struct FreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeReply>;

bool ClipboardTextOf(const QMimeData* mime)
{
    return mime != nullptr && mime->hasText() && !mime->text().isEmpty();
}

} // namespace

CClipboardWatcher* CClipboardWatcher::Instance()
{
    if (s_pClipboardWatcher == nullptr) {
        s_pClipboardWatcher = new CClipboardWatcher(QCoreApplication::instance());
    }
    return s_pClipboardWatcher;
}

CClipboardWatcher::CClipboardWatcher(QObject* parent)
    : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kOwnerTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &CClipboardWatcher::Abandon);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
        &CClipboardWatcher::OnClipboardChanged);

    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr) {
        m_pConnection = x11->connection();
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data->root;
        // Atoms are the server's, answered at once whoever owns the clipboard.
        const char* names[] = { "CLIPBOARD", "TARGETS", "INCR", "VORN_CLIPBOARD", "UTF8_STRING",
            "text/plain;charset=utf-8", "STRING", "TEXT", "text/plain" };
        xcb_intern_atom_cookie_t cookies[std::size(names)];
        for (std::size_t i = 0; i < std::size(names); ++i) {
            cookies[i] = xcb_intern_atom(
                m_pConnection, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
        }
        std::uint32_t atoms[std::size(names)] = {};
        for (std::size_t i = 0; i < std::size(names); ++i) {
            xcb_intern_atom_reply_t* reply
                = xcb_intern_atom_reply(m_pConnection, cookies[i], nullptr);
            atoms[i] = reply != nullptr ? reply->atom : std::uint32_t { XCB_ATOM_NONE };
            std::free(reply);
        }
        m_atomClipboard = atoms[0];
        m_atomTargets = atoms[1];
        m_atomIncr = atoms[2];
        m_atomProperty = atoms[3];
        std::copy(std::begin(atoms) + 4, std::end(atoms), m_atomTextTargets.begin());
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    OnClipboardChanged();
}

CClipboardWatcher::~CClipboardWatcher()
{
    s_pClipboardWatcher = nullptr;
    // Deleted with the application object, the connection is closing and frees the window.
    if (m_pConnection != nullptr && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        Abandon();
    }
}

void CClipboardWatcher::OnClipboardChanged()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_pConnection == nullptr || clipboard->ownsClipboard()) {
        // Data this process holds, or another window system's: read once per change only.
        Abandon();
        SetHasText(ClipboardTextOf(clipboard->mimeData()));
        return;
    }
    Request(m_atomTargets);
}

void CClipboardWatcher::Request(std::uint32_t target)
{
    Abandon();
    m_requestor = xcb_generate_id(m_pConnection);
    xcb_create_window(m_pConnection, XCB_COPY_FROM_PARENT, m_requestor, m_root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(
        m_pConnection, m_requestor, m_atomClipboard, target, m_atomProperty, XCB_CURRENT_TIME);
    xcb_flush(m_pConnection);
    m_timeout.start();
}

void CClipboardWatcher::Abandon()
{
    m_timeout.stop();
    if (m_requestor != 0) {
        xcb_destroy_window(m_pConnection, m_requestor);
        xcb_flush(m_pConnection);
        m_requestor = 0;
    }
}

bool CClipboardWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (m_requestor == 0 || eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) {
        return false;
    }
    const auto* notify = static_cast<const xcb_selection_notify_event_t*>(message);
    if (notify->requestor != m_requestor || notify->selection != m_atomClipboard) {
        return false;
    }
    if (notify->target == m_atomTargets) {
        OnTargets(notify->property);
    } else {
        OnText(notify->property);
    }
    return true;
}

void CClipboardWatcher::OnTargets(std::uint32_t property)
{
    // No owner, or one that offers no targets, gives no answer to read.
    if (property == XCB_ATOM_NONE) {
        Abandon();
        SetHasText(false);
        return;
    }
    const PropertyReply reply(xcb_get_property_reply(m_pConnection,
        xcb_get_property(m_pConnection, 1, m_requestor, property, XCB_ATOM_ANY, 0, kMaxTargets),
        nullptr));
    if (!reply || reply->format != 32 || reply->type == m_atomIncr) {
        Abandon();
        return;
    }
    const auto* targets = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const std::uint32_t* end = targets + xcb_get_property_value_length(reply.get()) / 4;
    for (const std::uint32_t text : m_atomTextTargets) {
        if (text != XCB_ATOM_NONE && std::find(targets, end, text) != end) {
            // Text is offered; whether any is there, its length says.
            Request(text);
            return;
        }
    }
    Abandon();
    SetHasText(false);
}

void CClipboardWatcher::OnText(std::uint32_t property)
{
    bool bHasText = false;
    if (property != XCB_ATOM_NONE) {
        // Only the length is read: what remains after none of it is all of it.
        const PropertyReply reply(xcb_get_property_reply(m_pConnection,
            xcb_get_property(m_pConnection, 0, m_requestor, property, XCB_ATOM_ANY, 0, 0),
            nullptr));
        // A transfer in parts (INCR) is one too large for a single property.
        bHasText = reply && (reply->type == m_atomIncr || reply->bytes_after > 0);
    }
    Abandon();
    SetHasText(bHasText);
}

void CClipboardWatcher::SetHasText(bool bHasText)
{
    if (bHasText == m_bHasText) {
        return;
    }
    m_bHasText = bHasText;
    emit hasTextChanged();
}

} // namespace vorn

#include "moc_clipboardwatcher.cpp"

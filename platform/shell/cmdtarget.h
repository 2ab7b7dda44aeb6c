#pragma once

#include <functional>
#include <unordered_map>
#include <vector>

namespace vorn {

// The state of one command as the object that handles it reports it: enabled, and for toggles
// whether it carries a check mark. Runs on the UI thread.
class CCmdUI
{
public:
    explicit CCmdUI(int nID)
        : m_nID(nID)
    { }

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(bool bCheck = true)
    {
        m_bCheckable = true;
        m_bChecked = bCheck;
    }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bCheckable = false;
    bool m_bChecked = false;
};

// An object on the command route with its command map: each entry binds a command id (or a range)
// to a handler and, optionally, to an update function that reports the command's state; without
// one the command is enabled whenever the object is on the route. Runs on the UI thread.
class CCmdTarget
{
public:
    using Handler = std::function<void(int nID)>;
    using Updater = std::function<void(CCmdUI& cmdUI)>;

    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // With pCmdUI == nullptr runs the handler of nID; otherwise reports its state into *pCmdUI.
    // Returns whether this object has an entry for nID.
    virtual bool OnCmdMsg(int nID, CCmdUI* pCmdUI);

protected:
    void OnCommand(int nID, std::function<void()> handler, Updater update = {});
    void OnCommandRange(int nFirst, int nLast, Handler handler, Updater update = {});

private:
    struct Entry
    {
        int nFirst;
        int nLast;
        Handler handler;
        Updater update;
    };
    const Entry* FindEntry(int nID) const;

    std::unordered_map<int, Entry> m_commands;
    std::vector<Entry> m_ranges;
};

// Sends commands along a route, the first object first (the active view, its document, its
// frame, the main frame, the application). A command that no object on the route has an entry
// for is disabled. Runs on the UI thread.
class CCommandRouter
{
public:
    using Route = std::function<std::vector<CCmdTarget*>()>;

    explicit CCommandRouter(Route route)
        : m_route(std::move(route))
    { }

    // Runs the command on the first object that handles it, if it is enabled there. Returns
    // whether it ran.
    bool Execute(int nID) const;

    // The command's state; disabled when nothing on the route handles it.
    CCmdUI Query(int nID) const;

private:
    Route m_route;
};

} // namespace vorn

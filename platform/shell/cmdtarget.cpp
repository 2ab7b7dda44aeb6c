#include "cmdtarget.h"

namespace vorn {

void CCmdTarget::OnCommand(int nID, std::function<void()> handler, Updater update)
{
    m_commands[nID] = Entry { nID, nID, [h = std::move(handler)](int) { h(); }, std::move(update) };
}

void CCmdTarget::OnCommandRange(int nFirst, int nLast, Handler handler, Updater update)
{
    m_ranges.push_back(Entry { nFirst, nLast, std::move(handler), std::move(update) });
}

const CCmdTarget::Entry* CCmdTarget::FindEntry(int nID) const
{
    if (const auto it = m_commands.find(nID); it != m_commands.end()) {
        return &it->second;
    }
    for (const Entry& entry : m_ranges) {
        if (nID >= entry.nFirst && nID <= entry.nLast) {
            return &entry;
        }
    }
    return nullptr;
}

bool CCmdTarget::OnCmdMsg(int nID, CCmdUI* pCmdUI)
{
    const Entry* entry = FindEntry(nID);
    if (entry == nullptr) {
        return false;
    }
    if (pCmdUI != nullptr) {
        pCmdUI->Enable(true);
        if (entry->update) {
            entry->update(*pCmdUI);
        }
        return true;
    }
    // The handler may close the window that owns this object: call a copy.
    const Handler handler = entry->handler;
    handler(nID);
    return true;
}

bool CCommandRouter::Execute(int nID) const
{
    for (CCmdTarget* target : m_route()) {
        if (target == nullptr) {
            continue;
        }
        CCmdUI state(nID);
        if (target->OnCmdMsg(nID, &state)) {
            if (!state.m_bEnabled) {
                return false;
            }
            target->OnCmdMsg(nID, nullptr);
            return true;
        }
    }
    return false;
}

CCmdUI CCommandRouter::Query(int nID) const
{
    for (CCmdTarget* target : m_route()) {
        if (target == nullptr) {
            continue;
        }
        CCmdUI state(nID);
        if (target->OnCmdMsg(nID, &state)) {
            return state;
        }
    }
    CCmdUI state(nID);
    state.Enable(false);
    return state;
}

} // namespace vorn

#pragma once

#include <QString>

namespace vorn {

// Assistive technology reads a menu item by its name and its key binding. The menus' texts carry
// the shortcut after a tab ("新規作成(&N)\tCtrl+N"), as the resources give them; their items are
// announced without it: the name is the text before the tab without the mnemonic marker, and the
// shortcut is the item's key binding. Installed once per process; UI thread only.
void InstallMenuItemAccessibility();

// The name a menu or command text is announced by: the part before a tab, "&" markers removed
// ("&&" stands for one "&").
QString AccessibleMenuText(const QString& strText);

// The command's name as its menu item shows it, without the mnemonic ("描画(&D)" gives "描画"),
// from the document menu or else the main menu; empty for a command without a menu item.
QString CommandName(int nID);

} // namespace vorn

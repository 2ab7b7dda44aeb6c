#include "menuaccessible.h"

#include "resources.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>

namespace vorn {

namespace {

// A menu item of a menu or the menu bar, as Qt's own would show it, but named without the
// shortcut and with the shortcut as its key binding. One action may sit in several menus (the
// File popups of both menus): its owner is the menu that shows it, or the first that holds it.
class CAccessibleMenuItem : public QAccessibleObject, public QAccessibleActionInterface
{
public:
    explicit CAccessibleMenuItem(QAction* pAction)
        : QAccessibleObject(pAction)
        , m_pAction(pAction)
    { }

    [[nodiscard]] bool isValid() const override { return m_pAction && Owner() != nullptr; }
    [[nodiscard]] QObject* object() const override { return m_pAction; }
    [[nodiscard]] QWindow* window() const override
    {
        QWidget* owner = Owner();
        return owner != nullptr ? owner->window()->windowHandle() : nullptr;
    }

    [[nodiscard]] QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(Owner());
    }
    [[nodiscard]] int childCount() const override { return m_pAction->menu() != nullptr ? 1 : 0; }
    [[nodiscard]] QAccessibleInterface* child(int index) const override
    {
        return index == 0 && m_pAction->menu() != nullptr
            ? QAccessible::queryAccessibleInterface(m_pAction->menu())
            : nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child != nullptr && child->object() == m_pAction->menu() ? 0 : -1;
    }
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override
    {
        QAccessibleInterface* popup = child(0);
        return popup != nullptr && popup->rect().contains(x, y) ? popup : nullptr;
    }

    [[nodiscard]] QRect rect() const override
    {
        QWidget* owner = Owner();
        if (auto* bar = qobject_cast<QMenuBar*>(owner)) {
            return bar->actionGeometry(m_pAction).translated(bar->mapToGlobal(QPoint(0, 0)));
        }
        if (auto* menu = qobject_cast<QMenu*>(owner)) {
            return menu->actionGeometry(m_pAction).translated(menu->mapToGlobal(QPoint(0, 0)));
        }
        return {};
    }

    [[nodiscard]] QAccessible::Role role() const override
    {
        return m_pAction->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }

    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        QWidget* owner = Owner();
        if (owner == nullptr || !owner->isVisible() || !m_pAction->isVisible()) {
            state.invisible = true;
        }
        if (auto* bar = qobject_cast<QMenuBar*>(owner)) {
            state.focused = bar->activeAction() == m_pAction;
        } else if (auto* menu = qobject_cast<QMenu*>(owner)) {
            state.focused = menu->activeAction() == m_pAction;
        }
        if (owner != nullptr
            && owner->style()->styleHint(QStyle::SH_Menu_MouseTracking, nullptr, owner)) {
            state.hotTracked = true;
        }
        state.disabled = m_pAction->isSeparator() || !m_pAction->isEnabled();
        state.checkable = m_pAction->isCheckable();
        state.checked = m_pAction->isChecked();
        state.hasPopup = m_pAction->menu() != nullptr;
        return state;
    }

    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return AccessibleMenuText(m_pAction->text());
        case QAccessible::Accelerator:
            return KeyBinding();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override { }

    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }

    [[nodiscard]] QStringList actionNames() const override
    {
        if (m_pAction->isSeparator()) {
            return {};
        }
        return { m_pAction->menu() != nullptr ? showMenuAction() : pressAction() };
    }
    void doAction(const QString& actionName) override
    {
        if (!m_pAction->isEnabled()) {
            return;
        }
        if (actionName == pressAction()) {
            m_pAction->trigger();
        } else if (actionName == showMenuAction()) {
            if (m_pAction->menu()->isVisible()) {
                m_pAction->menu()->hide();
            } else if (auto* bar = qobject_cast<QMenuBar*>(Owner())) {
                bar->setActiveAction(m_pAction);
            } else if (auto* menu = qobject_cast<QMenu*>(Owner())) {
                menu->setActiveAction(m_pAction);
            }
        }
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString& actionName) const override
    {
        const QString binding = KeyBinding();
        if (actionName != pressAction() || binding.isEmpty()) {
            return {};
        }
        return { binding };
    }

private:
    // The menu or menu bar that shows the item: a visible one, else one on the way from the
    // menu bar now shown, else the first that holds it.
    [[nodiscard]] QWidget* Owner() const
    {
        if (!m_pAction) {
            return nullptr;
        }
        QWidget* first = nullptr;
        QWidget* reachable = nullptr;
        for (QObject* object : m_pAction->associatedObjects()) {
            auto* widget = qobject_cast<QWidget*>(object);
            if (qobject_cast<QMenu*>(widget) == nullptr
                && qobject_cast<QMenuBar*>(widget) == nullptr) {
                continue;
            }
            if (widget->isVisible()) {
                return widget;
            }
            if (reachable == nullptr && Reachable(widget)) {
                reachable = widget;
            }
            if (first == nullptr) {
                first = widget;
            }
        }
        return reachable != nullptr ? reachable : first;
    }

    // Whether the menu opens from the menu bar now shown, directly or through other menus.
    static bool Reachable(QWidget* pMenu)
    {
        if (qobject_cast<QMenuBar*>(pMenu) != nullptr) {
            return pMenu->isVisible();
        }
        auto* menu = qobject_cast<QMenu*>(pMenu);
        if (menu == nullptr) {
            return false;
        }
        for (QObject* object : menu->menuAction()->associatedObjects()) {
            auto* widget = qobject_cast<QWidget*>(object);
            if (widget != nullptr && widget != pMenu
                && (qobject_cast<QMenu*>(widget) != nullptr
                    || qobject_cast<QMenuBar*>(widget) != nullptr)
                && Reachable(widget)) {
                return true;
            }
        }
        return false;
    }

    // The shortcut the item's text shows after its tab, in the form Qt writes key sequences.
    [[nodiscard]] QString KeyBinding() const
    {
        if (!m_pAction->shortcut().isEmpty()) {
            return m_pAction->shortcut().toString(QKeySequence::PortableText);
        }
        const QString text = m_pAction->text();
        const qsizetype tab = text.indexOf(u'\t');
        return tab < 0 ? QString() : text.mid(tab + 1);
    }

    QPointer<QAction> m_pAction;
};

QAccessibleInterface* MenuItemFactory(const QString& className, QObject* object)
{
    auto* action = qobject_cast<QAction*>(object);
    if (action == nullptr || className != QLatin1String(action->metaObject()->className())) {
        return nullptr;
    }
    for (QObject* associated : action->associatedObjects()) {
        if (qobject_cast<QMenu*>(associated) != nullptr
            || qobject_cast<QMenuBar*>(associated) != nullptr) {
            return new CAccessibleMenuItem(action);
        }
    }
    return nullptr;
}

} // namespace

void InstallMenuItemAccessibility()
{
    QAccessible::installFactory(MenuItemFactory);
}

QString AccessibleMenuText(const QString& strText)
{
    const QString label = strText.left(strText.indexOf(u'\t'));
    QString name;
    name.reserve(label.size());
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == u'&') {
            ++i;
            if (i == label.size()) {
                break;
            }
        }
        name += label[i];
    }
    return name;
}

QString CommandName(int nID)
{
    const auto find
        = [nID](const auto& self, const std::vector<MenuItemTemplate>& items) -> QString {
        for (const MenuItemTemplate& item : items) {
            if (item.kind == MenuItemTemplate::Command && item.id == nID) {
                QString text = item.text.left(item.text.indexOf(u'\t'));
                // A mnemonic in parentheses after the name ("(&D)") goes with its marker.
                const qsizetype open = text.lastIndexOf(QLatin1String("(&"));
                if (open >= 0 && text.endsWith(u')') && open + 4 == text.size()) {
                    text.truncate(open);
                }
                return AccessibleMenuText(text);
            }
            if (QString found = self(self, item.items); !found.isEmpty()) {
                return found;
            }
        }
        return {};
    };
    for (const int menuId : { IDR_VornTYPE, IDR_MAINFRAME }) {
        if (const std::vector<MenuItemTemplate>* menu = FindMenuTemplate(menuId)) {
            if (QString found = find(find, *menu); !found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

} // namespace vorn

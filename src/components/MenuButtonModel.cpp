// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/MenuButtonModel.h"

#include "common/ScopeGuard.h"

#include <algorithm>

namespace quorvel {

namespace {

bool isSeparator(const std::string &item)
{
    return item == "-";
}

} // namespace

void MenuButtonModel::press()
{
    if (m_menuOpen)
        return;
    m_view.raiseClick();
    openMenu();
}

void MenuButtonModel::openMenu()
{
    if (m_menuOpen || m_items.empty())
        return;
    m_menuOpen = true;
    std::optional<unsigned> chosen;
    {
        ScopeGuard closed([this] {
            m_menuOpen = false;
            m_view.showMenuOpen(false);
        });
        m_view.showMenuOpen(true);
        chosen = m_view.runMenu(entries());
        // Still marked open: the click that closed the menu must not open it again.
        m_view.discardQueuedClicks();
    }
    // Handled once the menu is gone, so a dialog a handler opens does not find the button down.
    if (chosen)
        choose(*chosen);
}

void MenuButtonModel::choose(unsigned command)
{
    if (command >= m_items.size() || isSeparator(m_items[command]))
        return;
    m_itemIndex = int(command);
    m_view.raiseChange();
    if (m_modalResult != 0)
        m_view.setFormModalResult(m_modalResult);
}

std::vector<MenuEntry> MenuButtonModel::entries() const
{
    std::vector<MenuEntry> result;
    result.reserve(m_items.size());
    for (unsigned i = 0; i < m_items.size(); ++i) {
        if (isSeparator(m_items[i])) {
            result.push_back({ true, {}, SeparatorCommand, false });
            continue;
        }
        const bool checked = m_showCheckmark && m_itemIndex == int(i);
        result.push_back({ false, m_items[i], i, checked });
    }
    return result;
}

MenuPoint MenuButtonModel::menuPosition(
    const MenuArea &button, int menuWidth, int menuHeight, const MenuArea &screen)
{
    MenuPoint at { button.left, button.top + button.height - 1 };
    const int screenBottom = screen.top + screen.height;
    if (at.y + menuHeight > screenBottom && button.top - menuHeight >= screen.top)
        at.y = button.top - menuHeight;
    const int screenRight = screen.left + screen.width;
    at.x = std::max(screen.left, std::min(at.x, screenRight - menuWidth));
    return at;
}

} // namespace quorvel

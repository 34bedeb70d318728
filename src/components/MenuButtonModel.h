// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One entry of the drop-down menu as the view builds it.
struct MenuEntry
{
    bool separator = false;
    std::string text;
    unsigned command = 0;
    bool checked = false;

    bool operator==(const MenuEntry &) const = default;
};

// What the button does on the model's word; the widget implements it.
class MenuButtonView
{
public:
    virtual ~MenuButtonView() = default;
    // The ordinary click event.
    virtual void raiseClick() = 0;
    // OnChange, after ItemIndex has been set.
    virtual void raiseChange() = 0;
    virtual void setFormModalResult(int result) = 0;
    // Focus and the pressed look on opening, the released look on closing.
    virtual void showMenuOpen(bool open) = 0;
    // Shows the menu below the button and waits: the command number chosen, or nothing when
    // the menu was dismissed.
    virtual std::optional<unsigned> runMenu(const std::vector<MenuEntry> &entries) = 0;
    // Drops the left-button presses, releases and double clicks still queued for the button.
    virtual void discardQueuedClicks() = 0;
};

struct MenuArea
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const MenuArea &) const = default;
};

struct MenuPoint
{
    int x = 0;
    int y = 0;

    bool operator==(const MenuPoint &) const = default;
};

// A push button that drops a menu of text items below itself. An item that is exactly "-" is a
// separator; it keeps its place in the numbering and cannot be chosen.
class MenuButtonModel
{
public:
    static constexpr unsigned SeparatorCommand = 65535;

    explicit MenuButtonModel(MenuButtonView &view)
        : m_view(view)
    {
    }

    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int value) { m_itemIndex = value; }
    const std::vector<std::string> &Items() const { return m_items; }
    void SetItems(const std::vector<std::string> &items) { m_items = items; }
    bool ShowCheckmark() const { return m_showCheckmark; }
    void SetShowCheckmark(bool value) { m_showCheckmark = value; }
    int modalResult() const { return m_modalResult; }
    void setModalResult(int value) { m_modalResult = value; }

    bool menuOpen() const { return m_menuOpen; }

    // Left button down or the keyboard's press: the click, then the menu. Nothing at all while
    // the menu is already open.
    void press();
    // The menu alone, for a click already raised elsewhere.
    void openMenu();
    // The menu reported command number command.
    void choose(unsigned command);

    std::vector<MenuEntry> entries() const;

    // Where the menu's top-left corner goes for a button at button (screen coordinates): left
    // edges aligned and one pixel into the button's bottom; above the button when there is no
    // room below, so the button stays uncovered, and kept inside the screen sideways.
    static MenuPoint menuPosition(
        const MenuArea &button, int menuWidth, int menuHeight, const MenuArea &screen);

private:
    MenuButtonView &m_view;
    int m_itemIndex = -1;
    std::vector<std::string> m_items;
    bool m_showCheckmark = false;
    int m_modalResult = 0;
    bool m_menuOpen = false;
};

} // namespace quorvel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Launcher.h"
#include "shell/HelpViewer.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class ListPrinter;
class ProfileStore;

namespace tray {
inline constexpr std::string_view Tip = "Ostrin Quorvel - Right Click for Options";
// The longest tip the icon carries; longer ones are cut.
inline constexpr std::size_t TipLimit = 63;
// The maker's web site; the pages' paths are fixed.
inline constexpr std::string_view WebHost = "www.ostrin.example";
// A main window parked at this left edge keeps its saved placement on Exit.
inline constexpr int ParkedLeft = -2000;
// The file id of our own desktop entries and icon: the menu's, the autostart one.
inline constexpr std::string_view AppId = "example.ostrin.Quorvel";
} // namespace tray

std::string cutTip(std::string_view tip);
// The maker's page at a path ("/", "/upgrade/", ...).
std::string webPage(std::string_view path);

// One entry of the tray menu: an item, a separator (empty caption) or a submenu (items).
struct TrayMenuItem
{
    std::string name;
    std::string caption;
    bool checkable = false;
    std::vector<TrayMenuItem> items;
    bool separator() const { return caption.empty(); }
    bool submenu() const { return !items.empty(); }
};

// The user's autostart entry for the program itself; it starts the program hidden in the tray.
class AutostartEntry
{
public:
    // autostartFolder: $XDG_CONFIG_HOME/autostart or its default; program: what the entry runs.
    AutostartEntry(const std::string &autostartFolder, std::string program);
    const std::string &file() const { return m_file; }
    bool exists() const;
    void write() const;
    // Gone already counts as removed.
    void remove() const;

private:
    std::string m_file;
    std::string m_program;
};

// PopupMenu1 in order, with its submenus.
const std::vector<TrayMenuItem> &trayMenu();

// How the desktop shows our icon: an XEmbed tray reports clicks and double clicks; a
// StatusNotifier host reports only its activation, for which a left click is the usual gesture.
enum class TrayHost { XEmbed, StatusNotifier };

// What the tray shows on the model's word; the hidden form implements it.
class TrayView
{
public:
    virtual ~TrayView() = default;
    virtual void setOpenEnabled(bool enabled) = 0;
    virtual void setShowHintsChecked(bool checked) = 0;
    virtual void setStartWithDesktopChecked(bool checked) = 0;
    // The about box, modal.
    virtual void showAbout() = 0;
};

// The main window and the program as the tray reaches them.
class TrayServices
{
public:
    virtual ~TrayServices() = default;
    // SetPosition: the saved size and position, or centred.
    virtual void restorePlacement() = 0;
    virtual void savePlacement() = 0;
    virtual void showMainWindow() = 0;
    // On top of the other windows without taking the focus.
    virtual void raiseMainWindow() = 0;
    virtual void activateMainWindow() = 0;
    virtual int mainWindowLeft() const = 0;
    // Hot keys given back, no key of ours left down, then the loop ends.
    virtual void endProgram() = 0;
};

struct TrayDependencies
{
    ProfileStore &store;
    ErrorDisplay &errors;
    EventPump &pump;
    Launcher &launcher;
    HelpViewer *help = nullptr; // none: help items do nothing
    ListPrinter *printer = nullptr; // none: printing does nothing
    TrayServices &services;
    AutostartEntry *autostart = nullptr; // none: "Start with the Desktop" does nothing
};

// The tray icon's and the hidden form's menu rules.
class TrayModel
{
public:
    explicit TrayModel(TrayDependencies deps);
    void setView(TrayView &view) { m_view = &view; }
    void setHost(TrayHost host) { m_host = host; }
    TrayHost host() const { return m_host; }

    // Creation of the hidden form: "&Show Hints" from the catalogue, "&Open" disabled.
    void FormCreate();
    // Start-up has handled the command line: the main window may be opened.
    void enableOpen();
    bool openEnabled() const { return m_openEnabled; }
    bool showHints() const { return m_showHints; }
    // Whether the autostart entry exists, as last looked at.
    bool startWithDesktop() const { return m_startWithDesktop; }
    // The entry may have been removed or made by hand since: looked at whenever the menu opens.
    void refreshStartWithDesktop();
    // The hint window's own box, when it closes: unticked turns hints off for good,
    // ticked only ticks the item.
    void hintWindowClosed(bool showHints);

    // A menu item chosen by its name; unknown names do nothing.
    void choose(std::string_view name);

    // Events of the icon.
    void TrayIcon1Click();
    void TrayIcon1DblClick();

    // Handlers of the menu.
    void Open1Click();
    void mnuPrintMacrosClick();
    void mnuOperationClick();
    void mnuShowHintsClick();
    void mnuStartWithDesktopClick();
    void N6Click();
    void N5Click() { openWeb("/support/"); }
    void N3Click();
    void M1Click() { openWeb("/"); }
    void U1Click() { openWeb("/upgrade/"); }
    void O2Click() { openWeb("/products/"); }
    void T1Click() { openWeb("/support/"); }
    void mnuCloseClick();

private:
    TrayView &view();
    void openWeb(std::string_view path);

    TrayDependencies m_deps;
    TrayView *m_view = nullptr;
    TrayHost m_host = TrayHost::XEmbed;
    bool m_openEnabled = false;
    bool m_showHints = true;
    bool m_startWithDesktop = false;
};

} // namespace quorvel

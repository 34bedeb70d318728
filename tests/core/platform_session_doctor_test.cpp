// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/TestSupport.h"
#include "platform/DataFolders.h"
#include "platform/SessionDoctor.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quorvel::testing {
namespace {

SessionOffer wayland(std::vector<std::string> globals, bool swayIpc = false, bool reachable = true)
{
    SessionOffer offer;
    offer.kind = SessionKind::Wayland;
    offer.reachable = reachable;
    offer.waylandGlobals = std::move(globals);
    offer.swayIpc = swayIpc;
    return offer;
}

SessionOffer x11(bool xtest, bool record, bool reachable = true)
{
    SessionOffer offer;
    offer.kind = SessionKind::X11;
    offer.reachable = reachable;
    offer.xtest = xtest;
    offer.record = record;
    return offer;
}

TEST(SessionDoctor, TheSessionFollowsTheDisplayVariables)
{
    EXPECT_EQ(sessionKindOf("wayland-1", ":0"), SessionKind::Wayland);
    EXPECT_EQ(sessionKindOf("", ":0"), SessionKind::X11);
    EXPECT_EQ(sessionKindOf(nullptr, ":0"), SessionKind::X11);
    EXPECT_EQ(sessionKindOf(nullptr, ""), SessionKind::None);
    EXPECT_EQ(waylandDesktopOf("KDE"), WaylandDesktopKind::Kde);
    EXPECT_EQ(waylandDesktopOf("ubuntu:GNOME"), WaylandDesktopKind::Gnome);
    EXPECT_EQ(waylandDesktopOf("GNOME-Classic:GNOME"), WaylandDesktopKind::Gnome);
    EXPECT_EQ(waylandDesktopOf("sway"), WaylandDesktopKind::Other);
    EXPECT_EQ(waylandDesktopOf("XKDE:"), WaylandDesktopKind::Other);
    EXPECT_EQ(waylandDesktopOf(nullptr), WaylandDesktopKind::Other);
}

TEST(SessionDoctor, EachFeatureWorksOrSaysWhyNot)
{
    const std::vector<std::string> wlroots { "wl_seat", "zwp_virtual_keyboard_manager_v1",
        "zwlr_foreign_toplevel_manager_v1", "zwlr_virtual_pointer_manager_v1" };
    const struct
    {
        const char *session;
        SessionOffer offer;
        // Typing, hot keys, window triggers, focus, replay, recording: "works" or a part of
        // the reason.
        std::vector<std::string> verdicts;
    } cases[] = {
        { "sway", wayland(wlroots, true),
            { "works", "works", "works", "works", "works", "needs an X11 session" } },
        { "sway whose config could not be read",
            [&] {
                SessionOffer offer = wayland(wlroots, true);
                offer.swayConfigTrouble = "sway did not send its config";
                return offer;
            }(),
            { "works", "works in part: sway did not send its config", "works", "works", "works",
                "needs an X11 session" } },
        { "another wlroots compositor", wayland(wlroots),
            { "works", "bind a desktop shortcut to quorvel '/Open:\"Name\"' /Close", "works",
                "works", "works", "needs an X11 session" } },
        { "a compositor without the wlroots protocols", wayland({ "wl_seat" }),
            { "no virtual keyboard", "desktop shortcut", "windows' titles", "activate windows",
                "no virtual keyboard", "needs an X11 session" } },
        { "no virtual pointer",
            wayland(
                { "zwp_virtual_keyboard_manager_v1", "zwlr_foreign_toplevel_manager_v1" }, true),
            { "works", "works", "works", "works", "no virtual pointer", "needs an X11 session" } },
        { "a Wayland display that does not answer", wayland(wlroots, true, false),
            std::vector<std::string>(6, "Wayland display does not answer") },
        { "X", x11(true, true), { "works", "works", "works", "works", "works", "works" } },
        { "X without RECORD", x11(true, false),
            { "works", "works", "works", "works", "no RECORD", "no RECORD" } },
        { "X without XTEST", x11(false, true),
            { "no XTEST", "works", "works", "works", "no XTEST", "works" } },
        { "an X display that does not answer", x11(true, true, false),
            std::vector<std::string>(6, "X display does not answer") },
        { "no session", {}, std::vector<std::string>(6, "no desktop session") },
    };
    const std::vector<std::string> features { "Typing", "Hot keys", "Window triggers", "Focus",
        "Replay", "Recording" };
    for (const auto &c : cases) {
        const auto verdicts = featureVerdicts(c.offer);
        ASSERT_EQ(verdicts.size(), features.size()) << c.session;
        for (std::size_t i = 0; i < features.size(); ++i) {
            EXPECT_EQ(verdicts[i].feature, features[i]);
            if (c.verdicts[i] == "works")
                EXPECT_EQ(verdicts[i].verdict, "works") << c.session << ", " << features[i];
            else
                EXPECT_NE(verdicts[i].verdict.find(c.verdicts[i]), std::string::npos)
                    << c.session << ", " << features[i] << ": " << verdicts[i].verdict;
        }
    }
}

SessionOffer desktop(WaylandDesktopKind kind, unsigned remoteDesktop, unsigned shortcuts,
    bool kwin = false, ShellExtension extension = ShellExtension::Absent)
{
    SessionOffer offer = wayland({ "wl_seat" });
    offer.desktop = kind;
    offer.remoteDesktopPortal = remoteDesktop;
    offer.globalShortcutsPortal = shortcuts;
    offer.kwinScripting = kwin;
    offer.shellExtension = extension;
    return offer;
}

TEST(SessionDoctor, KdeAndGnomeByWhatTheirBusOffers)
{
    using K = WaylandDesktopKind;
    SessionOffer gnome48 = desktop(K::Gnome, 2, 1);
    gnome48.gnomeGlobalShortcuts = true;
    SessionOffer unpackaged = gnome48;
    gnome48.desktopEntry = true;
    const struct
    {
        const char *session;
        SessionOffer offer;
        std::vector<std::string> verdicts; // as in the table above
    } cases[] = {
        { "Plasma", desktop(K::Kde, 1, 1, true),
            { "works", "works", "works", "works", "works", "needs an X11 session" } },
        { "Plasma without portals or KWin", desktop(K::Kde, 0, 0),
            { "xdg-desktop-portal-kde", "desktop shortcut", "KWin's scripting", "KWin's scripting",
                "xdg-desktop-portal-kde", "needs an X11 session" } },
        { "GNOME with the extension", desktop(K::Gnome, 1, 0, false, ShellExtension::Running),
            { "works", "works", "works", "works", "works", "needs an X11 session" } },
        { "GNOME, the extension off", desktop(K::Gnome, 1, 0, false, ShellExtension::Disabled),
            { "works", "gnome-extensions enable quorvel@ostrin.example", "is not enabled",
                "is not enabled", "is not enabled", "needs an X11 session" } },
        { "GNOME 43, KDE's shortcuts backend answering", desktop(K::Gnome, 2, 1),
            { "works", "next log-in", "next log-in", "next log-in", "next log-in",
                "needs an X11 session" } },
        { "GNOME 48, the extension not seen yet", gnome48,
            { "works", "works", "next log-in", "next log-in", "next log-in",
                "needs an X11 session" } },
        { "GNOME 48, run from a build", unpackaged,
            { "works", "example.ostrin.Quorvel.desktop, which is not installed", "next log-in",
                "next log-in", "next log-in", "needs an X11 session" } },
    };
    for (const auto &c : cases) {
        const auto verdicts = featureVerdicts(c.offer);
        ASSERT_EQ(verdicts.size(), c.verdicts.size()) << c.session;
        for (std::size_t i = 0; i < verdicts.size(); ++i) {
            if (c.verdicts[i] == "works")
                EXPECT_EQ(verdicts[i].verdict, "works") << c.session << ", " << i;
            else
                EXPECT_NE(verdicts[i].verdict.find(c.verdicts[i]), std::string::npos)
                    << c.session << ", " << i << ": " << verdicts[i].verdict;
        }
    }
    EXPECT_EQ(sessionParts(desktop(K::Kde, 1, 0, true)).lacking,
        (std::vector<std::string> { "GlobalShortcuts portal", "zwlr_data_control_manager_v1" }));
}

// Where the doctor looks for the extension and the desktop entry.
TEST(SessionDoctor, DataFilesInAnyDataFolder)
{
    TempDir home, shared;
    const std::string folder = shared.path() + "/gnome-shell/extensions/quorvel@ostrin.example";
    std::filesystem::create_directories(folder);
    const auto installed = [](const std::string &dataHome, const std::string &dataDirs) {
        return dataFileInstalled(
            dataHome, dataDirs, "gnome-shell/extensions/quorvel@ostrin.example/metadata.json");
    };
    EXPECT_FALSE(installed(home.path(), "/nonexistent:" + home.path()));
    std::ofstream(folder + "/metadata.json") << "{}";
    EXPECT_TRUE(installed(home.path(), "/nonexistent:" + shared.path()));
    EXPECT_TRUE(installed(shared.path(), ""));
}

TEST(SessionDoctor, ThePartsOfferedAndLacking)
{
    const auto parts = sessionParts(wayland(
        { "wl_seat", "zwlr_virtual_pointer_manager_v1", "zwp_virtual_keyboard_manager_v1" }));
    EXPECT_EQ(parts.offered,
        (std::vector<std::string> {
            "zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1" }));
    EXPECT_EQ(parts.lacking,
        (std::vector<std::string> { "zwlr_foreign_toplevel_manager_v1", "sway IPC" }));
    const auto x = sessionParts(x11(true, false));
    EXPECT_EQ(x.offered, std::vector<std::string> { "XTEST" });
    EXPECT_EQ(x.lacking, std::vector<std::string> { "RECORD" });
    EXPECT_TRUE(sessionParts(x11(true, true, false)).offered.empty());
}

} // namespace
} // namespace quorvel::testing

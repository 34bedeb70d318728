// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/DesktopBackend.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"

#include <memory>
#include <optional>
#include <string>

namespace quorvel {

struct DesktopBackend::Impl
{
    virtual ~Impl() = default;
    virtual Backend backend() = 0;
};

// The backends of the Wayland desktops, each in a file of its own. Each throws Error when the
// session's display cannot be used; what the desktop lacks is a stand-in that says so.
std::unique_ptr<DesktopBackend::Impl> makeWlrootsDesktop();
std::unique_ptr<DesktopBackend::Impl> makeKdeDesktop();
std::unique_ptr<DesktopBackend::Impl> makeGnomeDesktop();

// What the Wayland session of a KDE or GNOME desktop offers, as the doctor sees it: asked on
// the session bus when probe is set.
SessionOffer desktopOffer(WaylandDesktopKind desktop, bool probe = true);

// An error's message as a verdict reads: "KWin is not on the session bus." gives "KWin is not
// on the session bus"; a sentence's "The" is lowered.
std::string verdictOf(const Error &e);

// Says why the feature does not work here, in the doctor's order.
void lack(DesktopLimits &limits, const char *feature, const std::string &why);

// The backend types through keys where there are some, else through the stand-in that says
// why not.
template <typename Sink>
void useKeys(Backend &b, std::optional<Sink> &keys, std::optional<UnavailableKeySink> &missing)
{
    if (keys) {
        b.keys = &*keys;
        b.keyboard = &*keys;
    } else {
        b.keys = &*missing;
        b.keyboard = &*missing;
    }
}

} // namespace quorvel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace quorvel {

enum class SessionKind { None, Wayland, X11 };

// The backend the session decides: Wayland wherever WAYLAND_DISPLAY is set, X11 else where
// DISPLAY is; null or empty values count as unset.
SessionKind sessionKindOf(const char *waylandDisplay, const char *display);

// What a probe of the session found.
struct SessionOffer
{
    SessionKind kind = SessionKind::None;
    bool reachable = false; // the display answered
    std::vector<std::string> waylandGlobals; // interface names of the registry
    bool swayIpc = false;
    bool xtest = false;
    bool record = false;
};

// The parts of a session Quorvel's features rest on, offered or lacking.
struct SessionParts
{
    std::vector<std::string> offered;
    std::vector<std::string> lacking;
};
SessionParts sessionParts(const SessionOffer &offer);

struct FeatureVerdict
{
    std::string feature; // "Typing", "Hot keys", ...
    std::string verdict; // "works", or why not
};

// Whether each feature works in the session, or a plain reason why not.
std::vector<FeatureVerdict> featureVerdicts(const SessionOffer &offer);

} // namespace quorvel

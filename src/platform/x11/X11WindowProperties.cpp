// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11WindowProperties.h"

#include "common/Text.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstring>

namespace quorvel::x11 {

namespace {

// Longest title read; searches look at the first 249 characters, FindWindow at all of it.
constexpr long kTitleLongs = 1024;

std::string latin1ToUtf8(const unsigned char *bytes, std::size_t n)
{
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        text::appendUtf8(out, bytes[i]);
    return out;
}

} // namespace

X11WindowProperties::X11WindowProperties(X11Connection &connection)
    : m_display(connection.display())
    , m_root(connection.root())
{
    m_atoms.clientListStacking = connection.atom("_NET_CLIENT_LIST_STACKING");
    m_atoms.activeWindow = connection.atom("_NET_ACTIVE_WINDOW");
    m_atoms.netWmName = connection.atom("_NET_WM_NAME");
    m_atoms.utf8String = connection.atom("UTF8_STRING");
    m_atoms.wmState = connection.atom("WM_STATE");
    m_atoms.supportingCheck = connection.atom("_NET_SUPPORTING_WM_CHECK");
    m_atoms.supported = connection.atom("_NET_SUPPORTED");
    m_atoms.netWmPid = connection.atom("_NET_WM_PID");
}

bool X11WindowProperties::read(XId w, XId prop, XId type, long longs,
    std::vector<unsigned char> &bytes, int &format, unsigned long &items)
{
    Atom actualType = None;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    items = 0;
    format = 0;
    if (XGetWindowProperty(
            m_display, w, prop, 0, longs, False, type, &actualType, &format, &items, &after, &data)
        != Success)
        return false;
    const bool ok = data && actualType != None && (type == AnyPropertyType || actualType == type);
    if (ok) {
        const std::size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        bytes.assign(data, data + items * unit);
    }
    if (data)
        XFree(data);
    return ok;
}

std::vector<XId> X11WindowProperties::ids(XId w, XId prop, XId type)
{
    std::vector<unsigned char> bytes;
    int format = 0;
    unsigned long items = 0;
    std::vector<XId> out;
    if (!read(w, prop, type, 1 << 16, bytes, format, items) || format != 32)
        return out;
    const auto *values = reinterpret_cast<const long *>(bytes.data());
    out.reserve(items);
    for (unsigned long i = 0; i < items; ++i)
        out.push_back(XId(values[i]));
    return out;
}

XId X11WindowProperties::id(XId w, XId prop, XId type)
{
    const auto v = ids(w, prop, type);
    return v.empty() ? 0 : v.front();
}

std::string X11WindowProperties::title(XId w)
{
    std::vector<unsigned char> bytes;
    int format = 0;
    unsigned long items = 0;
    // UTF-8 by definition, whatever type a careless client gave it.
    if (read(w, m_atoms.netWmName, AnyPropertyType, kTitleLongs, bytes, format, items)
        && format == 8)
        return text::toUtf8(
            std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    XTextProperty tp {};
    if (!XGetTextProperty(m_display, w, &tp, XA_WM_NAME) || !tp.value)
        return {};
    std::string out;
    // STRING is Latin-1, but clients put UTF-8 in it too; valid UTF-8 is taken as such
    // (Latin-1 titles hardly ever form it).
    if (tp.encoding == XA_STRING || tp.encoding == m_atoms.utf8String) {
        out = text::toUtf8(std::string_view(reinterpret_cast<const char *>(tp.value), tp.nitems));
    } else {
        // COMPOUND_TEXT and the like: Xlib converts them whatever our locale.
        char **list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(m_display, &tp, &list, &count) >= Success && list) {
            for (int i = 0; i < count; ++i)
                out += list[i];
            XFreeStringList(list);
        } else {
            out = latin1ToUtf8(tp.value, tp.nitems);
        }
    }
    XFree(tp.value);
    return out;
}

bool X11WindowProperties::isIconic(XId w)
{
    std::vector<unsigned char> bytes;
    int format = 0;
    unsigned long items = 0;
    if (!read(w, m_atoms.wmState, m_atoms.wmState, 2, bytes, format, items) || format != 32
        || items < 1)
        return false;
    long state = 0;
    std::memcpy(&state, bytes.data(), sizeof state);
    return state == IconicState;
}

long X11WindowProperties::pid(XId w)
{
    return long(id(w, m_atoms.netWmPid, XA_CARDINAL));
}

bool X11WindowProperties::hasWmState(XId w)
{
    std::vector<unsigned char> bytes;
    int format = 0;
    unsigned long items = 0;
    return read(w, m_atoms.wmState, m_atoms.wmState, 2, bytes, format, items);
}

bool X11WindowProperties::managerKeepsStacking()
{
    // The check window names itself only while its manager lives.
    const XId check = id(m_root, m_atoms.supportingCheck, XA_WINDOW);
    if (!check || id(check, m_atoms.supportingCheck, XA_WINDOW) != check)
        return false;
    const auto atoms = ids(m_root, m_atoms.supported, XA_ATOM);
    return std::find(atoms.begin(), atoms.end(), m_atoms.clientListStacking) != atoms.end();
}

std::vector<XId> X11WindowProperties::clientListStacking()
{
    return ids(m_root, m_atoms.clientListStacking, XA_WINDOW);
}

XId X11WindowProperties::managerActiveWindow()
{
    return id(m_root, m_atoms.activeWindow, XA_WINDOW);
}

X11WindowProperties::MapState X11WindowProperties::mapState(XId w)
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(m_display, w, &a))
        return MapState::Gone;
    switch (a.map_state) {
    case IsUnmapped:
        return MapState::Unmapped;
    case IsUnviewable:
        return MapState::Unviewable;
    default:
        return MapState::Viewable;
    }
}

bool X11WindowProperties::children(XId w, std::vector<XId> &out)
{
    Window rootReturn = 0, parent = 0, *list = nullptr;
    unsigned n = 0;
    if (!XQueryTree(m_display, w, &rootReturn, &parent, &list, &n))
        return false;
    out.insert(out.end(), list, list + n);
    if (list)
        XFree(list);
    return true;
}

bool X11WindowProperties::parentOf(XId w, XId &parent)
{
    Window rootReturn = 0, parentReturn = 0, *list = nullptr;
    unsigned n = 0;
    if (!XQueryTree(m_display, w, &rootReturn, &parentReturn, &list, &n))
        return false;
    if (list)
        XFree(list);
    parent = parentReturn;
    return true;
}

std::vector<XId> X11WindowProperties::topLevels()
{
    std::vector<XId> out;
    children(m_root, out);
    return out;
}

XId X11WindowProperties::topLevelOf(XId w)
{
    for (int depth = 0; depth < 16 && w; ++depth) {
        XId parent = 0;
        if (!parentOf(w, parent))
            return 0;
        if (parent == m_root || parent == 0)
            return w;
        w = parent;
    }
    return w;
}

// XmuClientWindow's rule, three levels deep.
XId X11WindowProperties::clientOf(XId top)
{
    if (hasWmState(top))
        return top;
    std::vector<XId> level { top };
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<XId> next;
        for (XId w : level)
            children(w, next);
        for (XId w : next) {
            if (hasWmState(w))
                return w;
        }
        level = std::move(next);
    }
    return top;
}

XId X11WindowProperties::inputFocus()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus > PointerRoot ? focus : 0;
}

bool X11WindowProperties::hasFocus(XId w)
{
    XId focus = inputFocus();
    for (int depth = 0; depth < 16 && focus; ++depth) {
        if (focus == w)
            return true;
        XId parent = 0;
        if (!parentOf(focus, parent) || parent == m_root)
            return false;
        focus = parent;
    }
    return false;
}

} // namespace quorvel::x11

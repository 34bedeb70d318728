// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/VirtualKeys.h"

#include "common/Text.h"
#include "platform/x11/KeysymUnicode.h"

#include <X11/keysym.h>

namespace quorvel::x11 {

unsigned long virtualKeyToKeysym(int vk)
{
    if (vk >= 0x30 && vk <= 0x39)
        return XK_0 + (vk - 0x30);
    if (vk >= 0x41 && vk <= 0x5A)
        return XK_a + (vk - 0x41);
    if (vk >= 0x60 && vk <= 0x69)
        return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87)
        return XK_F1 + (vk - 0x70);
    switch (vk) {
    case 0x03:
        return XK_Cancel;
    case 0x08:
        return XK_BackSpace;
    case 0x09:
        return XK_Tab;
    case 0x0C:
        return XK_Clear;
    case 0x0D:
        return XK_Return;
    case 0x10:
        return XK_Shift_L;
    case 0x11:
        return XK_Control_L;
    case 0x12:
        return XK_Alt_L;
    case 0x13:
        return XK_Pause;
    case 0x14:
        return XK_Caps_Lock;
    case 0x1B:
        return XK_Escape;
    case 0x20:
        return XK_space;
    case 0x21:
        return XK_Prior;
    case 0x22:
        return XK_Next;
    case 0x23:
        return XK_End;
    case 0x24:
        return XK_Home;
    case 0x25:
        return XK_Left;
    case 0x26:
        return XK_Up;
    case 0x27:
        return XK_Right;
    case 0x28:
        return XK_Down;
    case 0x29:
        return XK_Select;
    case 0x2A:
        return XK_Print;
    case 0x2B:
        return XK_Execute;
    case 0x2C:
        return XK_Print;
    case 0x2D:
        return XK_Insert;
    case 0x2E:
        return XK_Delete;
    case 0x2F:
        return XK_Help;
    case 0x5B:
        return XK_Super_L;
    case 0x5C:
        return XK_Super_R;
    case 0x5D:
        return XK_Menu;
    case 0x6A:
        return XK_KP_Multiply;
    case 0x6B:
        return XK_KP_Add;
    case 0x6C:
        return XK_KP_Separator;
    case 0x6D:
        return XK_KP_Subtract;
    case 0x6E:
        return XK_KP_Decimal;
    case 0x6F:
        return XK_KP_Divide;
    case 0x90:
        return XK_Num_Lock;
    case 0x91:
        return XK_Scroll_Lock;
    case 0xA0:
        return XK_Shift_L;
    case 0xA1:
        return XK_Shift_R;
    case 0xA2:
        return XK_Control_L;
    case 0xA3:
        return XK_Control_R;
    case 0xA4:
        return XK_Alt_L;
    case 0xA5:
        return XK_Alt_R;
    case 0xBA:
        return XK_semicolon;
    case 0xBB:
        return XK_equal;
    case 0xBC:
        return XK_comma;
    case 0xBD:
        return XK_minus;
    case 0xBE:
        return XK_period;
    case 0xBF:
        return XK_slash;
    case 0xC0:
        return XK_grave;
    case 0xDB:
        return XK_bracketleft;
    case 0xDC:
        return XK_backslash;
    case 0xDD:
        return XK_bracketright;
    case 0xDE:
        return XK_apostrophe;
    case 0xE2:
        return XK_less;
    default:
        return 0;
    }
}

int keysymToVirtualKey(unsigned long keysym)
{
    if (keysym >= XK_A && keysym <= XK_Z)
        return 0x41 + static_cast<int>(keysym - XK_A);
    switch (keysym) {
    case 0:
        return 0;
    case XK_Shift_R:
        return 0x10;
    case XK_Control_R:
        return 0x11;
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return 0x12;
    case XK_Print:
        return 0x2C;
    case XK_ISO_Left_Tab:
        return 0x09;
    case XK_KP_Enter:
        return 0x0D;
    case XK_KP_Begin:
        return 0x0C;
    case XK_KP_Prior:
        return 0x21;
    case XK_KP_Next:
        return 0x22;
    case XK_KP_End:
        return 0x23;
    case XK_KP_Home:
        return 0x24;
    case XK_KP_Left:
        return 0x25;
    case XK_KP_Up:
        return 0x26;
    case XK_KP_Right:
        return 0x27;
    case XK_KP_Down:
        return 0x28;
    case XK_KP_Insert:
        return 0x2D;
    case XK_KP_Delete:
        return 0x2E;
    default:
        break;
    }
    // The first code wins, so the side-less modifier codes come before the sided ones.
    for (int vk = 1; vk < 0xFF; ++vk) {
        if (virtualKeyToKeysym(vk) == keysym)
            return vk;
    }
    return 0;
}

std::string keyNameForVirtualKey(int vk)
{
    char32_t ch = keysymToUnicode(virtualKeyToKeysym(vk));
    if (ch <= 0x20)
        return {};
    if (ch >= U'a' && ch <= U'z')
        ch -= 0x20;
    std::string name;
    text::appendUtf8(name, ch);
    return name;
}

} // namespace quorvel::x11

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/NamedKeys.h"

namespace quorvel::portal {

NamedKey namedKey(KeyCode vk)
{
    // Letters in the order of the alphabet, digits from 0.
    static constexpr unsigned letters[26] = { 30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
        49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44 };
    static constexpr unsigned digits[10] = { 11, 2, 3, 4, 5, 6, 7, 8, 9, 10 };
    static constexpr unsigned keypad[10] = { 82, 79, 80, 81, 75, 76, 77, 71, 72, 73 };
    if (vk >= 0x41 && vk <= 0x5A)
        return { letters[vk - 0x41] };
    if (vk >= 0x30 && vk <= 0x39)
        return { digits[vk - 0x30] };
    if (vk >= 0x60 && vk <= 0x69)
        return { keypad[vk - 0x60], true };
    if (vk >= 0x70 && vk <= 0x79)
        return { 59 + unsigned(vk - 0x70) };
    if (vk >= 0x7C && vk <= 0x87)
        return { 183 + unsigned(vk - 0x7C) }; // F13 to F24
    switch (vk) {
    case 0x03:
        return { 223 };
    case 0x08:
        return { 14 };
    case 0x09:
        return { 15 };
    case 0x0D:
        return { 28 };
    case 0x10:
    case 0xA0:
        return { 42 };
    case 0x11:
    case 0xA2:
        return { 29 };
    case 0x12:
    case 0xA4:
        return { 56 };
    case 0x13:
        return { 119 };
    case 0x14:
        return { 58 };
    case 0x1B:
        return { 1 };
    case 0x20:
        return { 57 };
    case 0x21:
        return { 104 };
    case 0x22:
        return { 109 };
    case 0x23:
        return { 107 };
    case 0x24:
        return { 102 };
    case 0x25:
        return { 105 };
    case 0x26:
        return { 103 };
    case 0x27:
        return { 106 };
    case 0x28:
        return { 108 };
    case 0x29:
        return { 353 };
    case 0x2A:
    case 0x2C:
        return { 99 };
    case 0x2D:
        return { 110 };
    case 0x2E:
        return { 111 };
    case 0x2F:
        return { 138 };
    case 0x5B:
        return { 125 };
    case 0x5C:
        return { 126 };
    case 0x5D:
        return { 127 };
    case 0x6A:
        return { 55 };
    case 0x6B:
        return { 78 };
    case 0x6C:
        return { 121 };
    case 0x6D:
        return { 74 };
    case 0x6E:
        return { 83, true };
    case 0x6F:
        return { 98 };
    case 0x7A:
        return { 87 };
    case 0x7B:
        return { 88 };
    case 0x90:
        return { 69 };
    case 0x91:
        return { 70 };
    case 0xA1:
        return { 54 };
    case 0xA3:
        return { 97 };
    case 0xA5:
        return { 100 };
    case 0xAD:
        return { 113 };
    case 0xAE:
        return { 114 };
    case 0xAF:
        return { 115 };
    case 0xB0:
        return { 163 };
    case 0xB1:
        return { 165 };
    case 0xB2:
        return { 166 };
    case 0xB3:
        return { 164 };
    case 0xBA:
        return { 39 };
    case 0xBB:
        return { 13 };
    case 0xBC:
        return { 51 };
    case 0xBD:
        return { 12 };
    case 0xBE:
        return { 52 };
    case 0xBF:
        return { 53 };
    case 0xC0:
        return { 41 };
    case 0xDB:
        return { 26 };
    case 0xDC:
        return { 43 };
    case 0xDD:
        return { 27 };
    case 0xDE:
        return { 40 };
    case 0xE2:
        return { 86 };
    default:
        return {};
    }
}

} // namespace quorvel::portal

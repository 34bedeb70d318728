// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/THotKeyEdit.h"

#include <QKeyEvent>

namespace quorvel {

namespace {

unsigned modifiersOf(const QKeyEvent &event)
{
    const auto mods = event.modifiers();
    unsigned bits = 0;
    if (mods & Qt::ShiftModifier)
        bits |= hotkey::Shift;
    if (mods & Qt::ControlModifier)
        bits |= hotkey::Ctrl;
    if (mods & Qt::AltModifier)
        bits |= hotkey::Alt;
    return bits;
}

} // namespace

THotKeyEdit::THotKeyEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    showModel();
}

void THotKeyEdit::setKeyLookups(KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName)
{
    m_virtualKeyOfKeycode = std::move(virtualKeyOfKeycode);
    const auto value = m_model.HotKey();
    m_model = HotKeyBoxModel(std::move(keyName));
    m_model.SetHotKey(value);
    showModel();
}

void THotKeyEdit::SetHotKey(unsigned value)
{
    const auto before = m_model.HotKey();
    m_model.SetHotKey(value);
    showModel();
    if (m_model.HotKey() != before)
        emit hotKeyChanged(m_model.HotKey());
}

int THotKeyEdit::virtualKeyOfQtKey(int key, bool keypad)
{
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 0x60 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return 0x6A;
        case Qt::Key_Plus:
            return 0x6B;
        case Qt::Key_Comma:
            return 0x6C;
        case Qt::Key_Minus:
            return 0x6D;
        case Qt::Key_Period:
            return 0x6E;
        case Qt::Key_Slash:
            return 0x6F;
        default:
            break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 0x41 + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x30 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Clear:
        return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Meta:
        return 0x5B;
    case Qt::Key_Menu:
        return 0x5D;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    // A shifted symbol stands for the key that types it on a US keyboard.
    case Qt::Key_Exclam:
        return 0x31;
    case Qt::Key_At:
        return 0x32;
    case Qt::Key_NumberSign:
        return 0x33;
    case Qt::Key_Dollar:
        return 0x34;
    case Qt::Key_Percent:
        return 0x35;
    case Qt::Key_AsciiCircum:
        return 0x36;
    case Qt::Key_Ampersand:
        return 0x37;
    case Qt::Key_Asterisk:
        return 0x38;
    case Qt::Key_ParenLeft:
        return 0x39;
    case Qt::Key_ParenRight:
        return 0x30;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 0xDD;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 0xDE;
    default:
        return 0;
    }
}

int THotKeyEdit::virtualKeyOf(const QKeyEvent &event) const
{
    // The keycode names the key whatever the modifiers made it type, so Shift+1 stays "1".
    if (m_virtualKeyOfKeycode && event.nativeScanCode() != 0) {
        if (const int vk = m_virtualKeyOfKeycode(event.nativeScanCode()))
            return vk;
    }
    return virtualKeyOfQtKey(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0);
}

bool THotKeyEdit::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Mnemonics, the default button and Esc must not take a key meant for the box.
        event->accept();
        return true;
    case QEvent::KeyPress:
        // Straight to the box, before Tab can move the focus.
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    default:
        return QLineEdit::event(event);
    }
}

void THotKeyEdit::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    const auto before = m_model.HotKey();
    if (m_model.keyDown(virtualKeyOf(*event), modifiersOf(*event)))
        showModel();
    if (m_model.HotKey() != before)
        emit hotKeyChanged(m_model.HotKey());
}

void THotKeyEdit::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
    if (m_model.keyUp(virtualKeyOf(*event), modifiersOf(*event)))
        showModel();
    // F1 alone is no hot key; the window opens the help on its release.
    constexpr auto held =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->key() == Qt::Key_F1 && !(event->modifiers() & held))
        event->ignore();
}

void THotKeyEdit::focusInEvent(QFocusEvent *event)
{
    // A combination another client has grabbed, or one of our own hot keys, would otherwise
    // never reach the box: the grab's owner would get it.
    grabKeyboard();
    QLineEdit::focusInEvent(event);
}

void THotKeyEdit::focusOutEvent(QFocusEvent *event)
{
    releaseKeyboard();
    if (m_model.releaseAll())
        showModel();
    QLineEdit::focusOutEvent(event);
}

void THotKeyEdit::hideEvent(QHideEvent *event)
{
    releaseKeyboard();
    QLineEdit::hideEvent(event);
}

bool THotKeyEdit::focusNextPrevChild(bool /*next*/)
{
    return false;
}

void THotKeyEdit::showModel()
{
    setText(QString::fromStdString(m_model.text()));
}

} // namespace quorvel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components/HotKeyBoxModel.h"

#include <QLineEdit>
#include <functional>

namespace quorvel {

// The hot-key box: takes one key combination from the keys pressed in it, every key a user
// can grab included (Tab and Backspace too), and shows it read-only. Its accessible name is
// set by the form that uses it.
class THotKeyEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(unsigned HotKey READ HotKey WRITE SetHotKey NOTIFY hotKeyChanged)

public:
    using KeycodeLookup = std::function<int(unsigned keycode)>;

    explicit THotKeyEdit(QWidget *parent = nullptr);

    // The platform's key table and key names; without them the toolkit's key and the US
    // layout's names are used.
    void setKeyLookups(KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName);

    unsigned HotKey() const { return m_model.HotKey(); }
    void SetHotKey(unsigned value);

    // The virtual-key code of a toolkit key (a shifted symbol gives its key on a US keyboard),
    // keypad keys as keypad codes when keypad is set; 0 when there is none.
    static int virtualKeyOfQtKey(int key, bool keypad);

signals:
    void hotKeyChanged(unsigned value);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    int virtualKeyOf(const QKeyEvent &event) const;
    void showModel();

    HotKeyBoxModel m_model;
    KeycodeLookup m_virtualKeyOfKeycode;
};

} // namespace quorvel

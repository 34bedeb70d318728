// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components/MenuButtonModel.h"

#include <QPushButton>
#include <QStringList>

class QMenu;

namespace quorvel {

// A push button that drops a menu of text items below itself. clicked is raised on the press,
// before the menu opens; changed(ItemIndex) after a choice.
class TEPMenuButton : public QPushButton, private MenuButtonView
{
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(bool ShowCheckmark READ ShowCheckmark WRITE SetShowCheckmark)
    Q_PROPERTY(int modalResult READ modalResult WRITE setModalResult)

public:
    explicit TEPMenuButton(QWidget *parent = nullptr);
    explicit TEPMenuButton(const QString &text, QWidget *parent = nullptr);

    int ItemIndex() const { return m_model.ItemIndex(); }
    void SetItemIndex(int value) { m_model.SetItemIndex(value); }
    QStringList Items() const;
    void SetItems(const QStringList &items);
    bool ShowCheckmark() const { return m_model.ShowCheckmark(); }
    void SetShowCheckmark(bool value) { m_model.SetShowCheckmark(value); }
    int modalResult() const { return m_model.modalResult(); }
    void setModalResult(int value) { m_model.setModalResult(value); }

    bool menuOpen() const { return m_model.menuOpen(); }
    // The menu while it is up, for tests and assistive tools.
    QMenu *openedMenu() const { return m_menu; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void changed(int itemIndex);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void raiseClick() override;
    void raiseChange() override;
    void setFormModalResult(int result) override;
    void showMenuOpen(bool open) override;
    std::optional<unsigned> runMenu(const std::vector<MenuEntry> &entries) override;
    void discardQueuedClicks() override;

    void clickedElsewhere();
    bool discarding(QMouseEvent *event) const;

    MenuButtonModel m_model { *this };
    QMenu *m_menu = nullptr;
    // Set while the button raises the click itself, so its own click opens no second menu.
    bool m_raisingClick = false;
    bool m_discardClicks = false;
};

} // namespace quorvel

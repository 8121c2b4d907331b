#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QActionGroup;
class QMenu;
class QPoint;
class QWidget;

namespace bryndle {

class ShingetsuBrowserPage;

// The settings menu of the thread pages, one for the whole process: "テーマ" with one radio item
// per theme, and "表示件数の変更". The first thread page builds it under its window; a page
// shows it under its settings item, and the items then act on that page.
class SettingsMenu : public QObject {
    Q_OBJECT

public:
    // The menu, built under the shell when there is none yet (or its window has gone).
    static SettingsMenu& ensure(QWidget* shell);
    // The menu, or null before the first thread page.
    static SettingsMenu* existing();
    // The folders directly inside the configured theme root, by name; read once per process.
    static QStringList themes();

    QMenu* menu() const { return menu_; }
    QMenu* themeMenu() const { return themeMenu_; }
    QAction* itemsPerPageItem() const { return itemsPerPage_; }
    // The theme items, in menu order.
    QList<QAction*> themeItems() const;
    // Shows the menu at the screen position; its items act on the page.
    void popup(ShingetsuBrowserPage* page, const QPoint& at);
    void hide();
    // The page that showed the menu last, while it is open.
    ShingetsuBrowserPage* page() const { return page_; }

private:
    explicit SettingsMenu(QMenu* menu);
    // The configured theme's item is the checked one.
    void checkConfiguredTheme();

    QMenu* menu_;
    QMenu* themeMenu_;
    QActionGroup* themeGroup_;
    QAction* itemsPerPage_;
    QPointer<ShingetsuBrowserPage> page_;
};

} // namespace bryndle

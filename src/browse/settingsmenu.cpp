#include "browse/settingsmenu.h"

#include "browse/shingetsubrowserpage.h"
#include "config/configuration.h"
#include "shell/icon.h"

#include <QActionGroup>
#include <QDir>
#include <QMenu>

#include <optional>

namespace bryndle {

namespace {

QPointer<SettingsMenu>& current() {
    static QPointer<SettingsMenu> menu;
    return menu;
}

QIcon iconNamed(const char* name) {
    return hasIcon(name) ? QIcon(getIcon(name)) : QIcon();
}

} // namespace

QStringList SettingsMenu::themes() {
    static std::optional<QStringList> names;
    if (!names) {
        const QDir root(QString::fromStdString(
            Configuration::resolvePath(Configuration::instance().themeRoot())));
        names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    return *names;
}

SettingsMenu& SettingsMenu::ensure(QWidget* shell) {
    if (!current()) {
        auto* menu = new QMenu(shell);
        menu->setObjectName(QStringLiteral("settingsMenu"));
        current() = new SettingsMenu(menu);
    }
    return *current();
}

SettingsMenu* SettingsMenu::existing() {
    return current();
}

SettingsMenu::SettingsMenu(QMenu* menu)
    : QObject(menu), menu_(menu), themeMenu_(new QMenu(QStringLiteral("テーマ"), menu)),
      themeGroup_(new QActionGroup(this)) {
    themeMenu_->setObjectName(QStringLiteral("themeMenu"));
    themeMenu_->setIcon(iconNamed("color_swatch"));
    themeGroup_->setExclusive(true);
    for (const QString& name : themes()) {
        QAction* item = themeMenu_->addAction(name);
        item->setCheckable(true);
        themeGroup_->addAction(item);
        connect(item, &QAction::triggered, this, [this, name] {
            if (page_)
                page_->selectTheme(name);
        });
    }
    checkConfiguredTheme();
    menu_->addMenu(themeMenu_);
    menu_->addSeparator();
    itemsPerPage_ = menu_->addAction(iconNamed("cog"), QStringLiteral("表示件数の変更"));
    itemsPerPage_->setObjectName(QStringLiteral("itemsPerPageItem"));
    connect(itemsPerPage_, &QAction::triggered, this, [this] {
        if (page_)
            page_->changeItemsPerPage();
    });
}

QList<QAction*> SettingsMenu::themeItems() const {
    return themeMenu_->actions();
}

void SettingsMenu::checkConfiguredTheme() {
    const QString configured = QString::fromStdString(Configuration::instance().themeName());
    for (QAction* item : themeItems())
        item->setChecked(item->text().compare(configured, Qt::CaseInsensitive) == 0);
}

void SettingsMenu::popup(ShingetsuBrowserPage* page, const QPoint& at) {
    page_ = page;
    checkConfiguredTheme();
    menu_->popup(at);
}

void SettingsMenu::hide() {
    menu_->hide();
}

} // namespace bryndle

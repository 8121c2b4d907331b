#include "browse/tabfolder.h"

#include "browse/browsertabpage.h"

#include <QTabBar>

namespace bryndle {

namespace {

QString displayText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            shown += QLatin1String("&&");
        else if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace

TabFolder::TabFolder(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("tabFolder"));
    setTabPosition(North);
    setTabsClosable(true);
    setMovable(false);
    setDocumentMode(false);
    tabBar()->setExpanding(false);
    tabBar()->setElideMode(Qt::ElideRight);
    // List colours; the selected tab as a title bar: title text on a vertical gradient of the
    // title colour, lighter towards the bottom.
    const QColor title = palette().color(QPalette::Active, QPalette::Highlight);
    setStyleSheet(
        QStringLiteral(
            "QTabWidget::pane { border: 1px solid palette(mid); background: palette(base); }"
            "QTabBar::tab { height: 22px; padding: 0 6px; margin-right: 1px;"
            " color: palette(text); background: palette(base);"
            " border: 1px solid palette(mid); border-bottom: none;"
            " border-top-left-radius: 6px; border-top-right-radius: 6px; }"
            "QTabBar::tab:selected { color: palette(highlighted-text);"
            " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:0.5 %2,"
            " stop:1 %3); }")
            .arg(title.name(), title.lighter(120).name(), title.lighter(140).name()));
    connect(this, &QTabWidget::tabCloseRequested, this, &TabFolder::disposeItem);
}

void TabFolder::disposeItem(int index) {
    QWidget* contents = widget(index);
    if (!contents)
        return;
    removeTab(index);
    emit itemDisposed(contents);
    contents->hide();
    contents->deleteLater();
}

void TabFolder::disposeAll() {
    while (count() > 0)
        disposeItem(0);
}

BrowserTabPage* TabFolder::pageAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return qobject_cast<BrowserTabPage*>(tabBar()->tabData(index).value<QObject*>());
}

void TabFolder::setPageAt(int index, BrowserTabPage* page) {
    tabBar()->setTabData(index, QVariant::fromValue<QObject*>(page));
}

void TabFolder::setItemText(int index, const QString& text) {
    setTabText(index, displayText(text));
    widget(index)->setProperty("bryndleTabText", text);
}

QString TabFolder::itemText(int index) const {
    const QWidget* contents = widget(index);
    return contents ? contents->property("bryndleTabText").toString() : QString();
}

} // namespace bryndle

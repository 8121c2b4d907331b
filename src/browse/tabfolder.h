#pragma once

#include <QTabWidget>

namespace bryndle {

class BrowserTabPage;

// The tab folder of the tab browser: one tab per page, each tab carrying its page. Disposing a
// tab removes it, tells the pages (itemDisposed) and deletes its contents once control has
// returned to the event loop.
class TabFolder : public QTabWidget {
    Q_OBJECT

public:
    explicit TabFolder(QWidget* parent);

    void disposeItem(int index);
    // Every tab, in folder order.
    void disposeAll();

    // The page a tab carries, or null.
    BrowserTabPage* pageAt(int index) const;
    void setPageAt(int index, BrowserTabPage* page);
    BrowserTabPage* selectedPage() const { return pageAt(currentIndex()); }

    // Tab texts are plain text: an "&" is no mnemonic and control characters show as escapes.
    void setItemText(int index, const QString& text);
    QString itemText(int index) const;

signals:
    void itemDisposed(QWidget* contents);
};

} // namespace bryndle

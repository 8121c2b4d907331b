#pragma once

#include "browse/tabfolder.h"

#include <QComboBox>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

namespace bryndle {

class CBrowser;

// A tab of the tab browser. The page owns the widgets of its tab (its contents) and lives as
// long as they do; closing the tab disposes it, once.
class BrowserTabPage : public QObject {
    Q_OBJECT

public:
    using StateChangedHandler = std::function<void()>;
    using NewPageHandler = std::function<void(BrowserTabPage*)>;

    // "shingetsu://" at position 0 makes a thread page, anything else a web page; the page is
    // not opened.
    static BrowserTabPage* createPage(TabFolder* folder, const QString& location, int style);

    ~BrowserTabPage() override;

    int getStyle() const { return style_; }
    virtual void onTabItemDisposed();
    bool isSelected() const;
    void setStatusLabel(QLabel* label);
    // Shown only while the page's tab is selected.
    void setStatusText(const QString& text);
    void setAddressField(QComboBox* field);
    // 0 when the page shows the location.
    virtual int compareLocation(const QString& location) const;
    // Shown only while the page's tab is selected.
    void setAddressText(const QString& text);
    void setStateChangedHandler(StateChangedHandler handler);
    void notifyStateChanged();
    void setNewPageHandler(NewPageHandler handler);
    void notifyNewPage(BrowserTabPage* page);
    QWidget* getContents() const { return contents_; }

    // The page class's name.
    virtual QString kind() const = 0;
    virtual void open(const QString& location) = 0;
    virtual QString getLocation() const = 0;
    virtual void refresh() = 0;
    virtual void forward() = 0;
    virtual void back() = 0;
    virtual void stop() = 0;
    virtual bool isLoading() const = 0;
    virtual bool isForwardEnabled() const = 0;
    virtual bool isBackEnabled() const = 0;

    // The page of the folder's selected tab.
    BrowserTabPage* selectedPage() const;
    virtual CBrowser* getBrowser() const { return nullptr; }
    // Acts once: drops the page's references to its tab and to the tab browser's widgets.
    virtual void dispose();
    bool isDisposed() const { return disposed_; }
    void setImage(const QPixmap& image);
    QPixmap getImage() const { return image_; }
    virtual void setTitle(const QString& text);
    QString getTitle() const;
    TabFolder* getTabFolder() const { return folder_; }
    // The tab's index in the folder; -1 once it is gone.
    int getTabItem() const;
    void setData(const QString& key, const QVariant& value);
    QVariant getData(const QString& key) const;
    // A page for a new window, announced to the new-page handler and not opened.
    BrowserTabPage* openNewPage(const QString& location, int style);

protected:
    // Makes the contents; the concrete class's constructor calls construct() at its end.
    BrowserTabPage(TabFolder* folder, int style);
    // Adds the tab, builds the contents (createContents) and selects the tab.
    void construct();
    virtual void createContents(QWidget* contents) = 0;

private:
    bool disposed_ = false;
    StateChangedHandler stateChanged_;
    NewPageHandler newPage_;
    QPointer<TabFolder> folder_;
    int style_;
    QPointer<QWidget> contents_;
    QPointer<QLabel> statusLabel_;
    QPointer<QComboBox> addressField_;
    QPixmap image_;
};

} // namespace bryndle

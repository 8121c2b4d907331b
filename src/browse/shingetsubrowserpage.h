#pragma once

#include "browse/browsertabpage.h"

class QLabel;

namespace bryndle {

// Minimal stand-in for the thread page tab until it is built: it shows its location as text and
// takes the thread's title as its tab text. No loading, no history.
class ShingetsuBrowserPage : public BrowserTabPage {
    Q_OBJECT

public:
    ShingetsuBrowserPage(const QString& location, TabFolder* folder, int style);

    QString kind() const override { return QStringLiteral("ShingetsuBrowserPage"); }
    void open(const QString& location) override;
    QString getLocation() const override { return location_; }
    void refresh() override { open(location_); }
    void forward() override {}
    void back() override {}
    void stop() override {}
    bool isLoading() const override { return false; }
    bool isForwardEnabled() const override { return false; }
    bool isBackEnabled() const override { return false; }

protected:
    void createContents(QWidget* contents) override;

private:
    QString location_;
    QLabel* label_ = nullptr;
};

} // namespace bryndle

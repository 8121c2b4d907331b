#pragma once

// A main window content for the window's own tests: one empty area filling the window, and a
// record of what the window asked of it.

#include "shell/maincomposite.h"
#include "shell/mainform.h"

#include <QLayout>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace bryndle::test {

class RecordingComposite : public MainComposite {
public:
    explicit RecordingComposite(QWidget* parent) : MainComposite("RevuVuzidiv"), parent_(parent) {}

    void onNewThreads() override { calls << QStringLiteral("onNewThreads"); }
    void onSubscribedThreads() override { calls << QStringLiteral("onSubscribedThreads"); }
    void onExit() override { calls << QStringLiteral("onExit"); }
    void createControls() override {
        calls << QStringLiteral("createControls");
        area = new QWidget(parent_);
        if (QLayout* layout = parent_->layout())
            layout->addWidget(area);
    }
    void openLocation(const QString& location) override { unopenedLocations << location; }

    QStringList calls;
    QStringList unopenedLocations;
    QPointer<QWidget> area;

    static MainForm::LayoutFactory factory() {
        return [](QWidget* parent) { return std::make_unique<RecordingComposite>(parent); };
    }
    static RecordingComposite* of(const MainForm& form) {
        return static_cast<RecordingComposite*>(form.mainComposite());
    }

private:
    QWidget* parent_;
};

} // namespace bryndle::test

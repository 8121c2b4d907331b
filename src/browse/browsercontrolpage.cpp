#include "browse/browsercontrolpage.h"

#include "browse/browsercontrol.h"
#include "toolkit/filedialog.h"
#include "toolkit/messagebox.h"

#include <QPointer>
#include <QTimer>

namespace bryndle {

BrowserControlPage::BrowserControlPage(QWebEngineProfile* profile, BrowserControl* control)
    : QWebEnginePage(profile, control), control_(control) {
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            &BrowserControlPage::onPermissionRequested);
}

bool BrowserControlPage::acceptNavigationRequest(const QUrl& url, NavigationType type,
                                                 bool isMainFrame) {
    if (!control_)
        return url == QUrl(QStringLiteral("about:blank")) || url == start_;
    // Called from inside the engine: nothing may escape from here.
    try {
        return control_->onNavigationRequest(url, type, isMainFrame);
    } catch (...) {
        return false;
    }
}

void BrowserControlPage::adopt(BrowserControl* control) {
    setParent(control);
    control_ = control;
}

void BrowserControlPage::start(const QUrl& url) {
    start_ = url;
    load(url);
}

QWebEnginePage* BrowserControlPage::createWindow(WebWindowType) {
    if (!control_)
        return nullptr;
    try {
        return control_->onNewWindow();
    } catch (...) {
        return nullptr;
    }
}

QStringList BrowserControlPage::chooseFiles(FileSelectionMode, const QStringList&,
                                            const QStringList&) {
    if (!control_)
        return {};
    try {
        const QString file =
            FileDialog::instance().openFile(control_->window(), QStringLiteral("*"));
        return file.isEmpty() ? QStringList() : QStringList{file};
    } catch (...) {
        return {};
    }
}

QString BrowserControlPage::permissionQuestion(const QUrl& origin, Feature feature) {
    QString what;
    switch (feature) {
    case Geolocation:
        what = QStringLiteral("位置情報");
        break;
    case MediaAudioCapture:
        what = QStringLiteral("マイク");
        break;
    case MediaVideoCapture:
        what = QStringLiteral("カメラ");
        break;
    case MediaAudioVideoCapture:
        what = QStringLiteral("カメラとマイク");
        break;
    case Notifications:
        what = QStringLiteral("通知");
        break;
    case MouseLock:
        what = QStringLiteral("マウスポインタの固定");
        break;
    case DesktopVideoCapture:
        what = QStringLiteral("画面の取り込み");
        break;
    case DesktopAudioVideoCapture:
        what = QStringLiteral("画面と音声の取り込み");
        break;
    }
    if (what.isEmpty())
        return {};
    return QStringLiteral("%1 が%2の使用を求めています。許可しますか?")
        .arg(origin.toDisplayString(), what);
}

void BrowserControlPage::onPermissionRequested(const QUrl& origin, Feature feature) {
    // Asked once the engine's call has returned: a modal box must not run inside it.
    QPointer<BrowserControlPage> self(this);
    QTimer::singleShot(0, this, [self, origin, feature] {
        if (!self)
            return;
        const QString question = permissionQuestion(origin, feature);
        bool granted = false;
        if (!question.isEmpty() && self->control_) {
            try {
                granted = MessageBox::instance().open(
                              self->control_->window(), MessageBox::programFileTitle(), question,
                              MessageBox::Icon::Question,
                              MessageBox::Yes | MessageBox::No) == MessageBox::Yes;
            } catch (...) {
                granted = false;
            }
        }
        if (self)
            self->setFeaturePermission(origin, feature,
                                       granted ? PermissionGrantedByUser : PermissionDeniedByUser);
    });
}

} // namespace bryndle

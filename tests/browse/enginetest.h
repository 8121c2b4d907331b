#pragma once

// Driving a page of the engine as a user would: scripts of the tests' own (the pages run none),
// mouse clicks on elements, text typed or committed by an input method.

#include <QInputMethodEvent>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace bryndle::test {

inline QVariant evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return result;
}

inline QString plainText(QWebEnginePage* page) {
    QString text;
    bool done = false;
    page->toPlainText([&](const QString& value) {
        text = value;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return text;
}

// The middle of the element with the id, scrolled into view; a null point when there is none.
inline QPoint elementCentre(QWebEnginePage* page, const QString& id) {
    const QVariantList at =
        evaluate(page, QStringLiteral("(function() { var e = document.getElementById('%1');"
                                      " if (!e) return [];"
                                      " e.scrollIntoView({block: 'center'});"
                                      " var r = e.getBoundingClientRect();"
                                      " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                           .arg(id))
            .toList();
    if (at.size() != 2)
        return {};
    return QPoint(qRound(at[0].toDouble()), qRound(at[1].toDouble()));
}

// A mouse click on the element; false when it is not there.
inline bool clickElement(QWebEngineView* view, const QString& id) {
    const QPoint at = elementCentre(view->page(), id);
    QWidget* surface = view->focusProxy();
    if (at.isNull() || !surface)
        return false;
    QTest::mouseMove(surface, at);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, at);
    return true;
}

// Text as an input method hands it over (any script, Japanese included) into the focused field.
inline void commitText(QWebEngineView* view, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(view->focusProxy(), &event);
}

} // namespace bryndle::test

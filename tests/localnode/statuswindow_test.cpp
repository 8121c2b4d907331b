#include "statuswindow.h"

#include "support/tempdir.h"

#include <QCoreApplication>
#include <QtTest>

namespace bryndle {

class StatusWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsCountsAndTheLastRequests() {
        test::TempDir dir;
        NodeStore store(dir.file("node.db"));
        store.addRecord("a", NodeStore::makeRecord(1, "body:x"));
        store.addRecord("a", NodeStore::makeRecord(2, "body:y"));
        store.registerThread("b", 3);
        NodeActivity activity;
        activity.add({0, "GET", "/server.cgi/have/thread_61", 200});
        activity.add({0, "POST", "/thread.cgi", 302});

        StatusWindow window(store, activity, 8123);
        QCOMPARE(window.portText(), QStringLiteral("8123"));
        QCOMPARE(window.threadText(), QStringLiteral("2"));
        QCOMPARE(window.recordText(), QStringLiteral("2"));
        QStringList lines = window.requestLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains(QStringLiteral("POST /thread.cgi  302")));
        QVERIFY(lines[1].contains(QStringLiteral("GET /server.cgi/have/thread_61  200")));

        store.addRecord("c", NodeStore::makeRecord(4, "body:z"));
        activity.add({0, "GET", "/", 200});
        window.refresh();
        QCOMPARE(window.threadText(), QStringLiteral("3"));
        QCOMPARE(window.recordText(), QStringLiteral("3"));
        QCOMPARE(window.requestLines().size(), 3);
    }

    void followsTheNativeMappingAndOnlyItsLastState() {
        test::TempDir dir;
        NodeStore store(dir.file("node.db"));
        NodeActivity activity;
        StatusWindow window(store, activity, 8000);
        window.winId();
        QVERIFY(!window.isVisible());

        window.followNativeMapping(true);
        // Acts once the queued events run, not inside the native event.
        QVERIFY(!window.isVisible());
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());

        window.followNativeMapping(false);
        QCoreApplication::processEvents();
        QVERIFY(!window.isVisible());

        // Mapped and unmapped again before Qt got to it: stays hidden.
        window.followNativeMapping(true);
        window.followNativeMapping(false);
        QCoreApplication::processEvents();
        QVERIFY(!window.isVisible());

        // Closing the window hides it; the node keeps running.
        window.followNativeMapping(true);
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
        QVERIFY(!window.close());
        QVERIFY(!window.isVisible());
    }
};

} // namespace bryndle

QTEST_MAIN(bryndle::StatusWindowTest)
#include "statuswindow_test.moc"

#include "browse/browsercontrol.h"
#include "browse/browsercontrolpage.h"
#include "browsetest.h"
#include "loopbackserver.h"

#include <QFile>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>

using namespace bryndle;
using namespace bryndle::test;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A stylesheet that turns <doc><item id=".."/>...</doc> into paragraphs with those ids.
const QByteArray Stylesheet = R"(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8"/>
<xsl:template match="/doc"><html><head><title><xsl:value-of select="@title"/></title></head>
<body><xsl:copy-of select="a"/><xsl:for-each select="item">
<p id="{@id}" style="height:40px"><xsl:value-of select="."/></p></xsl:for-each></body></html>
</xsl:template></xsl:stylesheet>
)";

QByteArray document(const QString& stylesheet, int items, const QByteArray& links = {}) {
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<?xml-stylesheet type=\"text/xsl\" href=\"" +
                      stylesheet.toUtf8() + "\"?>\n<doc title=\"Rendered\">" + links;
    for (int i = 0; i < items; ++i)
        text += "<item id=\"r" + QByteArray::number(i) + "\">record " + QByteArray::number(i) +
                " " + QByteArray(40, 'x') + "</item>";
    return text + "</doc>\n";
}

QVariant evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    for (int i = 0; i < 200 && !done; ++i)
        spin(25);
    return result;
}

} // namespace

class BrowserControlTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fixture_;
    LoopbackServer server_;

    std::unique_ptr<BrowserControl> shown() {
        auto control = std::make_unique<BrowserControl>(nullptr, 0);
        control->resize(640, 480);
        control->show();
        return control;
    }

private slots:
    void initTestCase() {
        fixture_ = std::make_unique<BrowseFixture>();
        server_.page("/", "Main",
                     "<a id='pop' href='/second' target='_blank'>new</a>"
                     "<a id='same' href='/second'>same</a>");
        server_.page("/second", "Second");
        writeFile(fixture_->file("style.xsl"), Stylesheet);
    }

    void reportsTheEventsOfAWebPage() {
        auto control = shown();
        int changing = 0;
        connect(control.get(), &BrowserControl::locationChanging,
                [&](LocationEvent*) { ++changing; });
        QSignalSpy changed(control.get(), &BrowserControl::locationChanged);
        QSignalSpy titles(control.get(), &BrowserControl::titleChanged);
        QSignalSpy progress(control.get(), &BrowserControl::progressChanged);
        QSignalSpy completed(control.get(), &BrowserControl::completed);
        QVERIFY(control->location().isEmpty());
        control->navigate(server_.url("/"));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 20000);
        QCOMPARE(changing, 1);
        QCOMPARE(control->location(), server_.url("/"));
        QCOMPARE(changed.last().at(0).toString(), server_.url("/"));
        QTRY_COMPARE(titles.last().at(0).toString(), QStringLiteral("Main"));
        QCOMPARE(progress.last().at(0).toInt(), progress.last().at(1).toInt());
        QVERIFY(!control->isBackEnabled());

        control->navigate(server_.url("/second"));
        QTRY_COMPARE_WITH_TIMEOUT(control->location(), server_.url("/second"), 10000);
        QTRY_VERIFY(control->isBackEnabled());
        QVERIFY(!control->isForwardEnabled());
        control->back();
        QTRY_COMPARE_WITH_TIMEOUT(control->location(), server_.url("/"), 10000);
        QTRY_VERIFY(control->isForwardEnabled());
    }

    void aCancelledChangeLoadsNothing() {
        auto control = shown();
        const int before = server_.count("/second");
        connect(control.get(), &BrowserControl::locationChanging,
                [](LocationEvent* event) { event->doit = false; });
        control->navigate(server_.url("/second"));
        spin(1500);
        QCOMPARE(server_.count("/second"), before);
        QVERIFY(control->location().isEmpty());
    }

    void aNewWindowGoesToTheBrowserTheHandlerGives() {
        auto control = shown();
        BrowserControl receiver(nullptr, 0);
        connect(control.get(), &BrowserControl::newWindow,
                [&receiver](WindowEvent* event) { event->browser = &receiver; });
        control->navigate(server_.url("/"));
        QTRY_COMPARE_WITH_TIMEOUT(control->page()->title(), QStringLiteral("Main"), 20000);
        evaluate(control->page(), QStringLiteral("document.getElementById('pop').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.location(), server_.url("/second"), 10000);
        QCOMPARE(control->location(), server_.url("/"));
    }

    void showsAnHtmlTextAsAboutBlank() {
        auto control = shown();
        QSignalSpy completed(control.get(), &BrowserControl::completed);
        control->setText(QStringLiteral("<html><body><h1 id='t'>エラーです</h1></body></html>"));
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 10000);
        QCOMPARE(control->location(), QStringLiteral("about:blank"));
        QCOMPARE(
            evaluate(control->page(), QStringLiteral("document.getElementById('t').textContent"))
                .toString(),
            QStringLiteral("エラーです"));
    }

    // A local XML document with a stylesheet is shown transformed, as a page of its folder.
    void showsAStyledDocumentAsItsOwnLocation() {
        const QString path = fixture_->file("small.xml");
        writeFile(fixture_->file("sibling.html"),
                  "<html><head><title>Sibling</title></head></html>");
        writeFile(path, document(fixture_->file("style.xsl"), 3,
                                 "<a id=\"rel\" href=\"sibling.html\">s</a>"));
        auto control = shown();
        QStringList changing;
        connect(control.get(), &BrowserControl::locationChanging,
                [&](LocationEvent* event) { changing << event->location; });
        QSignalSpy titles(control.get(), &BrowserControl::titleChanged);
        QSignalSpy status(control.get(), &BrowserControl::statusTextChanged);
        control->navigate(path + QStringLiteral("#r1"));
        const QString location = QUrl::fromLocalFile(path).toString() + QStringLiteral("#r1");
        QTRY_COMPARE_WITH_TIMEOUT(control->location(), location, 10000);
        QCOMPARE(changing, QStringList{location});
        QTRY_COMPARE(titles.last().at(0).toString(), QStringLiteral("Rendered"));
        QVERIFY(QFile::exists(BrowserControl::renderedFile(path)));
        QCOMPARE(
            evaluate(control->page(), QStringLiteral("document.getElementById('r2').textContent"))
                .toString()
                .left(8),
            QStringLiteral("record 2"));

        // Hovering an anchor of the shown file reads as the document, not the HTML beside it.
        emit control->page()->linkHovered(
            QUrl::fromLocalFile(BrowserControl::renderedFile(path)).toString() + "#r2");
        QCOMPARE(status.last().at(0).toString(),
                 QUrl::fromLocalFile(path).toString() + QStringLiteral("#r2"));

        // Relative links resolve in the document's folder.
        evaluate(control->page(), QStringLiteral("document.getElementById('rel').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(control->location(),
                                  QUrl::fromLocalFile(fixture_->file("sibling.html")).toString(),
                                  10000);
    }

    // A large document is transformed while the window goes on; whatever is shown next wins
    // over a transform still under way, whose page never appears nor stays on disk.
    void aTransformGivesWayToTheWindowAndToNewerPages() {
        const QString small = fixture_->file("after.xml");
        writeFile(small, document(fixture_->file("style.xsl"), 2));
        QStringList large;
        for (const char* name : {"slow1.xml", "slow2.xml", "slow3.xml"}) {
            large << fixture_->file(name);
            writeFile(large.last(), document(fixture_->file("style.xsl"), 60000));
        }
        auto control = shown();
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (!QFile::exists(BrowserControl::renderedFile(large[0])))
                ++ticks;
        });
        timer.start(5);
        QSignalSpy completed(control.get(), &BrowserControl::completed);
        control->navigate(large[0]);
        QTRY_VERIFY_WITH_TIMEOUT(completed.size() >= 1, 30000);
        QCOMPARE(control->location(), QUrl::fromLocalFile(large[0]).toString());
        QVERIFY(ticks > 0);

        control->navigate(large[1]);
        control->navigate(small);
        QTRY_COMPARE_WITH_TIMEOUT(control->location(), QUrl::fromLocalFile(small).toString(),
                                  10000);
        QThreadPool::globalInstance()->waitForDone();
        spin(300);
        QCOMPARE(control->location(), QUrl::fromLocalFile(small).toString());
        QVERIFY(!QFile::exists(BrowserControl::renderedFile(large[1])));

        control->navigate(large[2]);
        control.reset();
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(!QFile::exists(BrowserControl::renderedFile(large[2])));
    }

    void aLargeDocumentShowsAndItsAnchorsScroll() {
        const QString path = fixture_->file("large.xml");
        const QByteArray text =
            document(fixture_->file("style.xsl"), 40000, "<a id=\"near\" href=\"#r10\">n</a>");
        QVERIFY(text.size() > 2 * 1024 * 1024);
        writeFile(path, text);
        auto control = shown();
        QSignalSpy completed(control.get(), &BrowserControl::completed);
        control->navigate(path + QStringLiteral("#r30000"));
        QTRY_VERIFY_WITH_TIMEOUT(completed.size() >= 1, 30000);
        QCOMPARE(control->location(), QUrl::fromLocalFile(path).toString() + "#r30000");
        QTRY_VERIFY_WITH_TIMEOUT(control->page()->scrollPosition().y() > 30000.0 * 40 * 0.9, 10000);
        QCOMPARE(
            evaluate(control->page(), QStringLiteral("document.getElementsByTagName('p').length"))
                .toInt(),
            40000);

        evaluate(control->page(), QStringLiteral("document.getElementById('near').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(control->location(),
                                  QUrl::fromLocalFile(path).toString() + "#r10", 10000);
        QTRY_VERIFY(control->page()->scrollPosition().y() < 1000.0);
    }

    // Local documents are not trusted with remote access; a link to the web still works.
    void aLinkFromALocalPageReachesTheWeb() {
        const QString path = fixture_->file("links.xml");
        writeFile(path, document(fixture_->file("style.xsl"), 1,
                                 "<a id=\"web\" href=\"" + server_.url("/second").toUtf8() +
                                     "\">web</a>"));
        auto control = shown();
        QVERIFY(!control->page()->settings()->testAttribute(
            QWebEngineSettings::LocalContentCanAccessRemoteUrls));
        control->navigate(path);
        QTRY_COMPARE_WITH_TIMEOUT(control->page()->title(), QStringLiteral("Rendered"), 10000);
        const int before = server_.count("/second");
        int changing = 0;
        connect(control.get(), &BrowserControl::locationChanging,
                [&](LocationEvent*) { ++changing; });
        evaluate(control->page(), QStringLiteral("document.getElementById('web').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(control->page()->title(), QStringLiteral("Second"), 10000);
        QCOMPARE(server_.count("/second"), before + 1);
        QCOMPARE(changing, 1);
        QCOMPARE(control->location(), server_.url("/second"));
    }

    void aDocumentThatCannotBeTransformedShowsTheError() {
        const QString path = fixture_->file("broken.xml");
        writeFile(path, document(fixture_->file("nosuch.xsl"), 1));
        auto control = shown();
        control->navigate(path);
        QTRY_COMPARE_WITH_TIMEOUT(control->page()->title(), QStringLiteral("Error"), 10000);
        QCOMPARE(control->location(), QUrl::fromLocalFile(path).toString());
    }

    // A permission is granted only when the user says yes.
    void permissionsAreAskedFor() {
        QVERIFY(!BrowserControlPage::permissionQuestion(QUrl("http://a/"),
                                                        QWebEnginePage::Notifications)
                     .isEmpty());
        auto control = shown();
        control->navigate(server_.url("/"));
        QTRY_COMPARE_WITH_TIMEOUT(control->page()->title(), QStringLiteral("Main"), 10000);
        RecordingMessageBox* box = fixture_->box;
        box->shown.clear();
        box->answers = {MessageBox::No};
        evaluate(control->page(),
                 QStringLiteral("navigator.geolocation.getCurrentPosition("
                                "() => window.answer = 'granted',"
                                " e => window.answer = e.code === 1 ? 'denied' : 'other')"));
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(control->page(), QStringLiteral("String(window.answer)")).toString(),
            QStringLiteral("denied"), 10000);
        QCOMPARE(box->shown.size(), size_t{1});
        QCOMPARE(box->shown[0].icon, MessageBox::Icon::Question);
        QVERIFY(box->shown[0].text.contains(QStringLiteral("位置情報")));
    }

    void cleanupTestCase() { fixture_.reset(); }
};

BRYNDLE_WEBENGINE_TEST_MAIN(BrowserControlTest)
#include "browsercontrol_test.moc"

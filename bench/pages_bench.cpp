// Thread pages, end to end, beside their floors:
//  1. fetching and storing a 10,000-record thread from a loopback node through the page
//     loader's fetch, beside only downloading the same answers over the same kind of socket;
//  2. building and transforming a 1,000-record page, beside libxslt's transform alone.

#include "config/configuration.h"
#include "foundation/digest.h"
#include "node/serverio.h"
#include "node/threadfile.h"
#include "store/pageloader.h"
#include "store/pagerenderer.h"
#include "store/threadcache.h"
#include "support/tempdir.h"

#include "store/fakenode.h"

#include "rounds.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace bryndle;
using Clock = std::chrono::steady_clock;

using bench::Figures;
using bench::measure;
using bench::Rounds;

namespace {

constexpr int FetchRecords = 10000;
constexpr int PageRecords = 1000;

void print(const char* what, const Figures& f, const std::string& extra = {}) {
    std::printf("  %-46s %9.2f ms  (min %8.2f ms)%s\n", what, f.median, f.min, extra.c_str());
}

std::string body(int n) {
    return "ベンチマーク用の書き込みです。番号 " + std::to_string(n) + "<br>二行目には &gt;&gt;" +
           Digest::md5Hex(std::to_string(n - 1)).substr(0, 8) +
           " への返事と &amp; 記号、&hearts; もあります。<br>三行目";
}

std::string recordFields(int n) {
    std::string fields = "body:" + body(n) + "<>name:名無し" + std::to_string(n % 17);
    if (n % 5 == 0)
        fields += "<>mail:sage";
    if (n % 10 == 0)
        fields += "<>pubkey:" + std::string(86, static_cast<char>('A' + n % 26)) +
                  "<>sign:" + std::string(86, 'S') + "<>target:body,name,mail";
    return fields;
}

// Sends one request and reads the answer until the node closes: the bytes received.
size_t download(uint16_t port, const std::string& target) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        throw std::runtime_error("connect");
    }
    const std::string request =
        "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    if (send(s, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
        close(s);
        throw std::runtime_error("send");
    }
    static char buffer[65536];
    size_t total = 0;
    for (;;) {
        ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        total += static_cast<size_t>(n);
    }
    close(s);
    return total;
}

void setUp(const test::TempDir& dir, uint16_t port, const std::string& cacheFile) {
    auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
    configuration->setNodeHost("127.0.0.1");
    configuration->setNodePort(port);
    configuration->setAttachDir(dir.file("attach"));
    configuration->setThemeRoot(std::string(BRYNDLE_SOURCE_PATH) + "/data/template/theme");
    Configuration::setInstance(std::move(configuration));
    ThreadCache::setInstance(nullptr);
    ThreadCache::setInstance(std::make_unique<ThreadCache>(cacheFile));
}

void fetchBenchmark() {
    test::TempDir dir;
    test::FakeNode node;
    const std::string title = "ベンチマーク用スレッド";
    const std::string file = threadFileName(title);
    for (int n = 0; n < FetchRecords; ++n)
        node.add(file, {static_cast<uint32_t>(1600000000 + n * 60),
                        Digest::md5Hex(std::to_string(n)), recordFields(n)});
    const std::string range = "/server.cgi/get/" + file + "/0-";
    const std::string head = "/server.cgi/head/" + file + "/0-";
    const std::string registration = "/thread.cgi/x";

    int cacheNumber = 0;
    auto freshCache = [&] {
        setUp(dir, node.port(), dir.file("cache" + std::to_string(++cacheNumber) + ".db"));
    };
    Schema schema(title);
    schema.method = "get";
    auto loader = PageLoader::create(schema.toLocation(), nullptr, nullptr);
    freshCache();
    loader->prepare();

    const size_t rangeBytes = download(node.port(), range);
    const size_t headBytes = download(node.port(), head);
    std::printf("Fetching a %d-record thread from a loopback node (range answer %.2f MB, head "
                "answer %.2f MB)\n",
                FetchRecords, rangeBytes / 1e6, headBytes / 1e6);
    const Figures fetch = measure([&] { loader->fetch(loader->schema()); }, freshCache);
    if (ThreadCache::instance().count(title) != FetchRecords)
        throw std::runtime_error("the fetch did not store every record");
    const Figures client = measure([&] {
        ServerIO io(NodeAddress("127.0.0.1", node.port()));
        io.head(
            {}, [](ThreadDataEvent&) {}, title, 0);
        io.getRange(
            {}, [](ThreadDataEvent&) {}, title, 0);
    });
    std::vector<ThreadMessage> parsed =
        ThreadCache::instance().messages(title, 0, ThreadCache::All);
    const Figures store = measure([&] { ThreadCache::instance().insertAll(parsed); }, freshCache);
    const Figures floorRange = measure([&] { download(node.port(), range); });
    const Figures floorAll = measure([&] {
        download(node.port(), registration);
        download(node.port(), head);
        download(node.port(), range);
    });
    char rate[64];
    std::snprintf(rate, sizeof rate, "  %8.0f records/s", FetchRecords / (fetch.median / 1000));
    print("loader fetch: register, head, range, store", fetch, rate);
    print("node client alone: head and range, parsed", client);
    print("cache insertAll of the same records alone", store);
    print("floor: download the range answer only", floorRange);
    print("floor: download all three answers", floorAll);
    std::printf("  fetch / floor (all three answers): %.1fx\n\n", fetch.median / floorAll.median);
}

void pageBenchmark() {
    test::TempDir dir;
    setUp(dir, 8000, dir.file("cache.db"));
    const std::string title = "ページのベンチマーク";
    std::vector<ThreadMessage> records;
    for (int n = 0; n < PageRecords; ++n) {
        ThreadMessage m;
        m.title = title;
        m.mtime = 1600000000 + n * 60;
        m.md5 = Digest::md5Hex(std::to_string(n));
        m.message = body(n);
        m.name = "名無し" + std::to_string(n % 17);
        m.mail = n % 5 == 0 ? "sage" : "";
        m.trip = n % 10 == 0 ? PageLoader::trip(std::to_string(n)) : "";
        records.push_back(std::move(m));
    }
    ThreadCache::instance().insertAll(records);

    Schema schema(title);
    schema.method = "cache";
    auto loader = PageLoader::create(schema.toLocation(), nullptr, nullptr);
    loader->prepare();
    const std::string document = loader->document().first;
    const std::string stylesheet = Configuration::instance().themeDir() + "/cache.xsl";
    const std::string html = PageRenderer::render(document);
    std::printf("Building and transforming a %d-record page (document %.2f MB, HTML %.2f MB)\n",
                PageRecords, document.size() / 1e6, html.size() / 1e6);

    const Figures total = measure([&] { PageRenderer::render(loader->document().first); });
    const Figures build = measure([&] { loader->document(); });
    const Figures render = measure([&] { PageRenderer::render(document); });

    // libxslt alone: the document parsed and the stylesheet compiled beforehand.
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr,
                                  nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    xsltStylesheetPtr style =
        xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(stylesheet.c_str()));
    if (!doc || !style)
        throw std::runtime_error("cannot prepare the libxslt figures");
    const Figures transform = measure([&] {
        xmlDocPtr result = xsltApplyStylesheet(style, doc, nullptr);
        xmlFreeDoc(result);
    });
    const Figures transformSave = measure([&] {
        xmlDocPtr result = xsltApplyStylesheet(style, doc, nullptr);
        xmlChar* out = nullptr;
        int length = 0;
        xsltSaveResultToString(&out, &length, result, style);
        xmlFree(out);
        xmlFreeDoc(result);
    });
    xsltFreeStylesheet(style);
    xmlFreeDoc(doc);

    print("build + transform (cache read, document, render)", total);
    print("  build: cache read and page document", build);
    print("  render: parse, load theme, transform, HTML", render);
    print("libxslt transform alone", transform);
    print("libxslt transform alone, with HTML output", transformSave);
    std::printf("  build + transform / transform alone: %.1fx\n", total.median / transform.median);
}

} // namespace

int main() {
    try {
        std::printf("bryndle page benchmarks: median of %d rounds after a warm-up\n\n", Rounds);
        fetchBenchmark();
        pageBenchmark();
        Configuration::setInstance(nullptr);
        ThreadCache::setInstance(nullptr);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}

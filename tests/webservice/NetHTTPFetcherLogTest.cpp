#include "FetcherTestSupport.h"

#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "webservice/DSXMLDocument.h"
#include "webservice/HTTPFetcher/NetFetchLogFolder.h"
#include "webservice/HTTPFetcher/NetInputStream.h"
#include "webservice/oauth2/OAuth2TestSupport.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace fetcher_test;
using platform::net::UrlRequest;

namespace {

constexpr char kProcess[] = "Tester";
constexpr char kStamp[] = "5-01_10-00-00AM";
constexpr char kRule[] = "-----------------------------------------------------------------------------\n";

// The debug log switched on into a folder of the test's own, and off again afterwards.
class LogSwitch {
public:
    explicit LogSwitch(const QString& folder, bool toFiles = true) {
        NetHTTPFetcher::setLoggingEnabled(true);
        NetHTTPFetcher::setLoggingToFileEnabled(toFiles);
        NetHTTPFetcher::setLoggingDirectory(folder);
        NetHTTPFetcher::setLoggingProcessName(QLatin1String(kProcess));
        NetHTTPFetcher::setLoggingDateStamp(QLatin1String(kStamp));
    }
    ~LogSwitch() {
        NetHTTPFetcher::setLoggingEnabled(false);
        NetHTTPFetcher::setLoggingToFileEnabled(false);
        NetHTTPFetcher::setLoggingDirectory(QString());
        NetHTTPFetcher::setLoggingProcessName(QString());
        NetHTTPFetcher::setLoggingDateStamp(QString());
    }
};

// Every file under the folder (links not followed) by its path inside the folder, with its bytes.
QMap<QString, QByteArray> filesUnder(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::NoSymLinks | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

QByteArray allBytesUnder(const QString& folder) {
    QByteArray everything;
    for (const QByteArray& bytes : filesUnder(folder))
        everything += bytes;
    return everything;
}

int mode(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

std::shared_ptr<NetHTTPFetcher> request(const QUrl& url, const QByteArray& body = QByteArray(),
                                        const std::vector<std::pair<QByteArray, QByteArray>>& headers = {}) {
    UrlRequest request(url);
    for (const auto& [name, value] : headers)
        request.setValue(name, value);
    auto fetcher = NetHTTPFetcher::fetcherWithRequest(request);
    if (!body.isNull())
        fetcher->setPostData(body);
    return fetcher;
}

class NetHTTPFetcherLogTest : public FetcherTest {
protected:
    TempDir folder;
    QString logs() const { return folder.file(QStringLiteral("logs")); }
    QString run() const { return logs() + QStringLiteral("/Tester_log_5-01_10-00-00AM"); }
};

} // namespace

TEST_F(NetHTTPFetcherLogTest, NoTokenPasswordOrCodeReachesALogFileOrARecord) {
    const char* const secrets[] = {"AccessSecret7Qm2",  "RefreshSecret9Zc4",  "IdTokenSecret3Nb",
                                   "ClientSecretRt7v",  "AuthCodeSecretP7q",  "PasswordSecretX1",
                                   "LoginAuthSecretDQ", "SidSecretK3n",       "CookieSecretZz9",
                                   "BearerSecretVv8",   "UploadTokenSecretT", "DevKeySecretKk4",
                                   "StreamedSecretS6",  "CaptchaTokenSecretC"};
    server.route("/o/token", [](const ServerRequest&) {
        return ServerResponse::text(
                   200,
                   R"({"access_token":"AccessSecret7Qm2","refresh_token":"RefreshSecret9Zc4",)"
                   R"("id_token":"IdTokenSecret3Nb","token_type":"Bearer","expires_in":3600})",
                   "application/json")
            .withHeader("Set-Cookie", "session=CookieSecretZz9; Path=/; HttpOnly");
    });
    serve("/login", 200, "SID=SidSecretK3n\nLSID=SidSecretK3n\nAuth=LoginAuthSecretDQ\n");
    server.route("/start", [](const ServerRequest&) {
        return ServerResponse::redirect(302, "/feed?access_token=AccessSecret7Qm2&code=AuthCodeSecretP7q");
    });
    serve("/feed", 200,
          "<feed xmlns='http://www.w3.org/2005/Atom' xmlns:vs='urn:vs'><link rel='edit' href='h' "
          "vs:uploadToken='UploadTokenSecretT'><vs:token>UploadTokenSecretT</vs:token></link></feed>",
          "application/atom+xml");
    serve("/upload", 200, "ok");

    const LogSwitch logging(logs());
    std::vector<std::shared_ptr<NetHTTPFetcher>> fetchers = {
        request(server.url("/o/token"),
                "client_id=id&client_secret=ClientSecretRt7v&code=AuthCodeSecretP7q&grant_type=authorization_"
                "code",
                {{"Authorization", "Bearer BearerSecretVv8"},
                 {"Cookie", "session=CookieSecretZz9; theme=dark"},
                 {"X-DS-Key", "key=DevKeySecretKk4"},
                 {"Content-Type", "application/x-www-form-urlencoded"}}),
        request(server.url("/login"),
                "Email=u%40example.com&Passwd=PasswordSecretX1&source=s&service=vs&logintoken="
                "CaptchaTokenSecretC",
                {{"Authorization", "ProviderLogin auth=LoginAuthSecretDQ"}}),
        request(server.url("/start?access_token=AccessSecret7Qm2")),
    };
    auto streamed = std::make_shared<QBuffer>();
    streamed->setData("refresh_token=StreamedSecretS6&note=kept");
    streamed->open(QIODevice::ReadOnly);
    fetchers.push_back(request(server.url("/upload")));
    fetchers.back()->setPostStream(streamed);
    for (const auto& fetcher : fetchers)
        EXPECT_FALSE(fetch(fetcher).error) << fetcher->description().toStdString();
    // The stream went out as it was.
    ASSERT_EQ(server.requestsTo("/upload").size(), 1u);
    EXPECT_EQ(server.requestsTo("/upload")[0].body, "refresh_token=StreamedSecretS6&note=kept");

    QByteArray everything = allBytesUnder(logs());
    for (const auto& fetcher : fetchers)
        everything += fetcher->log().toUtf8();
    for (const char* secret : secrets)
        EXPECT_FALSE(everything.contains(secret)) << secret;

    // What was there to see is there, with its credentials snipped.
    const std::vector<std::vector<const char*>> shownByFetcher = {
        {"Request: POST http://127.0.0.1:", "Authorization: Bearer _snip_",
         "Cookie: session=_snip_; theme=_snip_", "X-DS-Key: _snip_",
         "client_id=id&client_secret=_snip_&code=_snip_&grant_type=authorization_code",
         "Response: status 200", "\"access_token\" : \"_snip_\"", "\"token_type\" : \"_snip_\"",
         "\"expires_in\" : 3600", "Set-Cookie: session=_snip_; Path=/; HttpOnly"},
        {"Authorization: ProviderLogin _snip_", "Passwd=_snip_", "logintoken=_snip_", "SID=_snip_",
         "Auth=_snip_"},
        {"/feed?access_token=_snip_&code=_snip_", "<vs:token>_snip_</vs:token>", "vs:uploadToken=\"_snip_\""},
        {"refresh_token=_snip_&note=kept"}};
    for (std::size_t i = 0; i < fetchers.size(); ++i)
        for (const char* shown : shownByFetcher[i])
            EXPECT_TRUE(fetchers[i]->log().contains(QLatin1String(shown)))
                << shown << "\n"
                << fetchers[i]->log().toStdString();
    // One record each, and one more for the redirect.
    EXPECT_EQ(filesUnder(logs()).keys().filter(QRegularExpression("/fetch_\\d+\\.txt$")).size(), 5);
}

// Values whose names hold a secret word (key, token, secret, pass, pwd, code, verifier, assertion, session,
// sid, sig, auth) anywhere, whatever the form that carries them; each case's secret is written nowhere, what
// is kept beside it stays readable, and an XML reply kept in a file stays well formed.
TEST_F(NetHTTPFetcherLogTest, EveryValueNamedForACredentialIsSnippedInEveryForm) {
    enum Place { SentBody, Query, SentHeader, ReplyBody, ReplyHeader, Comment };
    const char* const form = "application/x-www-form-urlencoded";
    const char* const json = "application/json";
    const char* const xml = "application/xml";
    const struct {
        const char* name;
        Place place;
        const char* contentType;
        QByteArray text;
        const char* secret;
        const char* kept;
    } cases[] = {
        {"form key", SentBody, form, "api_key=Qz01&note=Kp01", "Qz01", "note=Kp01"},
        {"form verifier", SentBody, form, "code_verifier=Qz02&grant_type=Kp02", "Qz02", "grant_type=Kp02"},
        {"form assertions", SentBody, form, "client_assertion=Qz03&assertion=Qz03&client_id=Kp03", "Qz03",
         "client_id=Kp03"},
        {"form list", SentBody, form, "tokens%5B%5D=Qz04&tokens%5B%5D=Qz04&page=Kp04", "Qz04", "page=Kp04"},
        {"query", Query, nullptr, "pwd=Qz05&sig=Qz05&oauth_verifier=Qz05&view=Kp05", "Qz05", "view=Kp05"},
        {"JSON string", SentBody, json, R"({"session_id":"Qz06","note":"Kp06"})", "Qz06", "\"Kp06\""},
        {"JSON number", ReplyBody, json, R"({"user_code":482913,"interval":5})", "482913",
         "\"interval\" : 5"},
        {"JSON number in a text", ReplyBody, "text/plain",
         R"(poll with {"user_code": 482919, "interval": 5})", "482919", "\"interval\": 5"},
        {"JSON list", ReplyBody, json, R"({"tokens":["Qz08a","Qz08b"],"count":2})", "Qz08", "\"count\" : 2"},
        {"JSON nested", ReplyBody, json,
         R"({"data":{"auth":{"user":"Qz09","scopes":["Qz09"]}},"kind":"Kp09"})", "Qz09", "\"Kp09\""},
        {"JSON cut short", ReplyBody, json, R"({"api_key": "Qz10", "apiKeys": [1, "Qz10"], "note": "Kp10")",
         "Qz10", "\"Kp10\""},
        {"JSON cut short, a long secret", ReplyBody, json,
         R"({"note": "Kp21", "api_key": "Qz21)" + QByteArray(100000, 'x') + '"', "Qz21", "\"Kp21\""},
        {"XML elements", ReplyBody, xml,
         "<r><password>Qz11</password><Passwd>Qz11</Passwd><auth><user>Qz11</user></auth>"
         "<apiKey>Qz11</apiKey><code>Qz11</code><title>Kp11</title></r>",
         "Qz11", "<title>Kp11</title>"},
        {"XML attributes", ReplyBody, xml,
         "<r><link href='https://h/?access_token=Qz12&amp;v=1' signature='Qz12' rel='Kp12'/></r>", "Qz12",
         "rel=\"Kp12\""},
        {"XML CDATA", ReplyBody, xml, "<r><data><![CDATA[access_token=Qz13&kind=<Kp13>]]></data></r>", "Qz13",
         "kind=&lt;Kp13&gt;"},
        {"XML not well formed", ReplyBody, xml,
         "<r><apiKey>Qz14</apiKey><![CDATA[access_token=Qz14]]><title>Kp14</title>", "Qz14",
         "<title>Kp14</title>"},
        {"key-value lines", ReplyBody, "text/plain", "user: Kp15\npassword: Qz15\n", "Qz15", "user: Kp15"},
        {"sent header", SentHeader, nullptr, "X-Session: Qz16", "Qz16", "X-Session: _snip_"},
        {"reply header", ReplyHeader, nullptr, "X-Upload-Sig: Qz17", "Qz17", "X-Upload-Sig: _snip_"},
        {"comment", Comment, nullptr, "renew with api_key=Qz18 for Kp18", "Qz18", "Kp18"},
    };
    const LogSwitch logging(logs());
    std::vector<std::shared_ptr<NetHTTPFetcher>> fetchers;
    for (const auto& c : cases) {
        const QString path = QStringLiteral("/case%1").arg(fetchers.size());
        const QByteArray header = c.text.left(c.text.indexOf(':')).trimmed();
        const QByteArray value = c.text.mid(c.text.indexOf(':') + 1).trimmed();
        server.route(path, [&c, header, value](const ServerRequest&) {
            ServerResponse reply = c.place == ReplyBody ? ServerResponse::text(200, c.text, c.contentType)
                                                        : ServerResponse::text(200, "ok");
            return c.place == ReplyHeader ? reply.withHeader(header, value) : reply;
        });
        const QUrl url =
            server.url(c.place == Query ? path + QLatin1Char('?') + QString::fromUtf8(c.text) : path);
        fetchers.push_back(c.place == SentBody     ? request(url, c.text, {{"Content-Type", c.contentType}})
                           : c.place == SentHeader ? request(url, QByteArray(), {{header, value}})
                                                   : request(url));
        if (c.place == Comment)
            fetchers.back()->setComment(QString::fromUtf8(c.text));
        EXPECT_FALSE(fetch(fetchers.back()).error) << c.name;
    }

    QByteArray everything = allBytesUnder(logs());
    for (const auto& fetcher : fetchers)
        everything += fetcher->log().toUtf8();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const QString log = fetchers[i]->log();
        EXPECT_FALSE(everything.contains(cases[i].secret));
        EXPECT_TRUE(log.contains(QLatin1String(cases[i].kept))) << log.toStdString();
        // An XML reply that was well formed is kept well formed.
        if (cases[i].contentType == xml && cases[i].text.endsWith("</r>")) {
            const QString number = QRegularExpression("^Fetch (\\d+)").match(log).captured(1);
            EXPECT_TRUE(DSXMLDocument::documentWithData(
                test_support::readBytes(QStringLiteral("%1/fetch_%2_response.xml").arg(run(), number))));
        }
    }
}

// Replies as long as the log keeps, where every few characters start a name (or a string) that runs on to
// near the end, and a credential ("Qz3…") comes last: each is redacted whole when its fetch completes.
TEST_F(NetHTTPFetcherLogTest, ALongReplyOfNamesThatRunToItsEndIsRedactedWhole) {
    const struct {
        const char* name;
        QByteArray unit; // repeated to fill the reply, before the credential
        QByteArray credential;
        const char* shown;
    } cases[] = {
        {"list brackets never closed", "a[", "access_token=Qz31", "access_token=_snip_"},
        {"pairs inside a value", "a=", "&access_token=Qz32", "&access_token=_snip_"},
        {"escaped quotes", "\"\\", ",\"access_token\":\"Qz33\"", ",\"access_token\":\"_snip_\""},
        {"tags of names with brackets", "<a[", "<access_token>Qz34</access_token>",
         "<access_token>_snip_</access_token>"},
    };
    const LogSwitch logging(logs(), false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype room = NetHTTPFetcher::kMaximumLoggedBodyLength - c.credential.size();
        const QByteArray filler = c.unit.repeated(room / c.unit.size());
        serve("/long", 200, filler + c.credential);
        auto fetcher = request(server.url("/long"));
        ASSERT_FALSE(fetch(fetcher).error);
        const QString log = fetcher->log();
        EXPECT_FALSE(log.contains(QLatin1String("Qz3")));
        EXPECT_TRUE(log.contains(QLatin1String("  " + filler + c.shown + '\n')));
    }
}

TEST_F(NetHTTPFetcherLogTest, TheRunFolderHoldsTheRecordsTheRepliesAndAnIndexTheNewestLinkPointsAt) {
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(40, '\x07'); // an image's bytes
    serve("/picture", 200, png, "image/png");
    serve("/entry", 200, "<entry><title>Sea</title><id>1</id></entry>", "application/atom+xml");
    serve("/json", 200, R"({"b":[1,2],"a":"x"})", "application/json");
    const LogSwitch logging(logs());
    const std::shared_ptr<NetHTTPFetcher> fetchers[] = {
        request(server.url("/picture")), request(server.url("/entry")), request(server.url("/json"))};
    fetchers[1]->setComment(QStringLiteral("fetch <entry>"));
    for (const auto& fetcher : fetchers)
        ASSERT_FALSE(fetch(fetcher).error);

    EXPECT_EQ(mode(run()), 0700);
    const QMap<QString, QByteArray> files = filesUnder(run());
    ASSERT_EQ(files.size(), 7)
        << files.keys().join(QLatin1Char(' ')).toStdString(); // index, 3 records, 3 replies
    QStringList records = files.keys().filter(QRegularExpression("^fetch_\\d+\\.txt$"));
    ASSERT_EQ(records.size(), 3);
    const auto numberOf = [](const QString& name) { return name.mid(6).section(QLatin1Char('.'), 0, 0); };
    std::sort(records.begin(), records.end(),
              [&](const QString& a, const QString& b) { return numberOf(a).toInt() < numberOf(b).toInt(); });
    const QString index = QString::fromUtf8(files.value(QStringLiteral("aperçu_http_log.html")));
    EXPECT_TRUE(index.contains(QLatin1String("<title>Tester HTTP fetch log 5-01_10-00-00AM</title>")));
    EXPECT_TRUE(index.contains(QLatin1String("(fetch &lt;entry&gt;)")));
    const char* const extensions[] = {".png", ".xml", ""};
    for (int i = 0; i < 3; ++i) {
        const QString name = records[i];
        EXPECT_EQ(mode(run() + QLatin1Char('/') + name), 0600) << name.toStdString();
        // The record on disk is the fetcher's log, closed by a line of dashes, but the reply is kept once:
        // in its own file, which the record names.
        const QString onDisk = QString::fromUtf8(files.value(name));
        const QString log = fetchers[i]->log();
        const QString kept = QStringLiteral("Response body: in fetch_%1_response%2, %3 bytes received\n")
                                 .arg(numberOf(name), QLatin1String(extensions[i]))
                                 .arg(fetchers[i]->downloadedData().size());
        EXPECT_EQ(onDisk, log.section(QLatin1String("Response body:\n"), 0, 0) + kept + QLatin1String(kRule))
            << onDisk.toStdString();
        EXPECT_TRUE(log.endsWith(QLatin1String(kRule)));
        EXPECT_TRUE(index.contains(QStringLiteral("<a href=\"%1\">record</a>").arg(name)))
            << name.toStdString();
    }
    EXPECT_EQ(files.value(QStringLiteral("fetch_%1_response.png").arg(numberOf(records[0]))), png);
    EXPECT_TRUE(fetchers[0]->log().contains(QStringLiteral("<<%1 bytes of image/png>>").arg(png.size())));
    EXPECT_EQ(files.value(QStringLiteral("fetch_%1_response.xml").arg(numberOf(records[1]))),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<entry>\n  <title>Sea</title>\n  "
              "<id>1</id>\n</entry>\n");
    // A JSON reply is kept, indented, in a file without an extension.
    EXPECT_TRUE(files.value(QStringLiteral("fetch_%1_response").arg(numberOf(records[2])))
                    .contains("\n  \"a\" : \"x\""));

    const QString newest = logs() + QStringLiteral("/Tester_log_newest.html");
    EXPECT_TRUE(QFileInfo(newest).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(newest));
    EXPECT_EQ(QFileInfo(newest).symLinkTarget(),
              QFileInfo(run() + QStringLiteral("/aperçu_http_log.html")).filePath());
}

TEST_F(NetHTTPFetcherLogTest, OffByDefaultAndWithoutFilesOnlyTheFetchersLogIsWritten) {
    EXPECT_FALSE(NetHTTPFetcher::isLoggingEnabled());
    EXPECT_FALSE(NetHTTPFetcher::isLoggingToFileEnabled());
    EXPECT_TRUE(NetHTTPFetcher::loggingDirectory().endsWith(QLatin1String("/NetHTTPDebugLogs")));
    serve("/plain", 200, "hello");
    const auto quiet = request(server.url("/plain"));
    ASSERT_FALSE(fetch(quiet).error);
    EXPECT_TRUE(quiet->log().isEmpty());

    {
        const LogSwitch logging(logs(), false);
        const auto logged = request(server.url("/plain"));
        ASSERT_FALSE(fetch(logged).error);
        EXPECT_TRUE(logged->log().contains(QLatin1String("Request: GET ") + server.url("/plain").toString()));
        EXPECT_TRUE(logged->log().contains(QLatin1String("Response: status 200")));
        EXPECT_TRUE(logged->log().contains(QLatin1String("  hello")));
    }
    EXPECT_FALSE(QFileInfo::exists(logs()));
}

TEST_F(NetHTTPFetcherLogTest, AStreamedBodyIsKeptUpToItsBoundAndTheRestCounted) {
    serve("/upload", 200, "ok");
    const LogSwitch logging(logs(), false);
    const QByteArray movie(int(NetHTTPFetcher::kMaximumLoggedBodyLength) + 5000, '\x01');
    auto stream = std::make_shared<QBuffer>();
    stream->setData(movie);
    stream->open(QIODevice::ReadOnly);
    auto fetcher = request(server.url("/upload"), QByteArray(), {{"Content-Type", "video/mp4"}});
    fetcher->setPostStream(stream);
    ASSERT_FALSE(fetch(fetcher).error);
    ASSERT_EQ(server.requestsTo("/upload").size(), 1u);
    EXPECT_EQ(server.requestsTo("/upload")[0].body, movie);
    EXPECT_EQ(server.requestsTo("/upload")[0].header("Content-Length"), QByteArray::number(movie.size()));
    EXPECT_EQ(fetcher->loggedStreamData(), movie.left(int(NetHTTPFetcher::kMaximumLoggedBodyLength)));
    EXPECT_TRUE(fetcher->log().contains(
        QStringLiteral("<<%1 bytes of video/mp4>>").arg(NetHTTPFetcher::kMaximumLoggedBodyLength)));
    EXPECT_TRUE(fetcher->log().contains(QLatin1String("<<5000 more bytes sent>>")))
        << fetcher->log().toStdString();
}

TEST_F(NetHTTPFetcherLogTest, AReplyIsKeptUpToTheBoundEndingOnAWholeCharacterAndTheRestCounted) {
    const qsizetype bound = NetHTTPFetcher::kMaximumLoggedBodyLength;
    // A two-byte character across the bound, which the kept text leaves out whole.
    const QByteArray reply = QByteArray(bound - 1, 'a') + "\xC3\xA9" + QByteArray(4999, 'b');
    serve("/long", 200, reply);
    const LogSwitch logging(logs());
    auto fetcher = request(server.url("/long"));
    ASSERT_FALSE(fetch(fetcher).error);
    EXPECT_EQ(fetcher->downloadedData(), reply);

    const QString note = QStringLiteral("<<5001 more bytes received>>");
    EXPECT_TRUE(fetcher->log().contains(QStringLiteral("  %1\n  %2\n").arg(QString(bound - 1, u'a'), note)));
    const QStringList replies = filesUnder(run()).keys().filter(QRegularExpression("^fetch_\\d+_response$"));
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(test_support::readBytes(run() + QLatin1Char('/') + replies[0]),
              QByteArray(bound - 1, 'a') + '\n' + note.toUtf8());
}

namespace {

// Makes a folder holding one file of `bytes` (a sparse one: only its size counts) last written `age` ago.
void makeOldFolder(const QString& path, qint64 bytes, std::chrono::seconds age) {
    ASSERT_TRUE(QDir().mkpath(path));
    QFile file(path + QStringLiteral("/fetch_1.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(bytes));
    file.close();
    const timespec when{::time(nullptr) - age.count(), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

TEST_F(NetHTTPFetcherLogTest, ANewRunRemovesTheOldestRunsOfItsProcessPastTheTotal) {
    using namespace std::chrono_literals;
    const qint64 total = NetFetchLogFolder::kMaximumTotalBytes;
    TempDir outside;
    const struct {
        const char* name;
        qint64 bytes;
        std::chrono::seconds age;
        bool stays;
    } folders[] = {
        {"Tester_log_4-30_09-00-00AM", total * 3 / 5, 1h, true},
        {"Tester_log_4-29_09-00-00AM", total * 3 / 5, 2h, false}, // past the total with the newer one
        {"Tester_log_4-28_09-00-00AM", 1000, 3h, false},          // older than one removed
        {"Other_log_4-27_09-00-00AM", total * 2, 4h, true},       // another program's
        {"Tester_notes", total * 2, 5h, true},                    // the user's
    };
    for (const auto& folder : folders)
        makeOldFolder(logs() + QLatin1Char('/') + QLatin1String(folder.name), folder.bytes, folder.age);
    makeOldFolder(outside.file(QStringLiteral("kept")), total * 2, 6h);
    ASSERT_TRUE(
        QFile::link(outside.file(QStringLiteral("kept")), logs() + QStringLiteral("/Tester_log_link")));

    serve("/plain", 200, "hello");
    const LogSwitch logging(logs());
    ASSERT_FALSE(fetch(request(server.url("/plain"))).error);
    EXPECT_TRUE(QFileInfo::exists(run() + QStringLiteral("/aperçu_http_log.html")));
    for (const auto& folder : folders)
        EXPECT_EQ(QFileInfo::exists(logs() + QLatin1Char('/') + QLatin1String(folder.name)), folder.stays)
            << folder.name;
    EXPECT_TRUE(QFileInfo(logs() + QStringLiteral("/Tester_log_link")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside.file(QStringLiteral("kept/fetch_1.txt"))));
}

namespace {

// What a run's folder holds: the bytes of all its files, the numbers of its records and replies, and those of
// the records its index lists, each oldest first.
struct RunContents {
    qint64 bytes = 0;
    QList<int> records;
    QList<int> replies;
    QList<int> listed;
};

RunContents contentsOf(const QString& run) {
    const auto numbers = [](const QStringList& texts, const char* pattern) {
        QList<int> found;
        for (const QString& text : texts)
            for (const QRegularExpressionMatch& match : QRegularExpression(pattern).globalMatch(text))
                found.append(match.captured(1).toInt());
        return found;
    };
    const QMap<QString, QByteArray> files = filesUnder(run);
    RunContents contents;
    for (const QByteArray& bytes : files)
        contents.bytes += bytes.size();
    QList<int> records = numbers(files.keys(), "^fetch_(\\d+)\\.txt$");
    QList<int> replies = numbers(files.keys(), "^fetch_(\\d+)_response");
    std::sort(records.begin(), records.end());
    std::sort(replies.begin(), replies.end());
    contents.records = records;
    contents.replies = replies;
    contents.listed = numbers({QString::fromUtf8(files.value(NetFetchLogFolder::indexFileName()))},
                              "href=\"fetch_(\\d+)\\.txt\"");
    return contents;
}

// The bounds a running run keeps, as the log promises them: figures of the tests' own, so that a bound
// loosened in the code fails them.
constexpr qint64 kRunBound = qint64(64) << 20;
constexpr qint64 kIndexBound = qint64(16) << 20;

// The largest a run's folder and its index have been after any fetch: a bound kept only at the end would
// not do.
struct LargestSizes {
    qint64 run = 0;
    qint64 index = 0;

    void measure(const QString& runFolder) {
        qint64 bytes = 0;
        QDirIterator it(runFolder, QDir::Files | QDir::NoSymLinks | QDir::Hidden);
        while (it.hasNext())
            bytes += it.nextFileInfo().size();
        run = std::max(run, bytes);
        index = std::max(index, QFileInfo(runFolder + '/' + NetFetchLogFolder::indexFileName()).size());
    }
};

} // namespace

TEST_F(NetHTTPFetcherLogTest, ARunPastTheTotalDropsItsOldestRepliesThenItsOldestRecordsAndKeepsItsIndex) {
    const qint64 total = kRunBound;
    const qint64 size = NetHTTPFetcher::kMaximumLoggedBodyLength; // of an image kept whole, or a text sent
    const int fetches = int(total / size) + 16;
    serve("/picture", 200, QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(size - 8, '\x07'), "image/png");
    serve("/note", 200, "ok");
    const LogSwitch logging(logs());
    LargestSizes largest;
    for (int i = 0; i < fetches; ++i) {
        ASSERT_FALSE(fetch(request(server.url("/picture"))).error);
        largest.measure(run());
    }

    RunContents kept = contentsOf(run());
    EXPECT_LE(largest.run, total);
    EXPECT_GT(kept.bytes + size, total); // no more went than had to
    ASSERT_EQ(kept.listed.size(), fetches);
    EXPECT_EQ(kept.records, kept.listed);
    EXPECT_LT(kept.replies.size(), fetches);
    EXPECT_EQ(kept.replies, kept.listed.mid(fetches - kept.replies.size())); // the newest ones

    // With no reply left to drop, records go, oldest first: texts sent fill them.
    for (int i = 0; i < fetches; ++i) {
        ASSERT_FALSE(
            fetch(request(server.url("/note"), QByteArray(size, 'n'), {{"Content-Type", "text/plain"}}))
                .error);
        largest.measure(run());
    }
    kept = contentsOf(run());
    EXPECT_LE(largest.run, total);
    EXPECT_TRUE(kept.replies.isEmpty());
    ASSERT_EQ(kept.listed.size(), 2 * fetches);
    EXPECT_LT(kept.records.size(), fetches);
    EXPECT_EQ(kept.records, kept.listed.mid(2 * fetches - kept.records.size()));
}

// Fetches whose lines on the index run long: an address of ampersands or a comment of quotes, each several
// times as long once escaped for the page. The index keeps within its share by dropping its oldest lines
// with the records and replies they list: it keeps the newest, whole, and every link on it leads to a file.
// Lines of twice the share in all: an index allowed twice its share would pass the share on the way.
TEST_F(NetHTTPFetcherLogTest, AnIndexPastItsShareDropsItsOldestLinesWithWhatTheyListAndKeepsTheNewest) {
    const qint64 share = kIndexBound;
    const int length = 60 * 1024;
    const struct {
        const char* name;
        QString query;
        QString comment;
        qint64 lineBytes; // at least
    } cases[] = {
        {"an address of ampersands", QString(length, QLatin1Char('&')), QString(), 5 * length},
        {"a comment of quotes", QStringLiteral("q=1"), QString(length, QLatin1Char('"')), 6 * length},
    };
    serve("/long", 200, "ok");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString logFolder = folder.file(QString::fromLatin1(c.name));
        const LogSwitch logging(logFolder);
        const QString run = logFolder + QStringLiteral("/Tester_log_5-01_10-00-00AM");
        const int fetches = int(2 * share / c.lineBytes) + 8; // past the share twice
        std::shared_ptr<NetHTTPFetcher> last;
        LargestSizes largest;
        for (int i = 0; i < fetches; ++i) {
            last = request(server.url(QStringLiteral("/long?") + c.query));
            last->setComment(c.comment);
            ASSERT_FALSE(fetch(last).error);
            largest.measure(run);
        }

        const RunContents kept = contentsOf(run);
        const QByteArray index = test_support::readBytes(run + '/' + NetFetchLogFolder::indexFileName());
        EXPECT_LE(largest.index, share);
        EXPECT_GT(largest.index, share - 2 * c.lineBytes);    // no line went before the share was full
        EXPECT_GT(index.size(), share / 2 - 2 * c.lineBytes); // no more went than half the share
        EXPECT_LE(largest.run, kRunBound);
        ASSERT_GT(kept.listed.size(), 1);
        EXPECT_LT(kept.listed.size(), fetches);
        const int newest = QRegularExpression("^Fetch (\\d+)").match(last->log()).captured(1).toInt();
        QList<int> newestFetches;
        for (int number = newest - int(kept.listed.size()) + 1; number <= newest; ++number)
            newestFetches.append(number);
        EXPECT_EQ(kept.listed, newestFetches);
        EXPECT_EQ(kept.records, kept.listed);
        EXPECT_EQ(kept.replies, kept.listed);
        EXPECT_TRUE(index.startsWith("<!DOCTYPE html>\n<html><head>"));
        EXPECT_TRUE(index.endsWith("</p>\n"));
        for (const QRegularExpressionMatch& link :
             QRegularExpression("href=\"([^\"]+)\"").globalMatch(QString::fromUtf8(index)))
            EXPECT_TRUE(QFileInfo::exists(run + '/' + link.captured(1))) << link.captured(1).toStdString();
    }
}

TEST_F(NetHTTPFetcherLogTest, ARunStartedInTheSameSecondAsAnothersGetsAFolderOfItsOwn) {
    // The other process made the run's folder first and has written its first record.
    const QMap<QString, QByteArray> others = {{QStringLiteral("fetch_1.txt"), "the other process's record"},
                                              {QStringLiteral("aperçu_http_log.html"), "its index"}};
    ASSERT_TRUE(QDir().mkpath(run()));
    for (auto it = others.begin(); it != others.end(); ++it)
        ASSERT_TRUE(test_support::writeBytes(run() + QLatin1Char('/') + it.key(), it.value()));

    serve("/plain", 200, "hello");
    const LogSwitch logging(logs());
    for (int i = 0; i < 2; ++i)
        ASSERT_FALSE(fetch(request(server.url("/plain"))).error);
    EXPECT_EQ(filesUnder(run()), others);
    const QString own = run() + QStringLiteral("_2");
    EXPECT_EQ(mode(own), 0700);
    EXPECT_EQ(filesUnder(own).keys().filter(QRegularExpression("^fetch_\\d+\\.txt$")).size(), 2);
    EXPECT_EQ(QFileInfo(logs() + QStringLiteral("/Tester_log_newest.html")).symLinkTarget(),
              QFileInfo(own + QStringLiteral("/aperçu_http_log.html")).filePath());
}

namespace {

class NetOAuth2LogTest : public oauth2_test::OAuth2Test {
protected:
    TempDir folder;
};

} // namespace

TEST_F(NetOAuth2LogTest, ARefreshAndTheAuthorizedFetchLeaveNoTokenOrSecretInTheLog) {
    serve("/feed", 200, "<feed/>");
    const LogSwitch logging(folder.path());
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/feed"));
    fetcher->setAuthorizer(restoredAuthentication());
    ASSERT_FALSE(fetch(fetcher).error);
    ASSERT_FALSE(provider.issuedTokens().isEmpty());
    ASSERT_EQ(server.requestsTo("/feed").size(), 1u);
    ASSERT_TRUE(server.requestsTo("/feed")[0].header("Authorization").startsWith("Bearer "));

    const QByteArray everything = allBytesUnder(folder.path());
    ASSERT_TRUE(everything.contains("grant_type=refresh_token"));
    EXPECT_FALSE(everything.contains(oauth2_test::kClientSecret));
    EXPECT_FALSE(everything.contains(test_support::FakeOAuth2Provider::kRefreshToken));
    EXPECT_FALSE(
        everything.contains(QUrl::toPercentEncoding(test_support::FakeOAuth2Provider::kRefreshToken)));
    for (const QString& token : provider.issuedTokens()) {
        EXPECT_FALSE(everything.contains("Bearer " + token.toUtf8())) << token.toStdString();
        EXPECT_FALSE(everything.contains('"' + token.toUtf8() + '"')) << token.toStdString();
    }
}

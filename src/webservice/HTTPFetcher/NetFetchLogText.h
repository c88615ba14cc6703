#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// How the fetcher's debug log writes what went over the wire: readable (JSON and XML bodies indented) and
// with every credential replaced by "_snip_" before it reaches a line of text. A credential is the value of
// anything whose name holds a secret word (see isSecretName), whatever form it takes: JSON members (their
// numbers, lists and objects whole), form and query fields, XML elements and attributes, "name: value"
// lines and headers; besides, the "Authorization" and cookie headers and bearer tokens anywhere. XML stays
// well formed.
class NetFetchLogText {
public:
    static constexpr char kSnip[] = "_snip_";

    // The header's value as the log shows it.
    static QString headerValue(const QByteArray& name, const QByteArray& value);
    static QString address(const QUrl& url);
    // A body as the log shows it: the text of a text body, or a note of its length for other bytes.
    static QString body(const QByteArray& bytes, const QString& mimeType);
    // Whether the body is shown as text (not as a note of its length).
    static bool isText(const QByteArray& bytes, const QString& mimeType);
    // Whether a name (percent-encoded or not, in any case) holds one of the secret words: key, token,
    // secret, pass, pwd, code, verifier, assertion, session, sid, sig, auth. Names are the services' own, so
    // a word anywhere in one counts, at the price of some harmless values snipped.
    static bool isSecretName(const QString& name);
    // Any text with the credentials it names taken out, in time that grows with its length alone.
    static QString redacted(QString text);
    // The extension of the file a reply body is kept in: "xml", "jpg", "gif" or "png" by its type, else
    // none.
    static QString fileExtension(const QByteArray& bytes, const QString& mimeType);

private:
    static QString prettyJSON(const QByteArray& bytes, bool* ok);
    static QString prettyXML(const QByteArray& bytes, bool* ok);
};

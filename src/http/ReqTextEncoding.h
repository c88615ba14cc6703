#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text encodings a response may name, by IANA charset name: UTF-8, UTF-16 and UTF-32 (with their
// byte orders), ISO-8859-1 and US-ASCII.
namespace ReqTextEncoding {

inline constexpr char kLatin1[] = "ISO-8859-1";

// The canonical name for a charset name, or nothing when it is not one of ours.
std::optional<QByteArray> canonicalName(const QByteArray& charset);
QString decode(const QByteArray& data, const QByteArray& encoding);
// The text in that encoding (UTF-8 for a name Qt cannot encode).
QByteArray encode(const QString& text, const QByteArray& encoding);

} // namespace ReqTextEncoding

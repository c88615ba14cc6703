#include "webservice/JsonNumber.h"

#include <charconv>
#include <mutex>
#include <system_error>

namespace {

template <typename T> T convert(const QByteArray& text, bool* ok) {
    T value{};
    const char* first = text.constData();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    const bool converted = error == std::errc() && end == last;
    if (ok)
        *ok = converted;
    return converted ? value : T{};
}

} // namespace

double JsonNumber::toDouble(bool* ok) const {
    // from_chars takes no leading '+' and neither do JSON numbers; a leading '-' it reads itself.
    return convert<double>(text_, ok);
}

qlonglong JsonNumber::toLongLong(bool* ok) const {
    return convert<qlonglong>(text_, ok);
}

void JsonNumber::registerConversions() {
    static std::once_flag once;
    std::call_once(once, [] {
        QMetaType::registerConverter<JsonNumber, QString>(&JsonNumber::toString);
        QMetaType::registerConverter<JsonNumber, double>([](const JsonNumber& n) { return n.toDouble(); });
        QMetaType::registerConverter<JsonNumber, qlonglong>(
            [](const JsonNumber& n) { return n.toLongLong(); });
    });
}

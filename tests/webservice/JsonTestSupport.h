#pragma once

#include "webservice/JsonBase.h"
#include "webservice/JsonNumber.h"

#include <QVariant>

#include <string>
#include <vector>

namespace json_test {

// An error as the tests compare it: code and message.
struct Failure {
    int code;
    std::string message;
    bool operator==(const Failure&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Failure& f) {
        return out << f.code << " \"" << f.message << '"';
    }
};

inline std::vector<Failure> failures(const JsonBase& json) {
    std::vector<Failure> list;
    for (const JsonError& error : json.errorTrace())
        list.push_back({error.code, error.localizedDescription.toStdString()});
    return list;
}

inline QVariant number(const char* text) {
    return QVariant::fromValue(JsonNumber(text));
}

inline QVariant null() {
    return QVariant::fromValue(nullptr);
}

} // namespace json_test

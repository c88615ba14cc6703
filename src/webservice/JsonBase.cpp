#include "webservice/JsonBase.h"

void JsonBase::addErrorWithCode(int code, const QString& description) {
    JsonError error{code, description, nullptr};
    if (!errorTrace_.isEmpty())
        error.underlyingError = std::make_shared<const JsonError>(errorTrace_.last());
    errorTrace_.append(std::move(error));
}

bool JsonBase::enterNesting() {
    // The depth is counted even without a limit, so that the writer's indentation stays right.
    ++depth_;
    if (maxDepth_ != 0 && depth_ > maxDepth_) {
        addErrorWithCode(json_error::tooDeep, QStringLiteral("Nested too deep"));
        return false;
    }
    return true;
}

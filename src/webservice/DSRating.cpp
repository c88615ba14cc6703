#include "webservice/DSRating.h"

#include "webservice/BaseClasses/DSScanner.h"

DSClassInfo DSRating::classInfo() {
    return {.name = "DSRating",
            .uri = DSNamespaceDS(),
            .prefix = kDSNamespaceDSPrefix,
            .localName = "rating",
            .attributes = {QStringLiteral("rel"), QStringLiteral("value"), QStringLiteral("max"),
                           QStringLiteral("min"), QStringLiteral("average"), QStringLiteral("numRaters")}};
}

std::shared_ptr<DSRating> DSRating::ratingWithValue(int value, int max, int min) {
    auto rating = object();
    rating->setValue(value);
    rating->setMax(max);
    rating->setMin(min);
    return rating;
}

void DSRating::setAverage(std::optional<double> value) {
    setStringValueForAttribute(value ? DSDoubleString(*value) : QString(), QStringLiteral("average"));
}

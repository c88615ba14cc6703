#pragma once

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSObject.h"

// The relations a DS rating may name.
inline QString DSRatingPrice() {
    return DSNamespaceDS() + QStringLiteral("#price");
}
inline QString DSRatingQuality() {
    return DSNamespaceDS() + QStringLiteral("#quality");
}

// The DS rating element: a value between a minimum and a maximum, an average and the number of raters.
class DSRating : public DSClassOf<DSRating, DSObject> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSRating> ratingWithValue(int value, int max, int min);

    QString rel() const { return stringValueForAttribute(QStringLiteral("rel")); }
    void setRel(const QString& rel) { setStringValueForAttribute(rel, QStringLiteral("rel")); }
    std::optional<int> value() const { return intNumberForAttribute(QStringLiteral("value")); }
    void setValue(std::optional<int> value) { setNumber(value, QStringLiteral("value")); }
    std::optional<int> max() const { return intNumberForAttribute(QStringLiteral("max")); }
    void setMax(std::optional<int> value) { setNumber(value, QStringLiteral("max")); }
    std::optional<int> min() const { return intNumberForAttribute(QStringLiteral("min")); }
    void setMin(std::optional<int> value) { setNumber(value, QStringLiteral("min")); }
    std::optional<int> numberOfRaters() const { return intNumberForAttribute(QStringLiteral("numRaters")); }
    void setNumberOfRaters(std::optional<int> value) { setNumber(value, QStringLiteral("numRaters")); }
    std::optional<double> average() const { return doubleNumberForAttribute(QStringLiteral("average")); }
    void setAverage(std::optional<double> value);

private:
    void setNumber(std::optional<int> value, const QString& name) {
        setStringValueForAttribute(value ? QString::number(*value) : QString(), name);
    }
};

#pragma once

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSObject.h"
#include "webservice/DSValueConstruct.h"

// Makers of positions of the class `Self` (`DSGeoRSSPoint::geoWithLatitude(...)`).
template <class Self, class Base> class DSGeoClassOf : public DSClassOf<Self, Base> {
public:
    static std::shared_ptr<Self> geoWithLatitude(double latitude, double longitude) {
        auto made = Self::object();
        made->setValues(QList<double>{latitude, longitude});
        return made;
    }
};

// A geographic position in one of its three published forms; the subclasses read and write one form each.
// It keeps the numbers it read, in pairs; a point is exactly one pair, latitude first.
class DSGeo : public DSGeoClassOf<DSGeo, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSGeo"}; }

    static DSStringMap geoNamespaces();
    // The numbers of the text in complete pairs; a number that is not finite ends the reading.
    static QList<double> valuesWithCoordinateString(const QString& text);
    static QString coordinateStringWithValues(const QList<double>& values);
    // Declares the three forms, on the parent class, through the object.
    static void addGeoExtensionDeclarations(DSObject& object, const DSClass& parentClass);
    // The object's point, where, or W3C point, in that order of preference.
    static std::shared_ptr<DSGeo> geoLocationForObject(const DSObject& object);
    // Replaces the object's position; none only removes it.
    static void setGeoLocation(const std::shared_ptr<DSGeo>& geo, DSObject& object);

    const std::optional<QList<double>>& values() const { return values_; }
    void setValues(const std::optional<QList<double>>& values) { values_ = values; }
    bool isPoint() const { return values_ && values_->size() == 2; }
    QString coordinateString() const { return coordinateStringWithValues(values_.value_or(QList<double>())); }
    // NaN unless the value is a point.
    double latitude() const;
    double longitude() const;

    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override;
    using DSObject::initWithXMLElement;
    DSXMLElementRef XMLElement() const override;
    bool isEqual(const DSInstance* other) const override;
    QStringList itemsForDescription() const override;

protected:
    // Reads the form's values from its element; each form overrides it.
    virtual void parseValues(const DSXMLElementRef& element);
    // Adds the values to the written element in the form's way.
    virtual void addValues(const DSXMLElementRef& element) const;
    void setValuesFromCoordinateString(const QString& text);
    void copyFieldsInto(DSObject& copy) const override;

private:
    std::optional<QList<double>> values_;
};

// georss:point: "latitude longitude" as the text.
class DSGeoRSSPoint : public DSGeoClassOf<DSGeoRSSPoint, DSGeo> {
public:
    static DSClassInfo classInfo() {
        return DSElementInfo("DSGeoRSSPoint", kDSNamespaceGeoRSS, kDSNamespaceGeoRSSPrefix, "point");
    }

protected:
    void parseValues(const DSXMLElementRef& element) override;
};

// georss:where holding a gml:Point whose gml:pos has the text of a georss:point.
class DSGeoRSSWhere : public DSGeoClassOf<DSGeoRSSWhere, DSGeo> {
public:
    static DSClassInfo classInfo() {
        return DSElementInfo("DSGeoRSSWhere", kDSNamespaceGeoRSS, kDSNamespaceGeoRSSPrefix, "where");
    }

protected:
    void parseValues(const DSXMLElementRef& element) override;
    void addValues(const DSXMLElementRef& element) const override;
};

// geo:Point with the two numbers in its geo:lat and geo:long children.
class DSGeoW3CPoint : public DSGeoClassOf<DSGeoW3CPoint, DSGeo> {
public:
    static DSClassInfo classInfo() {
        return DSElementInfo("DSGeoW3CPoint", kDSNamespaceGeoW3C, kDSNamespaceGeoW3CPrefix, "Point");
    }

protected:
    void parseValues(const DSXMLElementRef& element) override;
    void addValues(const DSXMLElementRef& element) const override;
};

DS_ELEMENT_CLASS(DSGeoRSSFeatureName, DSValueClassOf, DSValueElementConstruct, kDSNamespaceGeoRSS,
                 kDSNamespaceGeoRSSPrefix, "featurename");
DS_ELEMENT_CLASS(DSGeoRSSRadius, DSValueClassOf, DSValueElementConstruct, kDSNamespaceGeoRSS,
                 kDSNamespaceGeoRSSPrefix, "radius");

#include "webservice/Geo/DSGeo.h"

#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

// The three forms, in the order an object's position is looked for.
const std::array<DSClassGetter, 3> geoForms = {&DSGeoRSSPoint::staticClass, &DSGeoRSSWhere::staticClass,
                                               &DSGeoW3CPoint::staticClass};

std::optional<double> finiteNumber(const QString& text) {
    const std::optional<double> number = DSUtilities::doubleNumberOrInfForString(text);
    return number && std::isfinite(*number) ? number : std::nullopt;
}

DSXMLElementRef asElement(const DSXMLNodeRef& node) {
    return node && node->kind() == DSXMLNode::ElementKind ? std::static_pointer_cast<DSXMLElement>(node)
                                                          : nullptr;
}

} // namespace

DSStringMap DSGeo::geoNamespaces() {
    return {{QLatin1String(kDSNamespaceGeoRSSPrefix), QLatin1String(kDSNamespaceGeoRSS)},
            {QLatin1String(kDSNamespaceGeoW3CPrefix), QLatin1String(kDSNamespaceGeoW3C)},
            {QLatin1String(kDSNamespaceGMLPrefix), QLatin1String(kDSNamespaceGML)}};
}

QList<double> DSGeo::valuesWithCoordinateString(const QString& text) {
    QList<double> values;
    DSScanner scanner(text);
    double latitude = 0;
    double longitude = 0;
    // A number too large for a double reads as infinite: it ends the reading like a missing number.
    while (scanner.scanDouble(&latitude) && std::isfinite(latitude) && scanner.scanDouble(&longitude) &&
           std::isfinite(longitude))
        values << latitude << longitude;
    return values;
}

QString DSGeo::coordinateStringWithValues(const QList<double>& values) {
    QStringList texts;
    for (const double value : values)
        texts.append(DSDoubleString(value));
    return texts.join(QLatin1Char(' '));
}

void DSGeo::addGeoExtensionDeclarations(DSObject& object, const DSClass& parentClass) {
    for (const DSClassGetter form : geoForms)
        object.addExtensionDeclaration(parentClass, form());
}

std::shared_ptr<DSGeo> DSGeo::geoLocationForObject(const DSObject& object) {
    for (const DSClassGetter form : geoForms)
        if (auto geo = DSInstanceCast<DSGeo>(object.objectForExtensionClass(form())))
            return geo;
    return nullptr;
}

void DSGeo::setGeoLocation(const std::shared_ptr<DSGeo>& geo, DSObject& object) {
    for (const DSClassGetter form : geoForms)
        if (object.objectForExtensionClass(form())) {
            object.setObject(nullptr, form());
            break;
        }
    if (!geo)
        return;
    if (&geo->dsClass() == &staticClass()) {
        DSProgrammingError(QStringLiteral("setGeoLocation requires an instance of a subclass of DSGeo"));
        return;
    }
    object.setObject(geo, geo->dsClass());
}

double DSGeo::latitude() const {
    return isPoint() ? values_->at(0) : std::numeric_limits<double>::quiet_NaN();
}

double DSGeo::longitude() const {
    return isPoint() ? values_->at(1) : std::numeric_limits<double>::quiet_NaN();
}

void DSGeo::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) {
    DSObject::initWithXMLElement(element, parent);
    if (element)
        parseValues(element);
}

void DSGeo::parseValues(const DSXMLElementRef&) {
    DSProgrammingError(
        QStringLiteral("Subclass of %1 should handle initWithXMLElement:").arg(dsClass().name()));
}

void DSGeo::setValuesFromCoordinateString(const QString& text) {
    const QList<double> read = valuesWithCoordinateString(text);
    if (!read.isEmpty())
        values_ = read;
}

DSXMLElementRef DSGeo::XMLElement() const {
    const DSXMLElementRef element = XMLElementWithExtensionsAndDefaultName(
        dsClass().isExtension() ? dsClass().qualifiedName() : QStringLiteral("georss:point"));
    if (element && isPoint())
        addValues(element);
    return element;
}

void DSGeo::addValues(const DSXMLElementRef& element) const {
    addStringValue(element, coordinateString());
}

bool DSGeo::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    return DSObject::isEqual(other) && values_ == static_cast<const DSGeo*>(other)->values_;
}

void DSGeo::copyFieldsInto(DSObject& copy) const {
    DSObject::copyFieldsInto(copy);
    static_cast<DSGeo&>(copy).values_ = values_;
}

QStringList DSGeo::itemsForDescription() const {
    QStringList items = DSObject::itemsForDescription();
    if (values_)
        addToArray(items, coordinateString(), QStringLiteral("values"));
    return items;
}

// ---- the three forms

void DSGeoRSSPoint::parseValues(const DSXMLElementRef& element) {
    setValuesFromCoordinateString(stringValueFromElement(element));
}

void DSGeoRSSWhere::parseValues(const DSXMLElementRef& element) {
    const QString gml = QLatin1String(kDSNamespaceGML);
    const DSXMLElementRef point =
        asElement(childWithQualifiedName(QStringLiteral("gml:Point"), gml, element));
    if (!point)
        return;
    const DSXMLElementRef pos = asElement(childWithQualifiedName(QStringLiteral("gml:pos"), gml, point));
    if (pos)
        setValuesFromCoordinateString(stringValueFromElement(pos));
}

void DSGeoRSSWhere::addValues(const DSXMLElementRef& element) const {
    const DSXMLElementRef point = DSXMLNode::elementWithName(QStringLiteral("gml:Point"));
    addToElementChildWithStringValueIfNonEmpty(point, coordinateString(), QStringLiteral("gml:pos"));
    element->addChild(point);
}

void DSGeoW3CPoint::parseValues(const DSXMLElementRef& element) {
    const QString uri = element->URI();
    const DSXMLElementRef lat = asElement(childWithQualifiedName(QStringLiteral("geo:lat"), uri, element));
    const DSXMLElementRef lon = asElement(childWithQualifiedName(QStringLiteral("geo:long"), uri, element));
    const std::optional<double> latitude = lat ? finiteNumber(stringValueFromElement(lat)) : std::nullopt;
    const std::optional<double> longitude = lon ? finiteNumber(stringValueFromElement(lon)) : std::nullopt;
    if (latitude && longitude)
        setValues(QList<double>{*latitude, *longitude});
}

void DSGeoW3CPoint::addValues(const DSXMLElementRef& element) const {
    // The children take the prefix the element itself was read or written with.
    const QString name = elementName();
    const QString prefix = name.isEmpty() ? QStringLiteral("geo") : DSXMLNode::prefixForName(name);
    const QString head = prefix.isEmpty() ? QString() : prefix + QLatin1Char(':');
    addToElementChildWithStringValueIfNonEmpty(element, DSDoubleString(latitude()),
                                               head + QStringLiteral("lat"));
    addToElementChildWithStringValueIfNonEmpty(element, DSDoubleString(longitude()),
                                               head + QStringLiteral("long"));
}

#pragma once

#include "webservice/BaseClasses/DSObject.h"

// Makers of value elements of the class `Self` (`DSAtomID::valueWithString(...)`); none for none.
template <class Self, class Base> class DSValueClassOf : public DSClassOf<Self, Base> {
public:
    static std::shared_ptr<Self> valueWithString(const QString& value) {
        if (value.isNull())
            return nullptr;
        auto made = Self::object();
        made->setStringValue(value);
        return made;
    }
    static std::shared_ptr<Self> valueWithNumber(const std::optional<double>& value) {
        return value ? valueWithDouble(*value) : nullptr;
    }
    static std::shared_ptr<Self> valueWithInt(int value) {
        return with([&](Self& v) { v.setIntValue(value); });
    }
    static std::shared_ptr<Self> valueWithLongLong(qint64 value) {
        return with([&](Self& v) { v.setLongLongValue(value); });
    }
    static std::shared_ptr<Self> valueWithDouble(double value) {
        return with([&](Self& v) { v.setDoubleValue(value); });
    }
    static std::shared_ptr<Self> valueWithBool(bool value) {
        return with([&](Self& v) { v.setBoolValue(value); });
    }
    static std::shared_ptr<Self> valueWithDateTime(const std::optional<DSDateTime>& value) {
        return value ? valueWithString(value->RFC3339String()) : nullptr;
    }

private:
    template <class Setter> static std::shared_ptr<Self> with(Setter set) {
        auto made = Self::object();
        set(*made);
        return made;
    }
};

// One element holding one typed value, in the attribute the class names ("value" here) or, when it names
// none, in the element's text. Most element classes are one-line subclasses.
class DSValueConstruct : public DSValueClassOf<DSValueConstruct, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSValueConstruct", .valueAttribute = "value"}; }

    void addParseDeclarations() override;
    // The attribute holding the value; empty for the element's text.
    virtual QString attributeName() const { return dsClass().valueAttribute(); }

    virtual QString stringValue() const;
    virtual void setStringValue(const QString& value);
    // The leading decimal integer; 0 when there is none.
    int intValue() const;
    void setIntValue(int value);
    qint64 longLongValue() const;
    void setLongLongValue(qint64 value);
    // "INF" and "-INF" in any case are the infinities; 0 when there is no value.
    double doubleValue() const;
    void setDoubleValue(double value);
    // Only "true", in any case, is true.
    bool boolValue() const;
    void setBoolValue(bool value);
    std::optional<DSDateTime> dateTimeValue() const;
    void setDateTimeValue(const std::optional<DSDateTime>& value);
};

// A value with a second attribute naming it ("name").
class DSNameValueConstruct : public DSValueClassOf<DSNameValueConstruct, DSValueConstruct> {
public:
    static DSClassInfo classInfo() { return {.name = "DSNameValueConstruct", .nameAttribute = "name"}; }

    void addParseDeclarations() override;
    virtual QString nameAttributeName() const { return dsClass().nameAttribute(); }
    QString name() const;
    void setName(const QString& name);
    // None when both are none.
    template <class T = DSNameValueConstruct>
    static std::shared_ptr<T> valueWithName(const QString& name, const QString& value) {
        if (name.isNull() && value.isNull())
            return nullptr;
        auto made = T::object();
        made->setStringValue(value);
        made->setName(name);
        return made;
    }
};

// A value held in the element's text.
class DSValueElementConstruct : public DSValueClassOf<DSValueElementConstruct, DSValueConstruct> {
public:
    static DSClassInfo classInfo() { return {.name = "DSValueElementConstruct", .valueAttribute = ""}; }
};

// An element whose presence is the value: it has no value of its own.
class DSImplicitValueConstruct : public DSValueClassOf<DSImplicitValueConstruct, DSValueElementConstruct> {
public:
    static DSClassInfo classInfo() { return {.name = "DSImplicitValueConstruct"}; }
    static std::shared_ptr<DSImplicitValueConstruct> implicitValue() { return object(); }
    QString stringValue() const override { return QString(); }
};

// A value attribute holding "true" or "false".
class DSBoolValueConstruct : public DSValueClassOf<DSBoolValueConstruct, DSValueConstruct> {
public:
    static DSClassInfo classInfo() { return {.name = "DSBoolValueConstruct"}; }
    static std::shared_ptr<DSBoolValueConstruct> boolValueWithBool(bool value) {
        return valueWithBool(value);
    }
};

#pragma once

#include "webservice/BaseClasses/DSClass.h"

// An extension that is an attribute of its parent's element rather than an element of its own: one value.
class DSAttribute : public DSInstance {
public:
    static const DSClass& staticClass();
    const DSClass& dsClass() const override { return staticClass(); }
    void init() {}

    // A new attribute of the class holding the value (the class must be a DSAttribute class).
    static std::shared_ptr<DSAttribute> attributeWithValue(const DSClass& cls, const QString& value);

    QString stringValue() const { return value_; }
    void setStringValue(const QString& value) { value_ = value; }

    DSInstanceRef copyInstance() const override;
    // Any two attributes with equal values (or none) are equal, whatever their classes.
    bool isEqual(const DSInstance* other) const override;
    QString description() const override;

private:
    QString value_;
};

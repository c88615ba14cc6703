#include "webservice/DSClasses.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/DSEntryContent.h"
#include "webservice/DSRating.h"
#include "webservice/DSValueConstruct.h"

#include <mutex>

void registerDsClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        const DSClassGetter classes[] = {
            &DSObject::staticClass,
            &DSAttribute::staticClass,
            &DSEntryBase::staticClass,
            &DSFeedBase::staticClass,
            &DSValueConstruct::staticClass,
            &DSNameValueConstruct::staticClass,
            &DSValueElementConstruct::staticClass,
            &DSImplicitValueConstruct::staticClass,
            &DSBoolValueConstruct::staticClass,
            &DSEntryContent::staticClass,
            &DSRating::staticClass,
        };
        for (DSClassGetter cls : classes)
            DSClass::registerClassName(cls());
        // Entry and feed classes of the service register their kinds here (DSEntryBase::registerEntryClass).
    });
}

#pragma once

#include "webservice/BaseClasses/DSQuery.h"

// A feed query of the video service: the DS query with the service's parameters.
class DSQueryVideoSite : public DSQuery {
public:
    using DSQuery::DSQuery;
    static std::shared_ptr<DSQueryVideoSite> videoSiteQueryWithFeedURL(const QUrl& feedURL) {
        return std::make_shared<DSQueryVideoSite>(feedURL);
    }
    std::shared_ptr<DSQuery> copy() const override { return std::make_shared<DSQueryVideoSite>(*this); }

    QString videoQuery() const { return fullTextQueryString(); }
    void setVideoQuery(const QString& text) { setFullTextQueryString(text); }
    QString format() const { return text("format"); }
    void setFormat(const QString& value) { setText("format", value); }
    QString captionTrackFormat() const { return text("fmt"); }
    void setCaptionTrackFormat(const QString& value) { setText("fmt", value); }
    QString timePeriod() const { return text("time"); }
    void setTimePeriod(const QString& value) { setText("time", value); }
    QString restriction() const { return text("restriction"); }
    void setRestriction(const QString& value) { setText("restriction", value); }
    QString languageRestriction() const { return text("lr"); }
    void setLanguageRestriction(const QString& value) { setText("lr", value); }
    QString location() const { return text("location"); }
    void setLocation(const QString& value) { setText("location", value); }
    QString locationRadius() const { return text("location-radius"); }
    void setLocationRadius(const QString& value) { setText("location-radius", value); }
    bool hasCaptions() const { return flag("caption"); }
    void setHasCaptions(bool value) { setFlag("caption", value); }
    bool shouldRequire3D() const { return flag("3d"); }
    void setShouldRequire3D(bool value) { setFlag("3d", value); }
    bool shouldInline() const { return flag("inline"); }
    void setShouldInline(bool value) { setFlag("inline", value); }
    QString uploader() const { return text("uploader"); }
    void setUploader(const QString& value) { setText("uploader", value); }
    QString safeSearch() const { return text("safeSearch"); }
    void setSafeSearch(const QString& value) { setText("safeSearch", value); }

private:
    QString text(const char* name) const { return valueForParameterWithName(QLatin1String(name)); }
    void setText(const char* name, const QString& value) {
        addCustomParameterWithName(QLatin1String(name), value);
    }
    bool flag(const char* name) const { return boolValueForParameterWithName(QLatin1String(name), false); }
    void setFlag(const char* name, bool value) {
        addCustomParameterWithNameBoolValue(QLatin1String(name), value, false);
    }
};

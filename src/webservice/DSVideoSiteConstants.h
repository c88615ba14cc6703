#pragma once

#include "webservice/BaseClasses/DSObject.h"

// The video service's namespaces, and the names made from its schema namespace: kinds and link relations
// (the URI, "#" and a fragment) and category schemes (the URI, "/" and a file name ending in ".cat").
namespace DSVideoSiteConstants {

// A fresh map on each call: the empty prefix (Atom), "ds", "app", "vs", "media", "georss", "geo", "gml".
DSStringMap videoSiteNamespaces();
// "<schema>#<fragment>": a kind or a link relation.
QString schemaFragment(const char* fragment);
// "<schema>/<name>": a category scheme.
QString categoryScheme(const char* name);

inline constexpr const char* kStandardFeedIDs[] = {
    "top_rated",      "top_favorites", "most_viewed", "most_popular",   "most_recent",
    "most_discussed", "most_shared",   "on_the_web",  "most_responded", "recently_featured"};
inline constexpr const char* kUserFeedIDs[] = {"contacts",
                                               "favorites",
                                               "inbox",
                                               "playlists",
                                               "subscriptions",
                                               "uploads",
                                               "newsubscriptionvideos",
                                               "friendsactivity",
                                               "recommendations"};
inline constexpr const char* kOrderByValues[] = {"updated", "viewCount", "rating", "relevance"};
inline constexpr const char* kTimePeriods[] = {"today", "this_week", "this_month", "all_time"};
inline constexpr const char* kSafeSearchValues[] = {"none", "strict", "moderate"};
inline constexpr const char* kCaptionTrackFormats[] = {"sbv", "srt"};
inline constexpr char kUserIDDefault[] = "default";
// File names of the category schemes; "categories.cat" holds the video categories an upload names.
inline constexpr const char* kCategorySchemes[] = {
    "subscriptiontypes.cat", "channeltypes.cat", "contact.cat",       "tags.cat",
    "keywords.cat",          "categories.cat",   "developertags.cat", "userevents.cat",
    "complaint-reasons.cat"};
inline constexpr const char* kLinkRelations[] = {"#mobile",       "#video.related", "#channel.content",
                                                 "#in-reply-to",  "#video.query",   "#action.getUploadToken",
                                                 "#insight.views"};

} // namespace DSVideoSiteConstants

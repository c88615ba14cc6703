#pragma once

#include <QString>

// The namespaces of the service's documents, by role, with the prefixes the documents give them.

// The published namespaces of the standards the documents build on: fixed.
inline constexpr char kDSNamespaceAtom[] = "http://www.w3.org/2005/Atom";
inline constexpr char kDSNamespaceAtomPrefix[] = "atom";
inline constexpr char kDSNamespaceAtomPub[] = "http://www.w3.org/2007/app";
inline constexpr char kDSNamespaceAtomPubPrefix[] = "app";
inline constexpr char kDSNamespaceMedia[] = "http://search.yahoo.com/mrss/";
inline constexpr char kDSNamespaceMediaPrefix[] = "media";
inline constexpr char kDSNamespaceGeoRSS[] = "http://www.georss.org/georss";
inline constexpr char kDSNamespaceGeoRSSPrefix[] = "georss";
inline constexpr char kDSNamespaceGeoW3C[] = "http://www.w3.org/2003/01/geo/wgs84_pos#";
inline constexpr char kDSNamespaceGeoW3CPrefix[] = "geo";
inline constexpr char kDSNamespaceGML[] = "http://www.opengis.net/gml";
inline constexpr char kDSNamespaceGMLPrefix[] = "gml";

inline constexpr char kDSNamespaceDSPrefix[] = "ds";
inline constexpr char kDSNamespaceOpenSearchPrefix[] = "openSearch";
inline constexpr char kDSNamespaceBatchPrefix[] = "batch";
inline constexpr char kDSNamespaceVideoSitePrefix[] = "vs";

// The service's own namespaces, and the schemes made from them, come from the service-address table, where
// the user defaults may replace them. They are read once, by the first class or document that asks, and stay
// for the process: element classes, kinds and documents all see the same set.
const QString& DSNamespaceDS();
const QString& DSNamespaceOpenSearch();
const QString& DSNamespaceBatch();
const QString& DSNamespaceVideoSite();
// A document names the kind of its root by a category of this scheme, or by the DS attribute "kind".
const QString& DSCategoryKindScheme();
// Categories that carry a user's labels.
const QString& DSCategoryLabelScheme();

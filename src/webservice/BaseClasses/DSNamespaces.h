#pragma once

// The namespaces of the service's documents, by role. The DS, batch and video-site namespaces are the
// service's own; the others are the published ones of their standards.
inline constexpr char kDSNamespaceAtom[] = "http://www.w3.org/2005/Atom";
inline constexpr char kDSNamespaceAtomPrefix[] = "atom";
inline constexpr char kDSNamespaceAtomPub[] = "http://www.w3.org/2007/app";
inline constexpr char kDSNamespaceAtomPubPrefix[] = "app";
inline constexpr char kDSNamespaceOpenSearch[] = "http://a9.com/-/spec/opensearch/1.1/";
inline constexpr char kDSNamespaceOpenSearchPrefix[] = "openSearch";
inline constexpr char kDSNamespaceDS[] = "http://schemas.vistrelle.invalid/ds/2005";
inline constexpr char kDSNamespaceDSPrefix[] = "ds";
inline constexpr char kDSNamespaceBatch[] = "http://schemas.vistrelle.invalid/ds/batch/2007";
inline constexpr char kDSNamespaceBatchPrefix[] = "batch";
inline constexpr char kDSNamespaceMedia[] = "http://search.yahoo.com/mrss/";
inline constexpr char kDSNamespaceMediaPrefix[] = "media";
inline constexpr char kDSNamespaceGeoRSS[] = "http://www.georss.org/georss";
inline constexpr char kDSNamespaceGeoRSSPrefix[] = "georss";
inline constexpr char kDSNamespaceGeoW3C[] = "http://www.w3.org/2003/01/geo/wgs84_pos#";
inline constexpr char kDSNamespaceGeoW3CPrefix[] = "geo";
inline constexpr char kDSNamespaceGML[] = "http://www.opengis.net/gml";
inline constexpr char kDSNamespaceGMLPrefix[] = "gml";
inline constexpr char kDSNamespaceVideoSite[] = "http://schemas.vistrelle.invalid/videosite/2007";
inline constexpr char kDSNamespaceVideoSitePrefix[] = "vs";

// A document names the kind of its root by a category of this scheme, or by the DS attribute "kind".
inline constexpr char kDSCategoryKindScheme[] = "http://schemas.vistrelle.invalid/ds/2005#kind";
// Categories that carry a user's labels.
inline constexpr char kDSCategoryLabelScheme[] = "http://schemas.vistrelle.invalid/ds/2005/labels";

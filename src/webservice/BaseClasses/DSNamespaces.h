#pragma once

// The namespaces of the service's documents, by role. The DS namespace is the service's own.
inline constexpr char kDSNamespaceAtom[] = "http://www.w3.org/2005/Atom";
inline constexpr char kDSNamespaceAtomPrefix[] = "atom";
inline constexpr char kDSNamespaceAtomPub[] = "http://www.w3.org/2007/app";
inline constexpr char kDSNamespaceAtomPubPrefix[] = "app";
inline constexpr char kDSNamespaceDS[] = "http://schemas.vistrelle.invalid/ds/2005";
inline constexpr char kDSNamespaceDSPrefix[] = "ds";

// A document names the kind of its root by a category of this scheme, or by the DS attribute "kind".
inline constexpr char kDSCategoryKindScheme[] = "http://schemas.vistrelle.invalid/ds/2005#kind";

#pragma once

// Makes the service client's element classes known by name and registers the entry and feed classes under
// their kinds. Safe to call any number of times from any thread; every parse entry point calls it.
void registerDsClasses();

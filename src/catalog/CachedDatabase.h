#pragma once

#include "Thesaurus.h"
#include "ThesaurusCatalog.h"

// A database built from an installed thesaurus is ready when it was built from the files
// as they are now: the size and modification time of the thesaurus and the dictionary are
// kept beside it, so a package upgrade brings a rebuild.
bool DatabaseReady(const InstalledThesaurus& thesaurus);

// Builds the thesaurus's database with the importer, in this thread. The database appears
// only once complete; throws ThesaurusError with the reason, or ImportCancelled.
void BuildDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress = {});

// The database of the thesaurus, built first when it is not ready; the reason it cannot
// be built goes out as ThesaurusError.
QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress = {});

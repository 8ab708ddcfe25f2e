// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Thesaurus.h"
#include "ThesaurusCatalog.h"

// A database built from an installed thesaurus is ready when a stamp beside it says it was
// built from the thesaurus and dictionary as they are now, by an importer that files words
// as this one does, and the database is still the very file the build published (its size
// and modification time; a copy with the same ones is checked by SQLite first). Anything
// else is rebuilt, never served. Cheap unless the database was touched since its build:
// `--languages` asks it of every language.
bool DatabaseReady(const InstalledThesaurus& thesaurus);

// Where the inflected forms of its built database come from: every form the language's
// dictionary generates from a headword.
FormSources FormsOf(const InstalledThesaurus& thesaurus);

// The database of the thesaurus, built first when it is not ready: with the importer, in this
// thread, the database and then its stamp appearing only complete. A build another process
// has under way is waited for, and its database used; waiting is told so once, and progress
// is asked meanwhile (at 0%), so the wait can be cancelled too. The reason it cannot be built goes out as ThesaurusError;
// a cancelled build as ImportCancelled.
QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress = {},
                         const std::function<void()>& waiting = {});

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What marks a synonym database as the importer's, and what each version of its files
// promises the program that reads them.

// 'LXGV' in `pragma application_id`: the importer's own files, as against any SQLite file.
constexpr int kApplicationId = 0x4C584756;
// `pragma user_version`: from version 2 every word is filed under its folded key, and the
// program compares words ignoring all letter case; from version 3 the keys are composed (NFC)
// as well, compared composed, and every meaning of every term is kept (qryRelations); from
// version 4 every relation of a term within one meaning is kept, a meaning repeated under one
// headword is kept once, and the table kinds lists the values --pos and --relation accept;
// from version 5 the forms of a prefix too prolific to file one by one are found through the
// table prefix and the bits of form.prefixes; from version 6 a word whose entries give no
// synonym kind is answered with their broader and narrower terms (synonym.listed 2); from
// version 7 each form row names how it was built (form.how, table how).
constexpr int kFoldedKeysVersion = 2;
constexpr int kComposedKeysVersion = 3;
constexpr int kKindsVersion = 4;
constexpr int kPrefixesVersion = 5;
constexpr int kStandInsVersion = 6;
constexpr int kFormHowVersion = 7;
constexpr int kSchemaVersion = kFormHowVersion;

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QStringView>

// The relations that count as synonyms, which qrySynonyms answers and the rows formats show;
// a database holds others too (antonym, generic term, narrower term). For the importer's text
// and for the database's own UTF-8, compared as they are: the command line asks per record.
template <class Text> bool IsSynonymKind(Text relation) {
    return relation == QLatin1StringView("synonym") ||
           relation == QLatin1StringView("similar term") ||
           relation == QLatin1StringView("related term");
}
inline bool IsSynonymKind(QByteArrayView relation) {
    return relation == QByteArrayView("synonym") || relation == QByteArrayView("similar term") ||
           relation == QByteArrayView("related term");
}

// What stands in for synonyms when a word's entries give none (English "money" lists only
// broader and narrower terms): better than "not found", where an antonym never is.
template <class Text> bool IsStandInKind(Text relation) {
    return relation == QLatin1StringView("generic term") ||
           relation == QLatin1StringView("narrower term");
}
inline bool IsStandInKind(QByteArrayView relation) {
    return relation == QByteArrayView("generic term") ||
           relation == QByteArrayView("narrower term");
}
// The values of synonym.listed, which marks the rows qrySynonyms may answer.
enum ListedAs { kNotListed = 0, kListedSynonym = 1, kListedStandIn = 2 };

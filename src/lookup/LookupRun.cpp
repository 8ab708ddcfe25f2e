// SPDX-License-Identifier: GPL-3.0-or-later
#include "LookupRun.h"

#include "AppError.h"
#include "DbConnection.h"
#include "Desktop.h"
#include "ErrorTrap.h"
#include "Paths.h"
#include "PointerMode.h"
#include "ReadLock.h"
#include "RecordSet.h"
#include "RowFormats.h"
#include "SynonymMeanings.h"
#include "SynonymQuery.h"
#include "Utf8Text.h"

#include <QStringEncoder>
#include <cstring>
#include <optional>
#include <vector>

namespace {
const QString kStop = QStringLiteral("Stop");
const QString kIdleProgressText = QStringLiteral("Progress Bar");
const QString kSynonymField = QStringLiteral("synonym");
} // namespace

void LookupHost::appendResultUtf8(QByteArrayView row, QByteArrayView meaning) {
    appendResult(WordFromUtf8(row), meaning);
}

LookupRun::LookupRun(LookupHost& host, Desktop& desktop, DbConnection& connection)
    : host_(host), desktop_(desktop), connection_(connection) {}

void LookupRun::PushButton17_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton17_Click"));
    std::optional<RecordSet> rs;

    trap.line(100, [&] { rs.emplace(); });
    if (trap.test(102, [&] { return host_.wordCount() == 0; })) {
        trap.line(166, [&] { desktop_.message(QStringLiteral("No words added.")); });
        return;
    }
    if (trap.test(104, [&] { return host_.startCaption() == kStop; })) {
        trap.line(162, [&] { desktop_.letEventsRun(); });
        trap.line(164, [&] {
            host_.setStartCaption(savedCaption_);
            running_ = false;
        });
        return;
    }
    trap.line(106, [&] { savedCaption_ = host_.startCaption(); });
    trap.line(108, [&] {
        host_.setStartCaption(kStop);
        running_ = true;
    });
    trap.line(110, [&] { desktop_.letEventsRun(); });
    trap.line(112, [&] { host_.setPointerMode(PointerMode::Busy); });
    trap.line(114, [&] { host_.clearResults(); });

    int bound = 0;
    trap.line(116, [&] { bound = host_.wordCount(); });
    const SynonymStore::Reading reading(connection_.store(), kLookupsPerReadLock);
    // Beside the query's rows, what each synonym means, from the same read lock.
    SynonymMeanings meanings(connection_.store());
    // A word's UTF-8, its query and its current row, rebuilt in place for each word: none
    // holds more than the longest word and row need (three bytes a UTF-16 unit), and all
    // go at the end of the click.
    QByteArray wordUtf8, query, row;
    QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    // A list emptied mid-run would otherwise report every remaining position.
    bool reportedGoneEntry = false;
    for (int i = 1; i <= bound; ++i) {
        if (reportedGoneEntry && i > host_.wordCount())
            continue;
        QString word;
        if (!trap.line(118, [&] { word = host_.wordText(i); })) {
            reportedGoneEntry = true;
            continue;
        }
        trap.line(120, [&] { host_.setProgressValue(double(i) / host_.wordCount() * 100.0); });
        trap.line(122, [&] {
            host_.setProgressText(QStringLiteral("Processing: ") + FileNameFromPath(word));
        });
        trap.line(124, [&] { desktop_.letEventsRun(); });
        trap.line(126, [&] { host_.setPointerMode(PointerMode::Busy); });
        // No word in the database holds a NUL, and the query's text would
        // end at it: such a word (a binary file loaded by mistake gives many)
        // is simply not found, without a report for each.
        const bool holdsNul = word.contains(QChar(0));
        // A word that UTF-8 carries (all but those with a lone surrogate) has its query and
        // rows built as UTF-8, each in a buffer kept from word to word; any other goes as
        // text, to fail as it always did.
        bool inUtf8 = !holdsNul && word.isValidUtf16();
        QString quoted;
        // After a failure here the word goes as text, quoted or not, as it always did.
        const bool quotedOk = trap.line(128, [&] {
            if (inUtf8) {
                wordUtf8.resize(word.size() * 3); // the most UTF-8 a UTF-16 unit takes
                wordUtf8.truncate(toUtf8.appendToBuffer(wordUtf8.data(), word) -
                                  wordUtf8.constData());
                BuildSynonymQueryUtf8(query, wordUtf8);
            } else {
                quoted = QuoteSqlText(word);
            }
        });
        inUtf8 = inUtf8 && quotedOk;
        const bool opened = !holdsNul && trap.line(130, [&] {
            if (inUtf8)
                rs.value().OpenUtf8(query, connection_, RecordSet::adOpenStatic,
                                    RecordSet::adLockReadOnly);
            else
                rs.value().Open(SynonymQueryText(quoted), connection_, RecordSet::adOpenStatic,
                                RecordSet::adLockReadOnly);
        });
        // The stop click puts the caption back and ends running_ together.
        if (trap.test(132, [&] { return !running_; })) {
            trap.line(132, [&] { host_.setPointerMode(PointerMode::Plain); });
            trap.line(134, [&] {
                host_.setProgressValue(0);
                host_.setProgressText(kIdleProgressText);
            });
            break;
        }
        // A query that cannot be opened has no rows to read: it was reported
        // once, and the word gets none.
        if (!opened) {
            if (holdsNul)
                trap.line(146, [&] {
                    host_.appendResult(NotFoundRow(word), QByteArrayView(kNotInDatabase));
                });
            continue;
        }

        // Each read that fails is reported once and ends the word, since every
        // further read of the same query would fail the same way.
        bool atEnd = true;
        if (trap.line(136, [&] { atEnd = rs.value().Eof(); })) {
            // Each row is the same prefix and another synonym: one row, its prefix kept,
            // takes each synonym in turn, so that a row costs no allocation. A synonym that
            // is not UTF-8 as Qt reads it (invalid bytes) is decoded into a row of text.
            qsizetype prefix = 0;
            const auto appendRow = [&](QByteArrayView rest, QByteArrayView meaning) {
                if (inUtf8 && IsUtf8AsQtReadsIt(rest)) {
                    // In place: appending to a QByteArray goes the long way of an insertion.
                    row.resize(prefix + rest.size());
                    if (!rest.isEmpty())
                        std::memcpy(row.data() + prefix, rest.data(), size_t(rest.size()));
                    host_.appendResultUtf8(row, meaning);
                } else {
                    host_.appendResult(SynonymRowPrefix(word) + WordFromUtf8(rest), meaning);
                }
            };
            if (inUtf8) {
                row.truncate(0);
                AppendSynonymRowPrefix(row, wordUtf8);
                prefix = row.size();
            }
            if (!atEnd) {
                // A word that UTF-8 cannot carry is in no database, and has no meanings.
                if (inUtf8)
                    meanings.load(wordUtf8);
                else
                    meanings.forget();
                while (trap.line(138, [&] { atEnd = rs.value().Eof(); }) && !atEnd) {
                    QByteArrayView synonym; // valid until MoveNext
                    if (!trap.line(142, [&] { synonym = rs.value().FieldUtf8(kSynonymField); }))
                        break;
                    trap.line(142, [&] { appendRow(synonym, meanings.of(synonym)); });
                    if (!trap.line(144, [&] { rs.value().MoveNext(); }))
                        break;
                }
            } else {
                // No row of its own: it may still be a form through a prefix the database
                // keeps as marks (Italian "dell'uomo").
                std::vector<SynonymStore::Record> prefixed;
                if (inUtf8 && connection_.store().keepsPrefixes())
                    trap.line(136, [&] {
                        prefixed = connection_.store().prefixedRecords(
                            wordUtf8, SynonymStore::View::SynonymsAlone);
                    });
                if (!prefixed.empty())
                    meanings.load(wordUtf8);
                for (const SynonymStore::Record& record : prefixed)
                    trap.line(142, [&] { appendRow(record.synonym, meanings.of(record.synonym)); });
                if (prefixed.empty())
                    trap.line(146, [&] {
                        appendRow(QByteArrayView(kNotFoundText), QByteArrayView(kNotInDatabase));
                    });
            }
        }
        trap.line(148, [&] {
            if (rs.value().State() != 0)
                rs.value().Close();
        });
    }

    trap.line(152, [&] {
        host_.setStartCaption(savedCaption_);
        running_ = false;
    });
    trap.line(154, [&] { host_.setPointerMode(PointerMode::Plain); });
    trap.line(156, [&] { host_.setProgressValue(0); });
    trap.line(158, [&] { host_.setProgressText(kIdleProgressText); });
    trap.line(160, [&] { desktop_.message(QStringLiteral("Done.")); });
}

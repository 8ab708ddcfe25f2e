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
#include "SynonymQuery.h"
#include "Utf8Text.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {
const QString kStop = QStringLiteral("Stop");
const QString kIdleProgressText = QStringLiteral("Progress Bar");
const QString kSynonymField = QStringLiteral("synonym");
} // namespace

void LookupHost::appendResultUtf8(QByteArrayView row) {
    appendResult(WordFromUtf8(row));
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
        stopClick(trap);
        return;
    }
    start(trap);
    // However long one query takes (a recursive view of a database of one's own), the window
    // answers meanwhile, and a stop click or closing the window ends the query.
    struct Asking {
        SynonymStore& store;
        ~Asking() { store.whileReading({}); }
    } asking{connection_.store()};
    connection_.store().whileReading([this] {
        desktop_.letEventsRun();
        return running_;
    });

    int bound = 0;
    trap.line(116, [&] { bound = host_.wordCount(); });
    const SynonymStore::Reading reading(connection_.store(), kLookupsPerReadLock);
    WordRows rows;
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
        showProgress(trap, i, word);
        // No word in the database holds a NUL, and the query's text would end at it: such a
        // word (a binary file loaded by mistake gives many) is simply not found, without a
        // report for each.
        const bool holdsNul = word.contains(QChar(0));
        const bool opened = !holdsNul && open(trap, rs, rows.query, word);
        // The stop click puts the caption back and ends running_ together.
        if (trap.test(132, [&] { return !running_; })) {
            stopRun(trap);
            break;
        }
        // A query that cannot be opened has no rows to read: it was reported once, and the
        // word gets none.
        if (!opened) {
            if (holdsNul)
                trap.line(146, [&] {
                    host_.startWordRows({});
                    host_.appendResult(NotFoundRow(word));
                });
            continue;
        }
        appendRows(trap, rs, rows);
        trap.line(148, [&] {
            if (rs.value().State() != 0)
                rs.value().Close();
        });
    }
    finish(trap);
}

void LookupRun::stopClick(ErrorTrap& trap) {
    trap.line(162, [&] { desktop_.letEventsRun(); });
    trap.line(164, [&] {
        host_.setStartCaption(savedCaption_);
        running_ = false;
    });
}

void LookupRun::start(ErrorTrap& trap) {
    trap.line(106, [&] { savedCaption_ = host_.startCaption(); });
    trap.line(108, [&] {
        host_.setStartCaption(kStop);
        running_ = true;
    });
    trap.line(110, [&] { desktop_.letEventsRun(); });
    trap.line(112, [&] { host_.setPointerMode(PointerMode::Busy); });
    trap.line(114, [&] { host_.clearResults(); });
}

void LookupRun::showProgress(ErrorTrap& trap, int position, const QString& word) {
    trap.line(120, [&] { host_.setProgressValue(double(position) / host_.wordCount() * 100.0); });
    trap.line(122, [&] {
        host_.setProgressText(QStringLiteral("Processing: ") + FileNameFromPath(word));
    });
    trap.line(124, [&] { desktop_.letEventsRun(); });
    trap.line(126, [&] { host_.setPointerMode(PointerMode::Busy); });
}

bool LookupRun::open(ErrorTrap& trap, std::optional<RecordSet>& rs, WordQuery& query,
                     const QString& word) {
    bool carried = false;
    if (!trap.line(128, [&] { carried = query.build(word); }))
        return false;
    return trap.line(130, [&] {
        // A word UTF-8 cannot carry goes as it is, and is refused with the reason.
        if (carried)
            rs.value().OpenUtf8(query.text(), connection_, RecordSet::adOpenStatic,
                                RecordSet::adLockReadOnly);
        else
            rs.value().Open(word, connection_, RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
    });
}

void LookupRun::stopRun(ErrorTrap& trap) {
    trap.line(132, [&] { host_.setPointerMode(PointerMode::Plain); });
    trap.line(134, [&] {
        host_.setProgressValue(0);
        host_.setProgressText(kIdleProgressText);
    });
}

void LookupRun::WordRows::startWord(LookupHost& host, bool found) {
    row.truncate(0);
    AppendSynonymRowPrefix(row, query.word());
    prefix = row.size();
    host.startWordRows(found ? query.word() : QByteArrayView());
}

void LookupRun::WordRows::append(LookupHost& host, QByteArrayView synonym) {
    // In place: appending to a QByteArray goes the long way of an insertion.
    row.resize(prefix + synonym.size());
    if (!synonym.isEmpty())
        std::memcpy(row.data() + prefix, synonym.data(), size_t(synonym.size()));
    // A synonym that is not UTF-8 as Qt reads it (invalid bytes) is decoded into a row of
    // text; the prefix, whole characters, decodes the same either way.
    if (IsUtf8AsQtReadsIt(synonym))
        host.appendResultUtf8(row);
    else
        host.appendResult(WordFromUtf8(row));
}

void LookupRun::appendRows(ErrorTrap& trap, std::optional<RecordSet>& rs, WordRows& rows) {
    // Each read that fails is reported once and ends the word, since every further read of
    // the same query would fail the same way.
    bool atEnd = true;
    if (!trap.line(136, [&] { atEnd = rs.value().Eof(); }))
        return;
    if (!atEnd) {
        rows.startWord(host_, true);
        while (trap.line(138, [&] { atEnd = rs.value().Eof(); }) && !atEnd) {
            QByteArrayView synonym; // valid until MoveNext
            if (!trap.line(142, [&] { synonym = rs.value().FieldUtf8(kSynonymField); }))
                break;
            trap.line(142, [&] { rows.append(host_, synonym); });
            if (!trap.line(144, [&] { rs.value().MoveNext(); }))
                break;
        }
        return;
    }
    // No row of its own: it may still be a form through a prefix the database keeps as marks
    // (Italian "dell'uomo").
    const QByteArrayView word = rows.query.word();
    std::vector<SynonymStore::Record> prefixed;
    if (connection_.store().keepsPrefixes())
        trap.line(136, [&] {
            prefixed = connection_.store().prefixedRecords(word, SynonymStore::View::SynonymsAlone);
        });
    rows.startWord(host_, !prefixed.empty());
    if (prefixed.empty()) {
        trap.line(146, [&] { rows.append(host_, QByteArrayView(kNotFoundText)); });
        return;
    }
    for (const SynonymStore::Record& record : prefixed)
        trap.line(142, [&] { rows.append(host_, record.synonym); });
}

void LookupRun::finish(ErrorTrap& trap) {
    trap.line(152, [&] {
        host_.setStartCaption(savedCaption_);
        running_ = false;
    });
    trap.line(154, [&] { host_.setPointerMode(PointerMode::Plain); });
    trap.line(156, [&] { host_.setProgressValue(0); });
    trap.line(158, [&] { host_.setProgressText(kIdleProgressText); });
    trap.line(160, [&] { desktop_.message(QStringLiteral("Done.")); });
}

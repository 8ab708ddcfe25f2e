// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordSet.h"
#include "SynonymMeanings.h"
#include "SynonymQuery.h"
#include "WindowState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class Desktop;
class DbConnection;
class ErrorTrap;
class SynonymStore;

// What the lookup run needs of the window: the word list, the results list,
// the progress bar, the start button's caption and the pointer mode.
class LookupHost : public ProgressDisplay, public PointerControl {
  public:
    virtual int wordCount() const = 0;
    // 1-based; throws AppError when the entry is no longer in the list.
    virtual QString wordText(int position) const = 0;

    virtual void clearResults() = 0;
    // The rows appended from now on are those of this word, in UTF-8 as the store was asked
    // (empty: a word that is not in the database). What a row means is not kept: RowMeaning
    // reads it from the word and the row when it is asked for.
    virtual void startWordRows(QByteArrayView wordUtf8) = 0;
    virtual void appendResult(const QString& text) = 0;
    // A row already in UTF-8 that Qt reads without a replacement character: a list that keeps
    // its rows in UTF-8 stores it as it is. Shown exactly as appendResult(WordFromUtf8(row)).
    virtual void appendResultUtf8(QByteArrayView row);

    virtual QString startCaption() const = 0;
    virtual void setStartCaption(const QString& caption) = 0;
};

// The start button's handler: looks up every word of the list, one query per
// word, letting events run between words so that a second click can stop it.
class LookupRun {
  public:
    LookupRun(LookupHost& host, Desktop& desktop, DbConnection& connection);

    // Throws ClosingSignal when the window closes during one of its yields.
    void PushButton17_Click();

    // From the moment the button shows "Stop" until the run puts its caption back, at its
    // end or on a stop click: while it is true, a click on the button is a stop request.
    bool running() const { return running_; }

  private:
    // A word's query and rows, in buffers kept from word to word for the whole click.
    struct WordRows {
        // The row prefix of query's word, kept for each of its rows, which are the word's
        // (found: in the database) from now on.
        void startWord(LookupHost& host, bool found);
        // The word's row with this synonym.
        void append(LookupHost& host, QByteArrayView synonym);

        WordQuery query;
        QByteArray row;
        qsizetype prefix = 0;
    };

    // The click's steps, each numbered line through the click's trap.
    void stopClick(ErrorTrap& trap);
    void start(ErrorTrap& trap);
    void showProgress(ErrorTrap& trap, int position, const QString& word);
    bool open(ErrorTrap& trap, std::optional<RecordSet>& rs, WordQuery& query, const QString& word);
    void stopRun(ErrorTrap& trap);
    void appendRows(ErrorTrap& trap, std::optional<RecordSet>& rs, WordRows& rows);
    void finish(ErrorTrap& trap);

    LookupHost& host_;
    Desktop& desktop_;
    DbConnection& connection_;
    // Shared by every click: a stop click puts back the caption that the
    // running click saved.
    QString savedCaption_;
    bool running_ = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringEncoder>
#include <QStringView>

// What is to be written to a file or a descriptor, gathered and handed on in pieces of
// kChunkBytes: few system calls, little memory. Texts go in the system's 8-bit encoding.
class PendingOutput {
  public:
    // Each returns true once a piece is full: time to write bytes().
    bool addText(QStringView text) {
        // Encoded straight onto what is pending: exports are written row by row.
        const qsizetype start = pending_.size();
        pending_.resize(start + encoder_.requiredSpace(text.size()));
        const char* end = encoder_.appendToBuffer(pending_.data() + start, text);
        pending_.truncate(end - pending_.constData());
        return full();
    }
    bool addBytes(QByteArrayView bytes) {
        pending_ += bytes;
        return full();
    }
    const QByteArray& bytes() const { return pending_; }
    // The room stays for the next piece.
    void written() { pending_.truncate(0); }
    void discard() { pending_.clear(); }

  private:
    bool full() const { return pending_.size() >= kChunkBytes; }

    QStringEncoder encoder_{QStringEncoder::System};
    QByteArray pending_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"
#include "TextOutput.h"

#include <QByteArray>

// The UTF-8 a writer has made and not yet handed to its output. Handed on in
// pieces of kChunkBytes by whoever streams, so that memory stays at one piece
// however long the output grows.
class GatheredText {
  public:
    explicit GatheredText(TextOutput& out) : out_(out) {}

    QByteArray& text() { return text_; }
    void handOnWhenFull() {
        if (text_.size() >= kChunkBytes)
            handOn();
    }
    void handOn() {
        out_.writeUtf8(text_);
        text_.truncate(0); // the room stays for the next piece
    }

  private:
    TextOutput& out_;
    QByteArray text_;
};

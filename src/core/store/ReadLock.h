// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SynonymStore.h"

#include <limits>
#include <optional>

// Lookups under one read lock before a program waiting to write the file gets its turn: the
// window's queries (a word takes two), the command line's words (most take one query). About a
// millisecond in either: the window yields after every word whatever the stretch, and longer
// stretches bought the command line no speed while they lengthened the window's longest gap
// between yields. Taking the lock costs about a query's worth of system calls.
inline constexpr int kLookupsPerReadLock = 256;

// The database's read lock, held by a lookup loop across a stretch of words
// and given up before it waits for more: a program writing the file waits
// only while words are being looked up, never while a pipeline is idle.
// Each stretch reads the file as it is when the stretch begins.
class ReadLock {
  public:
    explicit ReadLock(SynonymStore& store) : store_(store) {}
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

    // From the next query on, when not held already.
    void hold() {
        if (!reading_)
            reading_.emplace(store_, std::numeric_limits<int>::max());
    }
    void release() { reading_.reset(); }

  private:
    SynonymStore& store_;
    std::optional<SynonymStore::Reading> reading_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowArray.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Where each row's text ends in a list's buffer, in 4 bytes a row rather
// than 8: only the low Bits of each end are kept. Ends only grow from row to
// row, so the rows at which they pass another multiple of 2^Bits are listed
// in wraps_, and the count of those up to a row gives its high part. Below
// 4 GiB of text that list is empty and costs nothing.
template <unsigned Bits = 32> class RowEnds {
    static_assert(Bits > 0 && Bits <= 32);

  public:
    std::size_t size() const { return low_.size(); }

    std::uint64_t operator[](std::size_t row) const {
        const std::uint64_t high =
            wraps_.empty() ? 0
                           : std::upper_bound(wraps_.begin(), wraps_.end(), row) - wraps_.begin();
        return (high << Bits) | low_[row];
    }

    void push_back(std::uint64_t end) {
        const std::size_t row = size();
        const std::uint64_t before = row == 0 ? 0 : (*this)[row - 1] >> Bits;
        for (std::uint64_t high = before; high < (end >> Bits); ++high)
            wraps_.push_back(row);
        low_.push_back(std::uint32_t(end & kMask));
    }

    // Drops a row whose text was length bytes; the rows after it move down.
    void erase(std::size_t row, std::uint64_t length) {
        if (wraps_.empty()) {
            low_.erase(row, 1);
            for (std::size_t later = row; later < low_.size(); ++later)
                low_[later] = std::uint32_t(low_[later] - length);
            return;
        }
        std::vector<std::uint64_t> later;
        for (std::size_t r = row + 1; r < size(); ++r)
            later.push_back((*this)[r] - length);
        wraps_.erase(std::lower_bound(wraps_.begin(), wraps_.end(), row), wraps_.end());
        low_.resize(row);
        for (const std::uint64_t end : later)
            push_back(end);
    }

    void release() {
        low_.release();
        std::vector<std::size_t>().swap(wraps_);
    }

    std::size_t capacityBytes() const {
        return low_.capacity() * sizeof(std::uint32_t) + wraps_.capacity() * sizeof(std::size_t);
    }

  private:
    static constexpr std::uint64_t kMask = (std::uint64_t(1) << Bits) - 1;
    GrowArray<std::uint32_t> low_;
    std::vector<std::size_t> wraps_;
};

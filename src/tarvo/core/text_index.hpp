// An index from texts to positions in a collection of texts held elsewhere (a column, a vector of
// keys). It keeps only positions, in an open-addressing table over the texts themselves: a lookup
// touches one slot and one text, where a node-based map of a million keys chased several nodes
// and most of the time went on waiting for them.
//
// `text_at(p)` gives the text at position p; it must stay valid and unchanged while the index is used.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvo::core {

template <class TextAt>
class TextIndex {
public:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    // Room for `texts` distinct texts.
    TextIndex(size_t texts, TextAt text_at) : text_at_(std::move(text_at)) {
        size_t capacity = 16;
        while (capacity < 2 * texts) capacity *= 2;
        slots_.assign(capacity, kNone);
        mask_ = capacity - 1;
    }

    // The position held for `text`, kNone when there is none; set it to index the text there.
    size_t& operator[](std::string_view text) { return slots_[find(text)]; }
    size_t at(std::string_view text) const { return slots_[find(text)]; }

private:
    // The slot holding the text's position, or the empty slot where it would go.
    size_t find(std::string_view text) const {
        size_t s = std::hash<std::string_view>{}(text) & mask_;
        while (slots_[s] != kNone && std::string_view(text_at_(slots_[s])) != text) s = (s + 1) & mask_;
        return s;
    }

    TextAt text_at_;
    std::vector<size_t> slots_;
    size_t mask_ = 0;
};

}  // namespace tarvo::core

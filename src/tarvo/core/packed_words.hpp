// A vector of 64-bit words kept at the narrowest byte width (1, 2, 4 or 8) that holds every word
// written so far, read back as the signed value sign-extended. Small integers, flags, scores and
// indexes then take one to four bytes a cell instead of eight; a word that needs more room widens
// the whole vector once (at most three times over its life).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tarvo::core {

class PackedWords {
public:
    PackedWords() = default;
    explicit PackedWords(size_t n) : bytes_(n, 0) {}

    size_t size() const { return bytes_.size() / width_; }
    size_t width() const { return width_; }

    uint64_t operator[](size_t i) const {
        const uint8_t* p = bytes_.data() + i * width_;
        switch (width_) {
            case 1: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(*p)));
            case 2: return load<int16_t>(p);
            case 4: return load<int32_t>(p);
            default: return load<uint64_t>(p);
        }
    }

    void set(size_t i, uint64_t word) {
        fit(word);
        store(i, word);
    }
    void push_back(uint64_t word) {
        fit(word);
        if (width_ == 1) {
            bytes_.push_back(static_cast<uint8_t>(word));
            return;
        }
        uint8_t tmp[8];
        std::memcpy(tmp, &word, sizeof word);
        // The low bytes of the word, whichever end of it they are stored at, a byte at a time:
        // a range insert of two to eight bytes cost more than the bytes.
        const uint8_t* low = std::endian::native == std::endian::little ? tmp : tmp + (8 - width_);
        for (size_t k = 0; k < width_; ++k) bytes_.push_back(low[k]);
    }
    void reserve(size_t n) { bytes_.reserve(n * width_); }
    // The words at the given positions, in that order, at this vector's width.
    PackedWords gather(const std::vector<size_t>& positions) const {
        PackedWords out;
        out.width_ = width_;
        out.bytes_.resize(positions.size() * width_);
        switch (width_) {
            case 1: gather_as<1>(positions, out.bytes_.data()); break;
            case 2: gather_as<2>(positions, out.bytes_.data()); break;
            case 4: gather_as<4>(positions, out.bytes_.data()); break;
            default: gather_as<8>(positions, out.bytes_.data());
        }
        return out;
    }

private:
    template <class T>
    static uint64_t load(const uint8_t* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<uint64_t>(static_cast<int64_t>(v));
    }

    template <size_t W>
    void gather_as(const std::vector<size_t>& positions, uint8_t* dst) const {
        for (size_t i : positions) {
            std::memcpy(dst, bytes_.data() + i * W, W);
            dst += W;
        }
    }

    static uint8_t width_for(uint64_t word) {
        const auto v = static_cast<int64_t>(word);
        if (v >= INT8_MIN && v <= INT8_MAX) return 1;
        if (v >= INT16_MIN && v <= INT16_MAX) return 2;
        if (v >= INT32_MIN && v <= INT32_MAX) return 4;
        return 8;
    }

    // Widens the vector when the word needs more room; the check is the common case and inline.
    void fit(uint64_t word) {
        if (width_ == 8) return;
        const uint8_t need = width_for(word);
        if (need > width_) widen(need);
    }
    void widen(uint8_t need) {
        PackedWords wider;
        wider.width_ = need;
        const size_t n = size();
        wider.bytes_.resize(n * need);
        for (size_t i = 0; i < n; ++i) wider.store(i, (*this)[i]);
        *this = std::move(wider);
    }

    // The low `width_` bytes of the word (little- and big-endian alike).
    void store(size_t i, uint64_t word) {
        uint8_t* p = bytes_.data() + i * width_;
        switch (width_) {
            case 1: *p = static_cast<uint8_t>(word); break;
            case 2: {
                const auto v = static_cast<int16_t>(word);
                std::memcpy(p, &v, sizeof v);
                break;
            }
            case 4: {
                const auto v = static_cast<int32_t>(word);
                std::memcpy(p, &v, sizeof v);
                break;
            }
            default: std::memcpy(p, &word, sizeof word);
        }
    }

    std::vector<uint8_t> bytes_;
    uint8_t width_ = 1;
};

}  // namespace tarvo::core

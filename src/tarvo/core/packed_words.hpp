// A vector of 64-bit words kept at the narrowest byte width (1, 2, 4 or 8) that holds every word
// written so far, read back as the signed value sign-extended. Small integers, flags, scores and
// indexes then take one to four bytes a cell instead of eight; a word that needs more room widens
// the whole vector once (at most three times over its life).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "tarvo/core/parallel.hpp"

namespace tarvo::core {

class PackedWords {
public:
    PackedWords() = default;
    explicit PackedWords(size_t n) : bytes_(std::make_unique<uint8_t[]>(n)), room_(n), size_(n) {}
    // A copy holds the words only, not the room kept for more.
    PackedWords(const PackedWords& other) : width_(other.width_) {
        reallocate(other.used());
        size_ = other.size_;
        if (used()) std::memcpy(bytes_.get(), other.bytes_.get(), used());
    }
    PackedWords& operator=(const PackedWords& other) {
        if (this != &other) *this = PackedWords(other);
        return *this;
    }
    PackedWords(PackedWords&& other) noexcept
        : bytes_(std::move(other.bytes_)),
          room_(std::exchange(other.room_, 0)),
          size_(std::exchange(other.size_, 0)),
          width_(std::exchange(other.width_, 1)) {}
    PackedWords& operator=(PackedWords&& other) noexcept {
        if (this == &other) return *this;
        bytes_ = std::move(other.bytes_);
        room_ = std::exchange(other.room_, 0);
        size_ = std::exchange(other.size_, 0);
        width_ = std::exchange(other.width_, 1);
        return *this;
    }

    size_t size() const { return size_; }
    size_t width() const { return width_; }

    uint64_t operator[](size_t i) const {
        const uint8_t* p = bytes_.get() + i * width_;
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
    // An append is one store into room kept ahead (appending a word's bytes one by one to a byte
    // vector cost more than the bytes); the room doubles when it runs out.
    void push_back(uint64_t word) {
        fit(word);
        if (used() + width_ > room_) reallocate(std::max<size_t>(2 * room_, used() + 64));
        store(size_++, word);
    }
    void reserve(size_t n) {
        if (n * width_ > room_) reallocate(n * width_);
    }
    // The words at the given positions, in that order, at this vector's width. With more than one
    // thread, each gathers a run of the positions into the new vector, made beforehand on the
    // calling thread (memory a worker thread allocated would stay in that thread's own heap).
    PackedWords gather(const std::vector<size_t>& positions, size_t threads = 1) const {
        PackedWords out;
        out.width_ = width_;
        out.reallocate(positions.size() * width_);
        out.size_ = positions.size();
        run_in_parallel_over(positions.size(), threads, [&](size_t begin, size_t end) {
            switch (width_) {
                case 1: gather_as<1>(positions, begin, end, out.bytes_.get()); break;
                case 2: gather_as<2>(positions, begin, end, out.bytes_.get()); break;
                case 4: gather_as<4>(positions, begin, end, out.bytes_.get()); break;
                default: gather_as<8>(positions, begin, end, out.bytes_.get());
            }
        });
        return out;
    }

private:
    template <class T>
    static uint64_t load(const uint8_t* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<uint64_t>(static_cast<int64_t>(v));
    }

    // The words at positions[begin, end) into their places in `dst`.
    template <size_t W>
    void gather_as(const std::vector<size_t>& positions, size_t begin, size_t end, uint8_t* dst) const {
        for (size_t k = begin; k < end; ++k) std::memcpy(dst + k * W, bytes_.get() + positions[k] * W, W);
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
    // Keeps the room for as many words as before.
    void widen(uint8_t need) {
        PackedWords wider;
        wider.width_ = need;
        wider.reallocate(room_ / width_ * need);
        wider.size_ = size_;
        for (size_t i = 0; i < size_; ++i) wider.store(i, (*this)[i]);
        *this = std::move(wider);
    }

    // Room for `bytes` bytes, the words kept. The new room is left unwritten: zeroing it would
    // touch pages that may never be used.
    void reallocate(size_t bytes) {
        std::unique_ptr<uint8_t[]> fresh = std::make_unique_for_overwrite<uint8_t[]>(bytes);
        if (used()) std::memcpy(fresh.get(), bytes_.get(), used());
        bytes_ = std::move(fresh);
        room_ = bytes;
    }

    // The low `width_` bytes of the word (little- and big-endian alike).
    void store(size_t i, uint64_t word) {
        uint8_t* p = bytes_.get() + i * width_;
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

    // Bytes in use; the rest of the room is for more.
    size_t used() const { return size_ * width_; }

    std::unique_ptr<uint8_t[]> bytes_;
    size_t room_ = 0;  // bytes allocated
    size_t size_ = 0;  // words held
    uint8_t width_ = 1;
};

}  // namespace tarvo::core

// Sets over an unscoped enumeration: element k at bit k, stored in the smallest unsigned integer that
// holds N elements, so that a record storing a set keeps its byte layout.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace kx8 {

template <typename E, unsigned N>
class TSet {
  static_assert(N >= 1 && N <= 64, "a set holds at most 64 elements");

 public:
  using Bits = std::conditional_t<N <= 8, uint8_t,
                                  std::conditional_t<N <= 16, uint16_t, std::conditional_t<N <= 32, uint32_t, uint64_t>>>;

  // The empty set, or the set of the elements listed.
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> elements) {
    for (E e : elements) Include(e);
  }
  // The set stored as bits (bits beyond N ignored), and back.
  static constexpr TSet FromBits(Bits bits) {
    TSet s;
    s.fBits = static_cast<Bits>(bits & Mask());
    return s;
  }

  // Membership; elements outside 0..N-1 are never members and are ignored by Include and Exclude.
  constexpr bool Contains(E e) const { return InRange(e) && (fBits >> static_cast<unsigned>(e)) & 1u; }
  constexpr TSet& Include(E e) {
    if (InRange(e)) fBits = static_cast<Bits>(fBits | (Bits{1} << static_cast<unsigned>(e)));
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    if (InRange(e)) fBits = static_cast<Bits>(fBits & ~(Bits{1} << static_cast<unsigned>(e)));
    return *this;
  }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr Bits ToBits() const { return fBits; }

  // Union, difference, intersection and equality.
  friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.fBits | b.fBits)); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.fBits & ~b.fBits)); }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(static_cast<Bits>(a.fBits & b.fBits)); }
  friend constexpr bool operator==(TSet a, TSet b) { return a.fBits == b.fBits; }

 private:
  static constexpr Bits Mask() { return N == 64 ? static_cast<Bits>(~Bits{0}) : static_cast<Bits>((uint64_t{1} << N) - 1); }
  static constexpr bool InRange(E e) { return static_cast<int64_t>(e) >= 0 && static_cast<int64_t>(e) < N; }
  Bits fBits = 0;
};

}  // namespace kx8

// A set of the values of a small enumeration, held in one unsigned word with bit n standing
// for the value with ordinal n (the layout of the port's event set and saved-groups set).
// Bits above the enumeration's last ordinal are always zero. A plain value type.
#pragma once

#include <cstdint>
#include <initializer_list>

template<typename Enum, typename Bits, unsigned Count> class EnumSet
{
    static_assert(Count <= sizeof(Bits) * 8, "the set's word is too small for the enumeration");

public:
    using BitsType = Bits;

    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> members)
    {
        for (Enum member : members)
            insert(member);
    }

    // Every value of the enumeration.
    static constexpr EnumSet all() { return fromBits(static_cast<Bits>(~Bits{0})); }
    // The set whose word is bits; bits beyond the enumeration are dropped.
    static constexpr EnumSet fromBits(Bits bits)
    {
        EnumSet set;
        set.m_bits = static_cast<Bits>(bits & validMask());
        return set;
    }

    constexpr Bits bits() const { return m_bits; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr bool contains(Enum member) const { return (m_bits & bitOf(member)) != 0; }

    constexpr void insert(Enum member) { m_bits = static_cast<Bits>(m_bits | bitOf(member)); }
    constexpr void remove(Enum member) { m_bits = static_cast<Bits>(m_bits & ~bitOf(member)); }

    friend constexpr bool operator==(EnumSet a, EnumSet b) { return a.m_bits == b.m_bits; }

private:
    static constexpr Bits validMask()
    {
        return Count == sizeof(Bits) * 8 ? static_cast<Bits>(~Bits{0})
                                         : static_cast<Bits>((1u << Count) - 1u);
    }
    static constexpr Bits bitOf(Enum member)
    {
        const unsigned ordinal = static_cast<unsigned>(member);
        return ordinal < Count ? static_cast<Bits>(1u << ordinal) : Bits{0};
    }

    Bits m_bits = 0;
};

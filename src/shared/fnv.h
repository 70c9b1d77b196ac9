#pragma once
#include <cstddef>
#include <cstdint>

namespace k3l {

constexpr uint64_t FNV64_OFFSET_BASIS = 14695981039346656037ull;  // FNV-1a 64 start value (no unit)
constexpr uint64_t FNV64_PRIME = 1099511628211ull;                // FNV-1a 64 multiplier (no unit)

// FNV-1a 64 over a run of bytes, continuing from `hash` (the offset basis for a fresh hash).
inline uint64_t fnv1a64(const void* bytes, size_t size, uint64_t hash = FNV64_OFFSET_BASIS)
{
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ at[i]) * FNV64_PRIME;
    }
    return hash;
}

}  // namespace k3l

// Little-endian fields in byte strings, as the PE format and its resources
// store them. Callers check the bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::uint16_t Get16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline std::uint32_t Get32(const std::string& bytes, std::size_t at) {
    return Get16(bytes, at) | static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16;
}

inline void Put16(std::string& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

inline void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

inline void Append16(std::string& bytes, std::uint32_t value) {
    bytes.append(2, '\0');
    Put16(bytes, bytes.size() - 2, value);
}

inline void Append32(std::string& bytes, std::uint32_t value) {
    bytes.append(4, '\0');
    Put32(bytes, bytes.size() - 4, value);
}

// Whether count bytes from at lie inside bytes.
inline bool Has(const std::string& bytes, std::size_t at, std::size_t count) {
    return at <= bytes.size() && count <= bytes.size() - at;
}

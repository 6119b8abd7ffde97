// Reading members of a parsed JSON value with a fallback, for the manifest
// and the page's messages alike.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

// Strict JSON (no comments, nothing but white space after the value), read up
// to the text's first NUL: discarded (is_discarded()) unless it is one value.
// Never throws. Readers share this one: every file that instantiates the
// parser adds some KiB of its own to the executable.
nlohmann::json ParseJson(const std::string& text);

// Lookups with a fallback: they never fail; a missing member, a member of the
// wrong type or a container that is not an object yields the fallback.
std::wstring GetStringOr(const nlohmann::json& container, const char* key,
                         const std::wstring& fallback);
std::int32_t GetIntOr(const nlohmann::json& container, const char* key, std::int32_t fallback);
bool GetBoolOr(const nlohmann::json& container, const char* key, bool fallback);

// A JSON number as GetIntOr reads it; value must be a number.
std::int32_t NumberToInt32(const nlohmann::json& value);

// value as compact JSON text, objects' members in their order. Ill-formed
// UTF-8 in a string becomes U+FFFD, never an error; with ascii, every
// character past ASCII is escaped, so the text holds no line break of any
// kind. Numbers that are not finite are null. Written here rather than by
// the library's serializer, which costs the executable about 10 KB.
std::string JsonText(const nlohmann::json& value, bool ascii = false);

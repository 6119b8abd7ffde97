#include "server/answer.h"

void StartFoundHeaders(std::wstring& headers, std::wstring_view type, size_t extraUnits) {
    constexpr std::wstring_view typeLine = L"\nContent-Type: ";
    constexpr std::wstring_view rangesLine = L"\nAccept-Ranges: bytes";
    headers.clear();
    headers.reserve(CacheControlLine.size() + typeLine.size() + type.size() + rangesLine.size() +
                    extraUnits);
    headers.append(CacheControlLine).append(typeLine).append(type).append(rangesLine);
}

void AppendDecimal(std::wstring& text, uint64_t value) {
    wchar_t digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) text.push_back(digits[--count]);
}

size_t DecimalLength(uint64_t value) {
    size_t count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

#include "server/answer.h"

namespace {

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

}  // namespace

void FoundHeaders(std::wstring& headers, std::wstring_view type,
                  std::initializer_list<HeaderNumber> numbers) {
    constexpr std::wstring_view typeLine = L"\nContent-Type: ";
    constexpr std::wstring_view rangesLine = L"\nAccept-Ranges: bytes";
    size_t units = CacheControlLine.size() + typeLine.size() + type.size() + rangesLine.size();
    for (const HeaderNumber& number : numbers)
        units += number.before.size() + DecimalLength(number.value);
    headers.clear();
    headers.reserve(units);
    headers.append(CacheControlLine).append(typeLine).append(type).append(rangesLine);
    for (const HeaderNumber& number : numbers) {
        headers.append(number.before);
        AppendDecimal(headers, number.value);
    }
}

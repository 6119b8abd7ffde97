#include "server/byte_range.h"

#include <algorithm>
#include <optional>

#include "platform/text.h"
#include "server/content_server.h"
#include "server/answer.h"

namespace {

bool IsClassicSpace(wchar_t unit) {
    return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20;
}

// A decimal number read the way the C library's integer conversion reads
// one: leading white space, an optional sign, the longest run of digits, and
// whatever follows ignored. No digits, a negative value or more than 64 bits
// give nothing, and the caller answers 416.
std::optional<uint64_t> ReadNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsClassicSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const size_t digitsStart = i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == digitsStart || (negative && value != 0)) return std::nullopt;
    return value;
}

}  // namespace

std::wstring_view TrimRangeValue(std::wstring_view value) {
    while (!value.empty() && IsClassicSpace(value.back())) value.remove_suffix(1);
    while (!value.empty() && IsClassicSpace(value.front())) value.remove_prefix(1);
    return value;
}

ByteRange ParseByteRange(std::wstring_view value, uint64_t size, uint64_t openRangeCap) {
    ByteRange range;
    constexpr std::wstring_view unit = L"bytes=";
    if (size == 0 || !EqualsIgnoringAsciiCase(value.substr(0, unit.size()), unit)) return range;
    const std::wstring_view rest = value.substr(unit.size());
    const size_t dash = rest.find(L'-');
    if (dash == std::wstring_view::npos) return range;

    if (dash == rest.size() - 1) {  // "A-": from A towards the end, at most the cap
        const auto first = ReadNumber(rest);
        if (first && *first < size && openRangeCap > 0) {
            range = {true, *first, *first + std::min(size - *first, openRangeCap) - 1};
        }
    } else if (dash == 0) {  // "-N": the last N bytes, all of them when N is larger
        const auto count = ReadNumber(rest.substr(1));
        if (count && *count >= 1) range = {true, *count >= size ? 0 : size - *count, size - 1};
    } else {  // "A-B": media clients ask past the end routinely, so B is clamped
        const auto first = ReadNumber(rest);
        const auto last = ReadNumber(rest.substr(dash + 1));
        if (first && last && *first < size && *first <= *last)
            range = {true, *first, *last < size ? *last : size - 1};
    }
    return range;
}

void AnswerRangeRequest(ContentServer& server, std::wstring_view rangeValue,
                        const FileStatus& status, std::wstring_view type, std::wstring&& filePath,
                        Answer& answer) {
    const uint64_t size = status.size;
    const ByteRange range =
        ParseByteRange(TrimRangeValue(rangeValue), size, server.OpenRangeCapacity());
    answer.body = {};
    if (!range.present) {
        // The size tells the client what it may ask for instead.
        FoundHeaders(answer.headers, type, {{L"\nContent-Range: bytes */", size}});
        answer.status = 416;
        answer.reasonPhrase = L"Range Not Satisfiable";
        return;
    }

    const uint64_t length = range.last - range.first + 1;
    FoundHeaders(answer.headers, type,
                 {{L"\nContent-Range: bytes ", range.first},
                  {L"-", range.last},
                  {L"/", size},
                  {L"\nContent-Length: ", length}});
    answer.status = 206;
    answer.reasonPhrase = L"Partial Content";

    // The whole file is streamed from the file and never mapped.
    if (length == size) {
        answer.body.kind = BodyKind::WholeFile;
        answer.body.filePath = std::move(filePath);
        answer.body.length = size;
        return;
    }
    std::shared_ptr<const MappedFile> view = server.Mappings().GetMappedView(filePath, status);
    // A view shorter than the range means the file shrank after it was
    // mapped; reading past the view would fault.
    if (!view || view->size <= range.last) {
        answer.status = 500;
        answer.reasonPhrase = L"Internal Server Error";
        return;
    }
    answer.body.kind = BodyKind::FileRange;
    answer.body.view = std::move(view);
    answer.body.offset = range.first;
    answer.body.length = length;
}

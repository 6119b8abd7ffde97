#include "server/router.h"

#include "platform/files.h"
#include "server/byte_range.h"
#include "server/mime.h"
#include "server/request_path.h"

namespace {

// The 404, which the log hears by path.
Answer NotFound(const ContentServer& server, std::wstring_view path) {
    if (server.Log()) server.Log()->NotFound(path);
    Answer answer;
    answer.headers.assign(CacheControlLine);
    answer.body.kind = BodyKind::NotFoundText;
    return answer;
}

// Where a path relative to the app origin leads: its decoded path, and the
// file that names inside server.Root(). False when it names nothing the
// router would serve. Does not look at the disk.
bool ResolveContentPath(const ContentServer& server, std::wstring_view relative,
                        std::wstring& decoded, std::wstring& filePath) {
    if (!DecodeRequestPath(relative, decoded) || !IsServablePath(decoded)) return false;
    const std::wstring& root = server.Root();
    filePath.clear();
    filePath.reserve(root.size() + decoded.size());
    filePath.append(root);
    for (const wchar_t unit : decoded) filePath.push_back(unit == L'/' ? L'\\' : unit);
    return true;
}

}  // namespace

bool NamesServedFile(const ContentServer& server, std::wstring_view relative) {
    std::wstring decoded, filePath;
    if (!ResolveContentPath(server, ResolveDotSegments(relative), decoded, filePath)) return false;
    const FileStatus status = QueryFileStatus(filePath);
    return status.exists && status.regularFile;
}

Answer RouteRequest(ContentServer& server, std::wstring_view relative,
                    std::optional<std::wstring_view> range) {
    std::wstring decoded;
    std::wstring filePath;
    // An escape that does not decode is told as it came.
    if (!ResolveContentPath(server, relative, decoded, filePath))
        return NotFound(server, relative.substr(0, relative.find_first_of(L"?#")));

    // Folders are not served: they have no content, and an empty 200 would
    // hide a broken link.
    const FileStatus status = QueryFileStatus(filePath);
    if (!status.exists || !status.regularFile) return NotFound(server, decoded);

    const std::wstring& type = LookupMimeType(decoded);
    Answer answer;
    if (range) {
        AnswerRangeRequest(server, *range, status, type, std::move(filePath), answer);
        return answer;
    }
    FoundHeaders(answer.headers, type, {{L"\nContent-Length: ", status.size}});
    answer.status = 200;
    answer.reasonPhrase = L"OK";
    answer.body.kind = BodyKind::WholeFile;
    answer.body.filePath = std::move(filePath);
    answer.body.length = status.size;
    return answer;
}

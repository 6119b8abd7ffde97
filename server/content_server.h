// The content server's state: the folder it serves and the mappings it
// serves byte ranges from. Created by the startup sequence and handed to the
// glue that answers the browser control's requests. UI thread only: the
// control raises every request event there.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/diagnostics_log.h"
#include "platform/files.h"

// The content folder's name beside the executable, with its backslash.
constexpr wchar_t ContentFolderName[] = L"www\\";

// Decoded path -> the mapping of that file, made on the first partial
// request for it and reused until ReleaseMappedViews.
class MappedFileCache {
public:
    // The cached mapping for key, or a new one of filePath; null when the
    // file can't be mapped (nothing is cached then, so the next request
    // tries again).
    std::shared_ptr<const MappedFile> GetMappedView(std::wstring_view key,
                                                    const std::wstring& filePath);

    // Drops the cache's references. A view is unmapped once no body stream
    // holds it any more.
    void ReleaseMappedViews();

    // The cached mapping for key, or null; never maps anything.
    std::shared_ptr<const MappedFile> Find(std::wstring_view key) const;
    size_t Count() const { return views_.size(); }

private:
    std::map<std::wstring, std::shared_ptr<const MappedFile>, std::less<>> views_;
};

class ContentServer {
public:
    // root is the folder whose files are served, with its trailing backslash.
    // log, when given, hears each 404; the found files never touch it.
    explicit ContentServer(std::wstring root, DiagnosticsLog* log = nullptr)
        : root_(std::move(root)), log_(log) {}
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    const std::wstring& Root() const { return root_; }
    DiagnosticsLog* Log() const { return log_; }
    MappedFileCache& Mappings() { return mappings_; }
    const MappedFileCache& Mappings() const { return mappings_; }

private:
    const std::wstring root_;
    DiagnosticsLog* const log_;
    MappedFileCache mappings_;
};

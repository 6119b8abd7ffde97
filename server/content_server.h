// The content server's state: the folder it serves and the mappings it
// serves byte ranges from. Created by the startup sequence and handed to the
// glue that answers the browser control's requests. UI thread only: the
// control raises every request event there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/diagnostics_log.h"
#include "platform/files.h"

// The content folder's name beside the executable, with its backslash.
constexpr wchar_t ContentFolderName[] = L"www\\";

// The most an open-ended range ("bytes=A-") is answered with. The browser
// control reads a response stream to its end before it hands any of it to
// the page, and fails on streams of some tens of megabytes, so promising a
// large video's whole tail would stall or break playback; browsers simply ask
// for the next range when an answer ends early.
constexpr uint64_t OpenRangeCap = 4ull << 20;

// How many files keep a mapping at once. A game plays a few media files at a
// time; the bound keeps a page that asks for many files (or one file under
// many spellings) from holding handles and address space without end.
constexpr size_t MappedFileCacheCapacity = 32;

// The mappings partial answers are read from, one per file whatever path
// spelled it (keyed by the file's identity), the most recently used first.
// Past the capacity the least recently used one is dropped; answers that
// still hold it keep it mapped until they are done.
class MappedFileCache {
public:
    // The mapping of the file at filePath, made on the first partial request
    // for that file and reused after. status is the file's as the router
    // read it: a cached view of another size is of a file that changed, and
    // is mapped again. Null when the file can't be mapped (nothing is cached
    // then, so the next request tries again).
    std::shared_ptr<const MappedFile> GetMappedView(const std::wstring& filePath,
                                                    const FileStatus& status);

    // Drops the cache's references. A view is unmapped once no body stream
    // holds it any more.
    void ReleaseMappedViews();

    // The cached mapping of the file at filePath, or null; never maps anything
    // and leaves the order of use alone.
    std::shared_ptr<const MappedFile> Find(const std::wstring& filePath) const;
    size_t Count() const { return views_.size(); }

private:
    std::vector<std::shared_ptr<const MappedFile>> views_;  // most recently used first
};

class ContentServer {
public:
    // root is the folder whose files are served, with its trailing backslash.
    // log, when given, hears each 404; the found files never touch it.
    // openRangeCap bounds open-ended range answers (OpenRangeCap unless a
    // measurement asks for another).
    explicit ContentServer(std::wstring root, DiagnosticsLog* log = nullptr,
                           uint64_t openRangeCap = OpenRangeCap)
        : root_(std::move(root)), log_(log), openRangeCap_(openRangeCap) {}
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    const std::wstring& Root() const { return root_; }
    DiagnosticsLog* Log() const { return log_; }
    uint64_t OpenRangeCapacity() const { return openRangeCap_; }
    MappedFileCache& Mappings() { return mappings_; }

private:
    const std::wstring root_;
    DiagnosticsLog* const log_;
    const uint64_t openRangeCap_;
    MappedFileCache mappings_;
};

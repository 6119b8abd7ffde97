#include "server/content_server.h"

std::shared_ptr<const MappedFile> MappedFileCache::GetMappedView(std::wstring_view key,
                                                                 const std::wstring& filePath) {
    const auto found = views_.find(key);
    if (found != views_.end()) return found->second;
    std::shared_ptr<const MappedFile> mapped = MapWholeFile(filePath);
    if (mapped) views_.emplace(std::wstring(key), mapped);
    return mapped;
}

void MappedFileCache::ReleaseMappedViews() {
    while (!views_.empty()) views_.erase(views_.begin());
}

std::shared_ptr<const MappedFile> MappedFileCache::Find(std::wstring_view key) const {
    const auto found = views_.find(key);
    return found == views_.end() ? nullptr : found->second;
}

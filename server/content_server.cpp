#include "server/content_server.h"

#include <algorithm>

namespace {

using Views = std::vector<std::shared_ptr<const MappedFile>>;

Views::const_iterator FindByIdentity(const Views& views, const FileIdentity& identity) {
    return std::find_if(views.begin(), views.end(),
                        [&](const auto& view) { return view->identity == identity; });
}

}  // namespace

std::shared_ptr<const MappedFile> MappedFileCache::GetMappedView(const std::wstring& filePath,
                                                                 const FileStatus& status) {
    FileIdentity identity = status.identity;
    if (status.identityKnown || QueryFileIdentity(filePath, identity)) {
        const auto found = FindByIdentity(views_, identity);
        if (found != views_.end()) {
            auto position = views_.begin() + (found - views_.cbegin());
            if ((*position)->size == status.size) {
                std::rotate(views_.begin(), position, position + 1);
                return views_.front();
            }
            views_.erase(position);
        }
    }
    std::shared_ptr<const MappedFile> mapped = MapWholeFile(filePath);
    if (!mapped) return nullptr;
    // The file may have been replaced since its identity was read: the entry
    // is the file that was mapped.
    const auto stale = FindByIdentity(views_, mapped->identity);
    if (stale != views_.end()) views_.erase(stale);
    if (views_.size() >= MappedFileCacheCapacity) views_.pop_back();
    views_.insert(views_.begin(), mapped);
    return mapped;
}

void MappedFileCache::ReleaseMappedViews() {
    views_.clear();
}

std::shared_ptr<const MappedFile> MappedFileCache::Find(const std::wstring& filePath) const {
    FileIdentity identity;
    if (!QueryFileIdentity(filePath, identity)) return nullptr;
    const auto found = FindByIdentity(views_, identity);
    return found == views_.end() ? nullptr : *found;
}

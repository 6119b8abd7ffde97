#include "host/gtk/app_origin.h"

void* HoldMapping(const std::shared_ptr<const MappedFile>& view) {
    return new std::shared_ptr<const MappedFile>(view);
}

void ReleaseMapping(void* holder) {
    delete static_cast<std::shared_ptr<const MappedFile>*>(holder);
}

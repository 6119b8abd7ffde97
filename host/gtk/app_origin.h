// The Linux app origin, free of the engine's headers: the media source in
// the engine's web process serves it as well.
#pragma once

#include <memory>

#include "server/origin.h"
#include "server/router.h"

// The app origin of the Linux host. Like the Windows one it never changes
// between releases: what the page stores lives under it.
constexpr wchar_t GtkAppOrigin[] = L"lanternshell://app/";
constexpr char GtkAppScheme[] = "lanternshell";

// A reference to an answer's mapping for C interfaces that free what they
// are given through a callback (the engine's bytes, GStreamer's memory): the
// view stays mapped until ReleaseMapping runs, cache released or not.
inline void* HoldMapping(const std::shared_ptr<const MappedFile>& view) {
    return new std::shared_ptr<const MappedFile>(view);
}

inline void ReleaseMapping(void* holder) {
    delete static_cast<std::shared_ptr<const MappedFile>*>(holder);
}

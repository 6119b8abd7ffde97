// A temporary app folder with a www inside, portable over both builds, and
// the bytes of an answer's body read the way the platform delivers them.
#pragma once

#include <cstdint>
#include <string>

#include "server/router.h"

class ContentFolder {
public:
    // Creates the folder, and a content server for its www.
    ContentFolder();
    // Releases the cached mappings and removes the folder.
    ~ContentFolder();
    ContentFolder(const ContentFolder&) = delete;
    ContentFolder& operator=(const ContentFolder&) = delete;

    // relative uses "/" separators, under www unless it starts with "../".
    void Write(const std::wstring& relative, const std::string& bytes) const;
    void MakeFolder(const std::wstring& relative) const;
    // A sparse file of the given size, made with truncate, never by writing
    // its bytes; then one byte is put at each marker offset. Wine reserves
    // the file's bytes on the disk: false, making nothing, without room.
    [[nodiscard]] bool MakeSparse(const std::wstring& relative, uint64_t size,
                                  const std::string& markers, const uint64_t* offsets) const;
    bool Exists(const std::wstring& relative) const;
    std::wstring HostPath(const std::wstring& relative) const;
    // The path as the platform's own calls take it.
    std::string NativePath(const std::wstring& relative) const;
    ContentServer& Server() { return server_; }

private:
    std::wstring folder_;  // host form, trailing backslash
    ContentServer server_;
};

// size bytes of a pattern that differs at every offset within 251 bytes.
std::string Pattern(size_t size, unsigned seed = 0);

// The body as delivered: on Windows read from the stream CreateBodyStream
// gives (hasStream false when it gives none), natively from the file, the
// view or the fixed 404 bytes.
struct BodyRead {
    bool hasStream = false;
    std::string bytes;
};
BodyRead ReadBody(const Answer& answer);

// What the router is handed for a request of relative under the app origin:
// the engines' glue cuts the origin off.
std::wstring RequestUri(const std::wstring& relative);

// Scoped start and end of the two libraries the host runs inside: COM on the
// UI thread and GDI+. Each ends in its destructor only what it started.
#pragma once

#include <windows.h>

// The UI thread's single-threaded apartment. Every COM object the thread
// holds must be released before this ends.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool started_ = false;
};

// GDI+, which decodes the manifest's window icon. Icons made while it ran
// stay valid after it ends.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    // Zero when GDI+ failed to start.
    ULONG_PTR Token() const { return token_; }

private:
    ULONG_PTR token_ = 0;
};

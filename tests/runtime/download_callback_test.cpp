// The download's status callback as COM sees it: the download asks it for
// IUnknown, IBindStatusCallback and IHttpNegotiate (for the server's status),
// and nothing else may be claimed.
#include <gtest/gtest.h>

#include <objidl.h>

#include "runtime/win32/browser_runtime.h"
#include "tests/support/harness.h"

namespace {

TEST(DownloadProgress, AnswersForItsThreeInterfacesOnly) {
    DownloadProgress progress(nullptr);
    IBindStatusCallback* const self = &progress;
    IHttpNegotiate* const negotiate = &progress;

    const struct {
        const char* name;
        IID iid;
        void* object;  // null: refused
    } cases[] = {
        {"IUnknown", IID_IUnknown, self},
        {"IBindStatusCallback", IID_IBindStatusCallback, self},
        {"IHttpNegotiate", IID_IHttpNegotiate, negotiate},
        {"IStream", IID_IStream, nullptr},
        {"IMarshal", IID_IMarshal, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(self->QueryInterface(c.iid, &object), c.object ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(object, c.object);
    }
    // The last status the server answered is kept for the flow.
    LPWSTR added = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(negotiate->OnResponse(403, L"", nullptr, &added), S_OK);
    EXPECT_EQ(added, nullptr);
    EXPECT_EQ(progress.httpStatus, 403u);
    EXPECT_EQ(self->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    // Held by the download thread's stack, it counts nothing.
    EXPECT_EQ(self->AddRef(), 1u);
    EXPECT_EQ(self->Release(), 1u);
}

}  // namespace

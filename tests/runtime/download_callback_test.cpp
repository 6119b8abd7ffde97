// The download's status callback as COM sees it: the download asks it for
// IUnknown and IBindStatusCallback, and nothing else may be claimed.
#include <gtest/gtest.h>

#include <objidl.h>

#include "runtime/win32/browser_runtime.h"
#include "tests/support/harness.h"

namespace {

TEST(DownloadProgress, AnswersForItsTwoInterfacesOnly) {
    DownloadProgress progress(nullptr);
    IBindStatusCallback* const self = &progress;

    // One identity for both interfaces; null for every refusal.
    ExpectInterfaces(self, {{"IUnknown", IID_IUnknown, S_OK},
                            {"IBindStatusCallback", IID_IBindStatusCallback, S_OK},
                            {"IStream", IID_IStream, E_NOINTERFACE},
                            {"IMarshal", IID_IMarshal, E_NOINTERFACE}});
    // Held by the download thread's stack, it counts nothing.
    EXPECT_EQ(self->AddRef(), 1u);
    EXPECT_EQ(self->Release(), 1u);
}

}  // namespace

#include "runtime/install_outcome.h"

#include <gtest/gtest.h>

namespace {

using Kind = InstallFailureKind;

TEST(JudgeSignature, RunsOnlyATrustedSignatureOfTheVendorsOrganisation) {
    const struct {
        std::uint32_t trust;
        const wchar_t* signer;
        Kind kind;
    } cases[] = {
        {TrustResult::Trusted, L"Microsoft Corporation", Kind::None},
        {TrustResult::Trusted, L"Other Games Ltd", Kind::ForeignSigner},
        {TrustResult::Trusted, L"", Kind::ForeignSigner},
        {TrustResult::Trusted, L"microsoft corporation", Kind::ForeignSigner},
        {TrustResult::Trusted, L"Microsoft Corporation Ltd", Kind::ForeignSigner},
        {TrustResult::NoSignature, L"", Kind::Unsigned},
        {TrustResult::SubjectFormUnknown, L"", Kind::Unsigned},
        {TrustResult::BadDigest, L"Microsoft Corporation", Kind::Tampered},
        // The vendor's name on a chain the system does not trust counts nothing.
        {TrustResult::UntrustedRoot, L"Microsoft Corporation", Kind::UntrustedSignature},
        {TrustResult::Chaining, L"Microsoft Corporation", Kind::UntrustedSignature},
        {TrustResult::Revoked, L"Microsoft Corporation", Kind::UntrustedSignature},
        {TrustResult::Expired, L"Microsoft Corporation", Kind::UntrustedSignature},
        {TrustResult::ExplicitDistrust, L"Microsoft Corporation", Kind::UntrustedSignature},
        // Revocation the system's policy would not let pass offline refuses too.
        {TrustResult::RevocationOffline, L"Microsoft Corporation", Kind::UntrustedSignature},
        {TrustResult::RevocationFailure, L"Microsoft Corporation", Kind::UntrustedSignature},
        {0x80004005, L"Microsoft Corporation", Kind::UntrustedSignature},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.trust << " " << c.signer);
        const InstallFailure failure = JudgeSignature(c.trust, c.signer);
        EXPECT_EQ(failure.kind, c.kind);
        EXPECT_EQ(failure.code, c.trust);
    }
}

TEST(JudgeDownload, AStatusOtherThanSuccessWinsOverTheResult) {
    const struct {
        std::uint32_t result, status;
        Kind kind;
        std::uint32_t code;
    } cases[] = {
        {0, 200, Kind::None, 0},
        {0, 0, Kind::None, 0},
        {0, 206, Kind::None, 0},
        {0, 403, Kind::HttpStatus, 403},
        {0x800C0008, 404, Kind::HttpStatus, 404},
        {0, 304, Kind::HttpStatus, 304},
        {0x800C0004, 0, Kind::DownloadFailed, 0x800C0004},
        {0x800C000B, 200, Kind::DownloadFailed, 0x800C000B},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.result << " " << std::dec << c.status);
        const InstallFailure failure = JudgeDownload(c.result, c.status);
        EXPECT_EQ(failure.kind, c.kind);
        EXPECT_EQ(failure.code, c.code);
    }
}

// The reasons the flow tests under Wine can't bring about; those tests read
// the others from the log and the box.
TEST(InstallFailureReasons, NameTheCodeAndItsMeaningWhereOneIsKnown) {
    const struct {
        InstallFailure failure;
        const char* log;
        const wchar_t* player;
    } cases[] = {
        {{Kind::DownloadFailed, 0x800C0004, L""},
         "the download (error 0x800C0004: cannot connect to the server)",
         L"The installer could not be downloaded: no connection to the download server."},
        {{Kind::DownloadFailed, 0x80070070, L""},
         "the download (error 0x80070070)",
         L"The installer could not be downloaded."},
        {{Kind::UntrustedSignature, TrustResult::UntrustedRoot, L""},
         "the installer's signature is not trusted (trust result 0x800B0109: untrusted root)",
         L"The installer's signature is not trusted on this computer, so it was not run."},
        {{Kind::InstallerFailed, 1603, L""},
         "the runtime installer ended with exit code 1603 (0x00000643)",
         L"The installer failed (error 0x00000643)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        EXPECT_EQ(LogReason(c.failure), c.log);
        EXPECT_EQ(FailureBoxText(L"Failed.", c.failure), std::wstring(L"Failed.\n\n") + c.player);
    }
    EXPECT_EQ(FailureBoxText(L"Failed.", {}), L"Failed.");
}

}  // namespace

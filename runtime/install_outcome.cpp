#include "runtime/install_outcome.h"

#include "platform/diagnostics_log.h"
#include "platform/text.h"

const wchar_t* const InstallerPublisher = L"Microsoft Corporation";

namespace {

struct Meaning {
    std::uint32_t code;
    const char* log;
    const wchar_t* player;  // null: the log's words serve
};

// The download's failures the field sees most (the download library's own
// codes), in the player's words.
const Meaning DownloadMeanings[] = {
    {0x800C0004, "cannot connect to the server", L"no connection to the download server"},
    {0x800C0005, "server or address not found", L"the download server was not found"},
    {0x800C0007, "no data arrived", nullptr},
    {0x800C0008, "the download broke off", L"the connection broke off"},
    {0x800C000B, "the connection timed out", nullptr},
    {0x800C0002, "invalid address", nullptr},
    {0x800C0003, "no session: no network connection", L"there is no network connection"},
    {0x80004004, "aborted", L"the download was aborted"},
};

// The vendor installer's common exit codes: its own network errors are
// 0x80042000 plus the HTTP status, the rest the system's.
const Meaning ExitMeanings[] = {
    {0x80042193, "the download server refused the runtime (HTTP 403)", nullptr},
    {0x80042191, "the download server wants authorisation (HTTP 401)",
     L"the download server asked for authorisation"},
    {0x80042197, "the proxy wants authentication (HTTP 407)",
     L"the network's proxy asked for a sign-in"},
    {0x80072EE2, "the connection timed out", nullptr},
    {0x80072EE7, "the server's name could not be resolved", L"the download server was not found"},
    {0x80072EFD, "cannot connect to the server", L"no connection to the download server"},
    {0x80072EFE, "the connection was aborted", L"the connection broke off"},
    {0x80072F8F, "the secure connection failed (check the clock)",
     L"the secure connection failed; check the computer's date and time"},
    {0x80070005, "access denied", L"no permission to install it"},
    {0x800704C7, "cancelled by the user", L"the installation was cancelled"},
    {0x80070652, "another installation is in progress", nullptr},
};

const Meaning TrustMeanings[] = {
    {TrustResult::Trusted, "trusted", nullptr},
    {TrustResult::NoSignature, "no signature", nullptr},
    {TrustResult::SubjectFormUnknown, "not a signable file", nullptr},
    {TrustResult::BadDigest, "changed after it was signed", nullptr},
    {TrustResult::UntrustedRoot, "untrusted root", nullptr},
    {TrustResult::Chaining, "the chain to a root is broken", nullptr},
    {TrustResult::Revoked, "a certificate is revoked", nullptr},
    {TrustResult::RevocationFailure, "revocation could not be checked", nullptr},
    {TrustResult::RevocationOffline, "revocation server offline", nullptr},
    {TrustResult::NoRevocationCheck, "no revocation check possible", nullptr},
    {TrustResult::Expired, "a certificate has expired", nullptr},
    {TrustResult::ExplicitDistrust, "explicitly distrusted", nullptr},
    {TrustResult::SubjectNotTrusted, "the subject is not trusted", nullptr},
};

template <size_t N>
const Meaning* Find(const Meaning (&table)[N], std::uint32_t code) {
    for (const Meaning& meaning : table)
        if (meaning.code == code) return &meaning;
    return nullptr;
}

// ": " and what the code found means, in the log's or the player's words;
// nothing for a code the table does not know.
std::string LogMeaning(const Meaning* meaning) {
    return meaning ? std::string(": ") + meaning->log : "";
}

std::wstring PlayerMeaning(const Meaning* meaning) {
    if (!meaning) return L"";
    return L": " + (meaning->player ? std::wstring(meaning->player) : Utf8ToWide(meaning->log));
}

// What the log says of a failure, after "failed: ", and the player's line in
// the failure box; both empty for kind None.
struct Reason {
    std::string log;
    std::wstring player;
};

Reason ReasonOf(const InstallFailure& failure) {
    const std::string signer = "signed by \"" + WideToUtf8(failure.signer) + "\"";
    switch (failure.kind) {
        case InstallFailureKind::None:
            return {};
        case InstallFailureKind::DownloadFailed: {
            const Meaning* meaning = Find(DownloadMeanings, failure.code);
            return {"the download (error " + HexCode(failure.code) + LogMeaning(meaning) + ")",
                    L"The installer could not be downloaded" + PlayerMeaning(meaning) + L"."};
        }
        case InstallFailureKind::HttpStatus:
            return {"the download: the server answered HTTP " + std::to_string(failure.code),
                    L"The download server refused the download (HTTP " +
                        WideDecimal(failure.code) + L")."};
        case InstallFailureKind::NotAProgram:
            return {"the download arrived but is no program",
                    L"What was downloaded is not the installer: the network may want you to sign "
                    L"in first."};
        case InstallFailureKind::Unsigned:
            return {"the installer is not signed (" + DescribeTrustResult(failure.code) + ")",
                    L"The installer is not signed, so it was not run."};
        case InstallFailureKind::Tampered:
            return {"the installer's signature does not match its content (" +
                        DescribeTrustResult(failure.code) + ")",
                    L"The installer was changed after it was signed, so it was not run."};
        case InstallFailureKind::UntrustedSignature:
            return {"the installer's signature is not trusted (" +
                        DescribeTrustResult(failure.code) +
                        (failure.signer.empty() ? "" : ", " + signer) + ")",
                    L"The installer's signature is not trusted on this computer, so it was not "
                    L"run."};
        case InstallFailureKind::ForeignSigner:
            return {"the installer is " + signer + ", not \"" + WideToUtf8(InstallerPublisher) +
                        "\" (" + DescribeTrustResult(failure.code) + ")",
                    L"The installer is not signed by Microsoft, so it was not run."};
        case InstallFailureKind::NotStarted:
            return {
                "starting the runtime installer (Win32 error " + std::to_string(failure.code) + ")",
                L"The installer could not be started."};
        case InstallFailureKind::InstallerFailed:
            return {"the runtime installer ended with exit code " + DescribeExitCode(failure.code),
                    L"The installer failed (error " + Utf8ToWide(HexCode(failure.code)) + L")" +
                        PlayerMeaning(Find(ExitMeanings, failure.code)) + L"."};
        case InstallFailureKind::NothingInstalled:
            return {"the runtime installer ended with exit code 0 but installed no runtime",
                    L"The installer ended without installing the runtime."};
    }
    return {};
}

}  // namespace

InstallFailure JudgeSignature(std::uint32_t trustResult, const std::wstring& signerOrganisation) {
    InstallFailure failure{InstallFailureKind::UntrustedSignature, trustResult, signerOrganisation};
    if (trustResult == TrustResult::Trusted) {
        // Exactly the name: organisations differing in case or spacing are
        // other organisations to a certificate authority too.
        failure.kind = signerOrganisation == InstallerPublisher ? InstallFailureKind::None
                                                                : InstallFailureKind::ForeignSigner;
    } else if (trustResult == TrustResult::NoSignature ||
               trustResult == TrustResult::SubjectFormUnknown) {
        failure.kind = InstallFailureKind::Unsigned;
    } else if (trustResult == TrustResult::BadDigest) {
        failure.kind = InstallFailureKind::Tampered;
    }
    return failure;
}

InstallFailure JudgeDownload(std::uint32_t result, std::uint32_t httpStatus) {
    InstallFailure failure;
    if (httpStatus != 0 && (httpStatus < 200 || httpStatus > 299)) {
        failure.kind = InstallFailureKind::HttpStatus;
        failure.code = httpStatus;
    } else if (result & 0x80000000u) {
        failure.kind = InstallFailureKind::DownloadFailed;
        failure.code = result;
    }
    return failure;
}

std::string DescribeTrustResult(std::uint32_t result) {
    return "trust result " + HexCode(result) + LogMeaning(Find(TrustMeanings, result));
}

std::string DescribeExitCode(std::uint32_t code) {
    return std::to_string(code) + " (" + HexCode(code) + LogMeaning(Find(ExitMeanings, code)) + ")";
}

std::string LogReason(const InstallFailure& failure) {
    return ReasonOf(failure).log;
}

std::wstring FailureBoxText(const std::wstring& manifestText, const InstallFailure& failure) {
    const std::wstring reason = ReasonOf(failure).player;
    return reason.empty() ? manifestText : manifestText + L"\n\n" + reason;
}

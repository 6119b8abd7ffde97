// What became of an attempt to install the browser runtime: whether a
// downloaded or shipped installer may be run, judged from its signature, and
// for every way the attempt can fail, the line the log gets and the line the
// player reads under the manifest's failure text. Kept apart from the window
// system so the rules are tested natively.
#pragma once

#include <cstdint>
#include <string>

// The subject organisation (O=) an installer's signing certificate must name.
// Compared by name, never by key or thumbprint: the vendor renews its
// certificates, and a pinned one breaks the day it does.
extern const wchar_t* const InstallerPublisher;

// Trust results of the signature check that the rules tell apart (the
// platform's HRESULTs, the same values on every side).
namespace TrustResult {
constexpr std::uint32_t Trusted = 0;
constexpr std::uint32_t NoSignature = 0x800B0100;         // TRUST_E_NOSIGNATURE
constexpr std::uint32_t SubjectFormUnknown = 0x800B0003;  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr std::uint32_t BadDigest = 0x80096010;           // TRUST_E_BAD_DIGEST
constexpr std::uint32_t UntrustedRoot = 0x800B0109;       // CERT_E_UNTRUSTEDROOT
constexpr std::uint32_t Chaining = 0x800B010A;            // CERT_E_CHAINING
constexpr std::uint32_t Revoked = 0x800B010C;             // CERT_E_REVOKED
constexpr std::uint32_t RevocationFailure = 0x800B010E;   // CERT_E_REVOCATION_FAILURE
constexpr std::uint32_t RevocationOffline = 0x80092013;   // CRYPT_E_REVOCATION_OFFLINE
constexpr std::uint32_t NoRevocationCheck = 0x80092012;   // CRYPT_E_NO_REVOCATION_CHECK
constexpr std::uint32_t Expired = 0x800B0101;             // CERT_E_EXPIRED
constexpr std::uint32_t ExplicitDistrust = 0x800B0111;    // TRUST_E_EXPLICIT_DISTRUST
constexpr std::uint32_t SubjectNotTrusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
}  // namespace TrustResult

enum class InstallFailureKind {
    None,                // nothing failed that the flow could see
    DownloadFailed,      // code: the download's HRESULT (no connection, cut off, time-out)
    HttpStatus,          // code: the server's status, which was not success
    NotAProgram,         // what arrived is no program: a captive portal's page, say
    Unsigned,            // code: the trust result
    Tampered,            // changed after it was signed; code: the trust result
    UntrustedSignature,  // signed, but the signature is not trusted; code: the trust result
    ForeignSigner,       // trusted, but not signed by InstallerPublisher
    NotStarted,          // code: the Win32 error of starting it
    InstallerFailed,     // code: its exit code
    NothingInstalled,    // it ended with 0, and still there is no runtime
};

struct InstallFailure {
    InstallFailureKind kind = InstallFailureKind::None;
    std::uint32_t code = 0;
    std::wstring signer;  // the signer's organisation, when there was a signature
};

// Whether an installer whose signature check gave trustResult, signed by a
// certificate naming signerOrganisation, may run: only a trusted signature of
// InstallerPublisher (kind None). Every other trust result refuses, a
// revocation that could not be checked included: the system's own policy has
// already forgiven what it forgives by then.
InstallFailure JudgeSignature(std::uint32_t trustResult, const std::wstring& signerOrganisation);

// A download that ended with result after the server answered httpStatus (0
// when no answer was seen): a status other than 2xx wins over the result,
// since a refusing server may still hand over a body.
InstallFailure JudgeDownload(std::uint32_t result, std::uint32_t httpStatus);

// The log's words for a failure, after "failed: " (none for kind None).
std::string LogReason(const InstallFailure& failure);
// The failure box: the manifest's text, and the reason on a line of its own.
std::wstring FailureBoxText(const std::wstring& manifestText, const InstallFailure& failure);

// The vendor installer's exit code as the log shows it: decimal, hexadecimal,
// and what the common ones mean.
std::string DescribeExitCode(std::uint32_t code);
// What a trust result means, for the log; "trust result 0x..." for others.
std::string DescribeTrustResult(std::uint32_t result);

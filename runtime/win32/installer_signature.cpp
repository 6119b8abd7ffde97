#include "runtime/win32/installer_signature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace {

std::wstring OrganisationOf(PCCERT_CONTEXT certificate) {
    void* const type = const_cast<char*>(szOID_ORGANIZATION_NAME);
    const DWORD size = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
    if (size <= 1) return L"";
    std::wstring name(size, L'\0');
    CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, name.data(), size);
    name.resize(size - 1);
    return name;
}

// The first signer's own certificate, the first of its chain.
std::wstring SignerOrganisation(HANDLE state) {
    CRYPT_PROVIDER_DATA* const data = WTHelperProvDataFromStateData(state);
    if (!data) return L"";
    CRYPT_PROVIDER_SGNR* const signer = WTHelperGetProvSignerFromChain(data, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0) return L"";
    CRYPT_PROVIDER_CERT* const certificate = WTHelperGetProvCertFromChain(signer, 0);
    return certificate && certificate->pCert ? OrganisationOf(certificate->pCert) : L"";
}

}  // namespace

InstallerSignature CheckInstallerSignature(const std::wstring& path, HANDLE file) {
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;
    WINTRUST_DATA trust{};
    trust.cbStruct = sizeof trust;
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo;
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    InstallerSignature signature;
    signature.trustResult = static_cast<std::uint32_t>(
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust));
    // Only a trusted signature is read: after a failed check the provider's
    // data may be partial.
    if (signature.trustResult == 0 && trust.hWVTStateData)
        signature.signerOrganisation = SignerOrganisation(trust.hWVTStateData);
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust);
    return signature;
}

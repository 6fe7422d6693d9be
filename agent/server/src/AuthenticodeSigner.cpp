#include "AuthenticodeSigner.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "Sha256.h"

namespace AuthenticodeSigner {

namespace {

// Releases what a verification left in its state data, on every path.
class VerifyState {
public:
    explicit VerifyState(WINTRUST_DATA* data) : data_(data) {}
    ~VerifyState()
    {
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        data_->dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, data_);
    }
    VerifyState(const VerifyState&) = delete;
    VerifyState& operator=(const VerifyState&) = delete;

private:
    WINTRUST_DATA* data_;
};

std::string HexOf(const BYTE* bytes, DWORD size)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (DWORD i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0f];
    }
    return hex;
}

std::string Sha1Thumbprint(PCCERT_CONTEXT certificate)
{
    BYTE hash[20] = {};
    DWORD size = sizeof(hash);
    if (!::CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size)) return {};
    return HexOf(hash, size);
}

std::wstring CommonName(PCCERT_CONTEXT certificate)
{
    const DWORD length = ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0,
                                              const_cast<char*>(szOID_COMMON_NAME), nullptr, 0);
    if (length <= 1) return {};
    std::vector<wchar_t> name(length, L'\0');
    ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), name.data(),
                         length);
    return std::wstring(name.data());
}

}  // namespace

TrustRules::SignerCheck Check(const std::wstring& path, HANDLE file)
{
    TrustRules::SignerCheck signer;
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    signer.status = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    const VerifyState state(&data);
    if (signer.status != ERROR_SUCCESS) return signer;

    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signerData = provider != nullptr ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)
                                                          : nullptr;
    CRYPT_PROVIDER_CERT* leaf =
        signerData != nullptr ? ::WTHelperGetProvCertFromChain(signerData, 0) : nullptr;
    if (leaf == nullptr || leaf->pCert == nullptr) {
        signer.status = TRUST_E_NOSIGNATURE;
        return signer;
    }
    signer.sha1Hex = Sha1Thumbprint(leaf->pCert);
    signer.sha256Hex = Sha256::HexOf(leaf->pCert->pbCertEncoded, leaf->pCert->cbCertEncoded);
    signer.commonName = CommonName(leaf->pCert);
    signer.valid = !signer.sha1Hex.empty() && !signer.sha256Hex.empty();
    return signer;
}

}  // namespace AuthenticodeSigner

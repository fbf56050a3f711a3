#include "messages/download_text.h"

namespace valmeric {

const std::vector<std::string_view>& DownloadTexts() {
  using namespace download_text;
  static const std::vector<std::string_view> texts = {kSession,
                                                      kNameNotResolved,
                                                      kConnectFailed,
                                                      kConnectTimeout,
                                                      kTimedOut,
                                                      kStalled,
                                                      kTls,
                                                      kConnectionBroken,
                                                      kBadAnswer,
                                                      kTooManyRedirects,
                                                      kRedirectAway,
                                                      kOversized,
                                                      kNotSupported,
                                                      kBadAddress,
                                                      kLocalFile,
                                                      kCancelled,
                                                      kOther,
                                                      kNoPage,
                                                      kPageNotFound,
                                                      kAccessDenied,
                                                      kServerBusy,
                                                      kServerError,
                                                      kNotAResultPage,
                                                      kOtherEncoding,
                                                      kWinInetOutOfHandles,
                                                      kWinInetTimeout,
                                                      kWinInetInternalError,
                                                      kWinInetInvalidUrl,
                                                      kWinInetUnrecognizedScheme,
                                                      kWinInetNameNotResolved,
                                                      kWinInetOperationCancelled,
                                                      kWinInetCannotConnect,
                                                      kWinInetConnectionAborted,
                                                      kWinInetConnectionReset,
                                                      kWinInetCertDateInvalid,
                                                      kWinInetCertNameInvalid,
                                                      kWinInetClientCertNeeded,
                                                      kWinInetInvalidCa,
                                                      kWinInetCertErrors,
                                                      kWinInetCertNoRevocation,
                                                      kWinInetCertRevocationFailed,
                                                      kWinInetInvalidServerResponse,
                                                      kWinInetSecurityChannel,
                                                      kWinInetInvalidCert,
                                                      kWinInetCertRevoked,
                                                      kWinInetDecodingFailed};
  return texts;
}

}  // namespace valmeric

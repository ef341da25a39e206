#pragma once

#include <string>

namespace pivrel::net {

// Socket errors travel as Windows Sockets codes: 10000 plus the BSD error number, and 11001 to
// 11004 for the name service. Events, LastError and the HTTP client's texts all use them.
inline constexpr int kWsaEINTR = 10004;
inline constexpr int kWsaEINVAL = 10022;
inline constexpr int kWsaEWOULDBLOCK = 10035;
inline constexpr int kWsaENOTSOCK = 10038;
inline constexpr int kWsaECONNABORTED = 10053;
inline constexpr int kWsaECONNRESET = 10054;
inline constexpr int kWsaENOTCONN = 10057;
inline constexpr int kWsaECONNREFUSED = 10061;
inline constexpr int kWsaNOTINITIALISED = 10093;
inline constexpr int kWsaHOST_NOT_FOUND = 11001;
// Our own: the TLS handshake or the secure stream failed (TWSocket::TlsFailureReason says why).
inline constexpr int kTlsFailure = 12001;

// The text shown for a code; "Not a WinSock error" for any code outside the table.
std::string WSocketErrorDesc(int errorCode);

// The code for an errno value; values without a counterpart become 10000 + errno.
int WSocketErrorFromErrno(int errnoValue);

} // namespace pivrel::net

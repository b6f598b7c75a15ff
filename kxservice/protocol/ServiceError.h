#pragma once
// A call that the service refuses: a code and a message for the operator, answered as
// error_response. Anything else that escapes a handler is logged and answered generically.
#include <QString>
#include <exception>

enum EKxCode : int {
    kxBadRequest = 1,      // body, field or parameter unreadable or over a limit
    kxBadSignature = 2,
    kxUnknownMethod = 3,
    kxUnknownNick = 10,
    kxUnknownOperator = 11,
    kxWrongPassword = 12,
    kxLoginAgain = 13,
    kxSessionExpired = 14, // the session key is unknown, expired or replaced: log in again
    kxLoginLocked = 15,    // too many failed logins: wait, or an administrator lifts the lock
    kxNoRight = 20,
    kxMissingParam = 30,
    kxBadParam = 31,
    kxBadDelta = 40,
    kxRefused = 50,        // a business rule refuses the change
    kxBusy = 90,           // the database stayed locked; the call may be repeated
    kxInternal = 99,
};

class TServiceError : public std::exception {
public:
    TServiceError(int code, QString msg, QString callurl = {})
        : Code(code), Msg(std::move(msg)), CallUrl(std::move(callurl)) {}
    const char* what() const noexcept override { return "service error"; }
    int Code;
    QString Msg;
    QString CallUrl;
};

#pragma once

#include <QString>

namespace pomiv {

// The failures the program tells apart, by the numbers it shows and
// compares. Ok is success; GeneralFailure stands for every other failure of
// the system.
enum class Error : int {
    Ok = 0,
    GeneralFailure = 1,
    NumberOverflow = 6, // a number field beyond the signed 32-bit range
    TypeMismatch = 13,
    FileNotFound = 53,
    FileAlreadyExists = 58,
    DeviceUnavailable = 68,
    PathNotFound = 76,
    InvalidPicture = 481,
    NetNotHttp = 35750,       // not an http or https address
    NetConnectFailed = 35754, // no connection, host not found, broken off
    NetTimeout = 35761,       // no byte for too long, or too long in all
    NetTooLarge = 35762,      // the body is larger than allowed
    NetRedirect = 35763,      // too many redirections, or to a refused address
    NetBusy = 35764,          // a page request is still in progress
};
using enum Error;

inline bool failed(Error err) {
    return err != Ok;
}

// The program's own Japanese text for an error; empty for Ok.
QString errorText(Error err);

} // namespace pomiv

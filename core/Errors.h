#pragma once

#include <QString>

namespace pomiv {

// Error numbers the program tells apart. 0 is success; GeneralFailure stands
// for every other failure of the system.
enum Err : int {
    Ok = 0,
    TypeMismatch = 13,
    FileNotFound = 53,
    FileAlreadyExists = 58,
    DeviceUnavailable = 68,
    PathNotFound = 76,
    InvalidPicture = 481,
    GeneralFailure = 1,
};

// The program's own descriptive text for an error number.
QString errorText(int err);

} // namespace pomiv

#pragma once
// The serial component's failure: its message is one of the texts below.
#include <string>

#include "platform/Errors.h"

class ECommsError : public EPelmorError {
public:
    explicit ECommsError(const std::string &msg) : EPelmorError(msg) {}
};

// Messages of ECommsError, byte for byte.
inline constexpr const char *kMsgAlreadyOpened = "This serial port already opened";
inline constexpr const char *kMsgErrorOpening = "Error opening serial port";
inline constexpr const char *kMsgNotCommHandle = "File handle is not a comm handle ";
inline constexpr const char *kMsgCannotSetupBuffer = "Cannot setup comm buffer";
inline constexpr const char *kMsgCannotCreateEvent = "Unable to create event";
inline constexpr const char *kMsgCannotCreateReader = "Unable to create read thread";
inline constexpr const char *kMsgCannotCreateWriter = "Unable to create write thread";

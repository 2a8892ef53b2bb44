// What came of an attempt to open a port, in terms the operator can act on.
#pragma once

#include <QString>

enum class PortFailure {
    None,
    NoSuchPort, // the device is absent
    Held, // the device exists but cannot be had: in use, locked or permission denied
    Other,
};

struct OpenOutcome
{
    PortFailure failure = PortFailure::None;
    QString reason; // for the operator; names the device
    bool ok() const { return failure == PortFailure::None; }
};

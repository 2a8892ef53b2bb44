// What the driver of an open line holds, asked without waiting.
#pragma once

class QSerialPort;

namespace LineState {

// The driver would take more bytes now. QSerialPort reports a write to a full buffer as a
// failed write, which is no fault of the line.
bool hasRoom(const QSerialPort &port);

// Bytes the link handed to the driver have not all left the wire yet: some wait in its
// buffer or in the transmitter. Closing now would cut them off, or send them at whatever
// speed the port had before, since the old settings come back at the close.
bool holdsBytes(const QSerialPort &port);

} // namespace LineState

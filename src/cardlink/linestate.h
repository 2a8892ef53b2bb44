// What the driver of an open line holds, asked without waiting.
#pragma once

class QSerialPort;

namespace LineState {

// The driver would take more bytes now. QSerialPort reports a write to a full buffer as a
// failed write, which is no fault of the line.
bool hasRoom(const QSerialPort &port);

// Bytes the link handed to the driver wait in its queue. Closing now would cut them off, or
// send them at whatever speed the port had before, since the old settings come back at the
// close.
bool holdsBytes(const QSerialPort &port);

// What a UART's transmitter still shifts out once the driver's queue is empty: its 16-byte
// FIFO takes 17 ms at 9600 baud. Drivers do not all say when it is empty (a USB adapter's
// never does), so the link waits this long after the last byte left the queue.
inline constexpr int kTransmitterMs = 20;

// The line has hung up under the port: the adapter was pulled out.
bool hungUp(const QSerialPort &port);

} // namespace LineState

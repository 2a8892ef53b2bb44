// A Windows serial port of the desk's own, at 9600 8N1 without flow control.
#include "winserialport.h"

namespace {

// What Windows answers for a port whose device went away (a USB adapter pulled out): its
// drivers differ, and Wine reports a pseudo-terminal whose far end closed as not ready.
bool deviceGone(DWORD error)
{
    switch (error) {
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:
    case ERROR_ACCESS_DENIED:
        return true;
    default:
        return false;
    }
}

// Why a port cannot be had, from what Windows answered its opening or its settings.
OpenOutcome refused(const QString &name, DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    // Wine opens a port it knows by name but whose device is missing, and then answers every
    // request to it so.
    case ERROR_INVALID_FUNCTION:
        return { PortFailure::NoSuchPort,
                 QStringLiteral("there is no such port on this computer") };
    // A serial port is never shared: another program that has it open refuses us.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return { PortFailure::Held,
                 QStringLiteral("%1 is in use by another program: close it, then choose %1 again")
                         .arg(name) };
    default:
        return { PortFailure::Other, QStringLiteral("%1: %2").arg(name, qt_error_string(error)) };
    }
}

} // namespace

WinSerialPort::WinSerialPort(int stallMs, QObject *parent) : QObject(parent)
{
    m_writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_written.setHandle(m_writeOv.hEvent);
    m_read.setHandle(m_readOv.hEvent);
    connect(&m_written, &QWinEventNotifier::activated, this, &WinSerialPort::writeDone);
    connect(&m_read, &QWinEventNotifier::activated, this, &WinSerialPort::readDone);
    // A dead adapter can stop taking bytes without an error: the queue would then grow
    // without bound and every later frame would come late.
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallMs);
    connect(&m_stall, &QTimer::timeout, this, [this, stallMs] {
        const QString why = QStringLiteral("%1: the line has taken no data for %2 seconds")
                                    .arg(m_name)
                                    .arg(stallMs / 1000);
        close();
        if (std::exchange(m_closing, false))
            emit closed();
        else
            emit lost(why);
    });
}

WinSerialPort::~WinSerialPort()
{
    close();
    CloseHandle(m_writeOv.hEvent);
    CloseHandle(m_readOv.hEvent);
}

OpenOutcome WinSerialPort::open(const QString &name)
{
    m_name = name;
    // The \\.\ form reaches COM10 and beyond too.
    const std::wstring path = (QStringLiteral("\\\\.\\") + name).toStdWString();
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return refused(name, GetLastError());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool set = GetCommState(handle, &dcb);
    if (set) {
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        // No timeouts: a read waits for a byte (the card sends none, so it waits for an
        // error), and a write for the line; the stall timer watches writes.
        COMMTIMEOUTS timeouts{};
        set = SetCommState(handle, &dcb) && SetCommTimeouts(handle, &timeouts);
    }
    if (!set) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return refused(name, error);
    }
    m_handle = handle;
    m_closing = false;
    m_written.setEnabled(true);
    m_read.setEnabled(true);
    startRead();
    return {};
}

void WinSerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    m_queue += bytes;
}

void WinSerialPort::flush()
{
    if (m_sending.isEmpty())
        startWrite();
}

void WinSerialPort::startWrite()
{
    if (m_queue.isEmpty() || !isOpen())
        return;
    m_sending = std::exchange(m_queue, {});
    if (!WriteFile(m_handle, m_sending.constData(), DWORD(m_sending.size()), nullptr, &m_writeOv)
        && GetLastError() != ERROR_IO_PENDING) {
        fail(GetLastError());
        return;
    }
    if (!m_stall.isActive())
        m_stall.start();
}

void WinSerialPort::writeDone()
{
    if (m_sending.isEmpty() || !isOpen())
        return;
    DWORD written = 0;
    if (!GetOverlappedResult(m_handle, &m_writeOv, &written, FALSE)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_INCOMPLETE)
            fail(error);
        return;
    }
    ResetEvent(m_writeOv.hEvent);
    // Whatever the system did not take goes first next time.
    m_queue.prepend(m_sending.sliced(written));
    m_sending.clear();
    if (written > 0)
        m_stall.stop();
    if (!m_queue.isEmpty()) {
        startWrite();
    } else {
        m_stall.stop();
        if (m_closing) {
            close();
            emit closed();
        }
    }
}

void WinSerialPort::startRead()
{
    m_reading = true;
    if (!ReadFile(m_handle, &m_readByte, 1, nullptr, &m_readOv)
        && GetLastError() != ERROR_IO_PENDING) {
        m_reading = false;
        fail(GetLastError());
    }
}

void WinSerialPort::readDone()
{
    if (!m_reading || !isOpen())
        return;
    DWORD read = 0;
    if (!GetOverlappedResult(m_handle, &m_readOv, &read, FALSE)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_INCOMPLETE) {
            m_reading = false;
            fail(error);
        }
        return;
    }
    ResetEvent(m_readOv.hEvent);
    m_reading = false;
    // The card says nothing, so a byte is noise. A read without timeouts that ends with
    // none means the line has ended.
    if (read == 0)
        fail(ERROR_DEVICE_REMOVED);
    else
        startRead();
}

void WinSerialPort::fail(DWORD error)
{
    const QString why = deviceGone(error)
            ? QStringLiteral("%1: the device has gone").arg(m_name)
            : QStringLiteral("%1: %2").arg(m_name, qt_error_string(error));
    close();
    // A port closing behind the desk's back is given up without a word: the operator has
    // moved on from it.
    if (std::exchange(m_closing, false))
        emit closed();
    else
        emit lost(why);
}

void WinSerialPort::closeWhenSent()
{
    m_closing = true;
    if (m_sending.isEmpty() && m_queue.isEmpty()) {
        close();
        m_closing = false;
        emit closed();
    }
}

void WinSerialPort::finishBy(QDeadlineTimer deadline)
{
    // Nothing of the desk acts any more: waiting here is waiting for the line alone.
    while (isOpen() && !m_sending.isEmpty() && !deadline.hasExpired()) {
        const qint64 ms = deadline.remainingTime();
        if (WaitForSingleObject(m_writeOv.hEvent, ms < 0 ? INFINITE : DWORD(ms)) != WAIT_OBJECT_0)
            break;
        writeDone();
    }
    if (isOpen()) {
        close();
        m_closing = false;
        emit closed();
    }
}

void WinSerialPort::close()
{
    if (!isOpen())
        return;
    m_stall.stop();
    m_written.setEnabled(false);
    m_read.setEnabled(false);
    // The system writes into the OVERLAPPED structures until their operations end: cancel
    // them and wait for that before the handle goes.
    CancelIoEx(m_handle, nullptr);
    DWORD n = 0;
    if (!m_sending.isEmpty())
        GetOverlappedResult(m_handle, &m_writeOv, &n, TRUE);
    if (m_reading)
        GetOverlappedResult(m_handle, &m_readOv, &n, TRUE);
    CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_reading = false;
    m_sending.clear();
    m_queue.clear();
    ResetEvent(m_writeOv.hEvent);
    ResetEvent(m_readOv.hEvent);
}

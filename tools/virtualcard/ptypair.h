// A pseudo-terminal standing in for a serial line: the program opens the slave by its path,
// and whoever holds the master reads what the program wrote.
#pragma once

#include <QByteArray>
#include <QString>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Everything already waiting, without blocking.
    QByteArray drain();

    // Pulls the line: the master goes away, as a USB adapter does when it is unplugged.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the line up while the program has the slave closed
    QString m_slavePath;
};

// The program's name, the title of every box that has none of its own.
#pragma once

#include <QString>

inline QString appTitle()
{
    return QStringLiteral("Lumidesk");
}
